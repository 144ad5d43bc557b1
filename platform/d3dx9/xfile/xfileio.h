// Reading the files that Windows-style code names (paths are mapped by platform::MapPath).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xfile {

// Reads a whole regular file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& out);

// UTF-8 form of a wide-character path.
std::string narrowPath(const wchar_t* path);

}  // namespace xfile
