// Reading the files that Windows-style code names (paths are mapped by platform::MapPath).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace xfile {

// The bytes of a whole file, read into memory that is not cleared first. The memory goes back to
// the reader when this is destroyed: each thread keeps its largest buffer for the next file.
struct FileBytes {
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();

    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    size_t capacity = 0;  // bytes at data
};

// Reads a whole regular file into `out`; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, FileBytes& out);

// UTF-8 form of a wide-character path.
std::string narrowPath(const wchar_t* path);

}  // namespace xfile
