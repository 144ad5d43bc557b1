// Opening the files that Windows-style code names.
//
// Paths may use backslashes and may differ in case from the names on disk. This is a small
// stand-in until the platform has one shared path mapper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xfile {

// The path on this system for a Windows-style path: backslashes become slashes, and each
// component that does not exist as written is matched without regard to case. Gives the
// slash-converted path unchanged when nothing on disk matches.
std::string mapPath(const char* path);

// Reads a whole regular file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// UTF-8 form of a wide-character path.
std::string narrowPath(const wchar_t* path);

}  // namespace xfile
