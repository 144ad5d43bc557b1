// Reading the files that Windows-style code names.
#include "d3dx9/xfile/xfileio.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace xfile {

namespace {

// The buffer of the last file read on this thread, kept for the next one.
struct KeptBuffer {
    std::unique_ptr<uint8_t[]> data;
    size_t capacity = 0;
};
thread_local KeptBuffer kept;

// Keeps a buffer when it is larger than the one kept; frees the smaller.
void giveBack(std::unique_ptr<uint8_t[]>& data, size_t& capacity) {
    if (data && capacity > kept.capacity) {
        kept.data = std::move(data);
        kept.capacity = capacity;
    }
    data.reset();
    capacity = 0;
}

}  // namespace

FileBytes::~FileBytes() { giveBack(data, capacity); }

bool readWholeFile(const std::string& path, FileBytes& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    giveBack(out.data, out.capacity);
    out.size = 0;
    // Room for one byte more than the size: a file that grew meanwhile goes on in larger steps.
    size_t capacity = size_t(st.st_size) + 1, done = 0;
    std::unique_ptr<uint8_t[]> bytes;
    if (kept.capacity >= capacity) {
        bytes = std::move(kept.data);
        capacity = kept.capacity;
        kept.capacity = 0;
    } else {
        kept.data.reset();  // too small: freed before the larger one is made
        kept.capacity = 0;
        bytes.reset(new uint8_t[capacity]);
    }
    for (;;) {
        done += std::fread(bytes.get() + done, 1, capacity - done, f.get());
        if (done < capacity || std::ferror(f.get())) break;
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[capacity * 2]);
        std::memcpy(bigger.get(), bytes.get(), done);
        bytes = std::move(bigger);
        capacity *= 2;
    }
    if (std::ferror(f.get())) {
        giveBack(bytes, capacity);
        return false;
    }
    out.data = std::move(bytes);
    out.capacity = capacity;
    out.size = done;
    return true;
}

std::string narrowPath(const wchar_t* path) {
    std::string out;
    if (!path) return out;
    for (; *path; ++path) {
        uint32_t c = uint32_t(*path);
        if (c > 0x10FFFF) c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace xfile
