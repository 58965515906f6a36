#include "Distribution.h"

#include "TreeSnapshot.h"

#ifndef VORMEL_BUILD_DIR
#error "VORMEL_BUILD_DIR must name the build tree"
#endif

namespace support {

namespace {

void CopyTree(const std::string& from, const std::string& to)
{
    MakeDirs(to);
    for (const auto& entry : Snapshot(from))
    {
        if (entry.second == "<dir>")
            MakeDirs(to + "\\" + entry.first);
        else
            ::CopyFileA((from + "\\" + entry.first).c_str(), (to + "\\" + entry.first).c_str(), FALSE);
    }
}

}  // namespace

std::string BuildDir()
{
    std::string path = "Z:" VORMEL_BUILD_DIR;
    for (char& ch : path)
        ch = ch == '/' ? '\\' : ch;
    return path;
}

Distribution::Distribution(const std::string& exeName, const std::string& subfolder)
    : tree("dist"), folder(tree.Path() + (subfolder.empty() ? "" : subfolder + "\\")),
      exePath(folder + exeName)
{
    MakeDirs(folder);
    ::CopyFileA((BuildDir() + "\\VORMELSetup.exe").c_str(), exePath.c_str(), FALSE);
}

void Distribution::SetInstallList(const std::string& bytes) const
{
    tree.Write(folder.substr(tree.Path().size()) + "InstallList.txt", bytes);
}

void Distribution::AddInstaller(const std::string& relativePath) const
{
    std::string target = folder + relativePath;
    MakeDirs(target.substr(0, target.rfind('\\')));
    ::CopyFileA((BuildDir() + "\\VORMELInstall.exe").c_str(), target.c_str(), FALSE);
}

void Distribution::AddDataFolders() const
{
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        CopyTree(BuildDir() + "\\demo\\database\\" + name, folder + name);
}

}  // namespace support
