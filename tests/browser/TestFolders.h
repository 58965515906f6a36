// Folders for the browse tests: a tree under the temporary folder, removed again at the
// end, and a drive letter standing for one of its folders.
#pragma once

#include "platform/Afx.h"

#include <string>
#include <vector>

class CTempFolderTree
{
public:
    CTempFolderTree();
    ~CTempFolderTree();
    CTempFolderTree(const CTempFolderTree&) = delete;
    CTempFolderTree& operator=(const CTempFolderTree&) = delete;

    // Creates the folder (ANSI name, system code page) and returns its full long path
    // without a trailing backslash; empty when it could not be created.
    std::string MakeFolder(const std::string& strName);
    const std::string& Root() const { return m_strRoot; }

    // Reads every folder of the tree once, and the folder that holds it. Wine's shell
    // compares item identifiers byte for byte, and they carry the last-access time: the
    // file system moves it at the first read after a change, so a folder first read by
    // the browse dialog itself would no longer match what its tree holds.
    void Settle() const;

private:
    std::string m_strRoot;
    std::vector<std::string> m_folders;
};

class CTempDriveLetter
{
public:
    // Maps the highest free letter from Q: downwards to the folder.
    explicit CTempDriveLetter(const std::string& strTargetFolder);
    ~CTempDriveLetter();
    CTempDriveLetter(const CTempDriveLetter&) = delete;
    CTempDriveLetter& operator=(const CTempDriveLetter&) = delete;

    // "Q:\" or empty when no letter could be mapped.
    std::string RootPath() const;

private:
    char m_szDevice[3] = "";
};
