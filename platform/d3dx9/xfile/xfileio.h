// Reading the files that Windows-style code names (paths are mapped by platform::MapPath).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace xfile {

// Frees a buffer of readWholeFile: a mapping of `mapped` bytes, or an array when that is 0.
struct FileRelease {
    size_t mapped = 0;
    void operator()(uint8_t* p) const;
};

// The bytes of a whole file: a large one mapped read-only, a small one read into memory that is
// not cleared first.
struct FileBytes {
    std::unique_ptr<uint8_t[], FileRelease> data;
    size_t size = 0;
};

// Reads a whole regular file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, FileBytes& out);

// UTF-8 form of a wide-character path.
std::string narrowPath(const wchar_t* path);

}  // namespace xfile
