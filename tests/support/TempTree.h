// A fresh folder under the Windows temporary folder for one test, and plain file access.
#pragma once

#include <windows.h>

#include <string>

namespace support {

class TempTree
{
public:
    explicit TempTree(const char* hint = "t");
    ~TempTree();  // removes the folder with all it holds, read-only entries included
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Path() const { return m_path; }  // ends in a backslash
    std::string operator/(const std::string& rel) const { return m_path + rel; }
    void Write(const std::string& rel, const std::string& bytes) const;  // makes missing folders
    // A Unix symbolic link, which Wine shows as a link (a folder with the reparse-point
    // attribute when it leads to a folder); false when it did not appear. Wine deletes
    // what a link leads to, never the link: the tree then goes by the Unix command.
    bool MakeLink(const std::string& target, const std::string& link);

private:
    std::string m_path;
    bool m_bLinks = false;
};

std::string ReadBytes(const std::string& path);  // the whole file; "" when missing
// A file of the given size that starts with head and takes no disk space for the rest.
void WriteSparse(const std::string& path, LONGLONG llSize, const std::string& head = "");
void MakeDirs(const std::string& path);          // with every missing parent
// The Unix path of a path on Wine's drive C: (the prefix's drive_c), with '/'.
std::string UnixPath(const std::string& path);

// The path in UTF-16, through the ANSI code page.
std::wstring WidePath(const std::string& path);

}  // namespace support
