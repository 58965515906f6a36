// A distribution folder as it lies on the media: the launcher exe and what lies beside it.
#pragma once

#include "TempTree.h"

#include <string>

namespace support {

std::string BuildDir();    // the build tree, as a Windows path
std::string ProductDir();  // the shipped i686 build's tree (BuildDir() where that is the one)

struct Distribution
{
    // The launcher under the given name, in the given subfolder of a fresh tree.
    explicit Distribution(const std::string& exeName = "VORMELSetup.exe", const std::string& subfolder = "");
    TempTree tree;
    std::string folder;   // ends in a backslash
    std::string exePath;
    void SetInstallList(const std::string& bytes) const;
    void AddInstaller(const std::string& relativePath) const;  // the demo's installer stand-in
    void AddDataFolders() const;  // the demo's "landuse", "terrain" and "1kmav_dem"
};

}  // namespace support
