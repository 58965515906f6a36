// What a folder holds, to compare two trees or a tree before and after.
#pragma once

#include <map>
#include <string>

namespace support {

// Every file and folder beneath root: relative path -> content ("<dir>" for a folder, and
// "<N bytes>" for a file of more than a megabyte, so that a failed comparison prints
// quickly). Empty when root does not exist.
std::map<std::string, std::string> Snapshot(const std::string& root);

}  // namespace support
