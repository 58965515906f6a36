#include "Distribution.h"

#include <shellapi.h>

#ifndef VORMEL_BUILD_DIR
#error "VORMEL_BUILD_DIR must name the build tree"
#endif

namespace support {

namespace {
std::string WindowsPath(std::string path)
{
    for (char& ch : path)
        ch = ch == '/' ? '\\' : ch;
    return "Z:" + path;
}
}  // namespace

std::string BuildDir()
{
    return WindowsPath(VORMEL_BUILD_DIR);
}

std::string ProductDir()
{
    return WindowsPath(VORMEL_PRODUCT_DIR);
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
    std::string from;
    for (const char* name : { "landuse", "terrain", "1kmav_dem" })
        from += BuildDir() + "\\demo\\database\\" + name + '\0';
    std::string to = folder + '\0';
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_COPY;
    op.pFrom = from.c_str();   // the string's own NUL closes the list
    op.pTo = to.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationA(&op);
}

}  // namespace support
