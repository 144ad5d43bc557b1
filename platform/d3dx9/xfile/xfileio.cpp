// Reading the files that Windows-style code names.
#include "d3dx9/xfile/xfileio.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace xfile {

namespace {

constexpr off_t kMapFrom = off_t(1) << 20;  // bytes of the smallest file mapped

// A large file makes large objects, freed and made again at the next load. malloc would hand
// that memory back to the kernel and fault it in page by page once more; keep it in the heap.
void keepHeapMemory() {
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        return true;
    }();
    (void)done;
}

}  // namespace

void FileRelease::operator()(uint8_t* p) const {
    if (mapped)
        ::munmap(p, mapped);
    else
        delete[] p;
}

bool readWholeFile(const std::string& path, FileBytes& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // A large file is mapped with its pages in place rather than copied: heap memory that big is
    // fresh from the kernel on every load and faults in page by page.
    if (st.st_size >= kMapFrom) {
        keepHeapMemory();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        void* p = MAP_FAILED;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            p = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ::close(fd);
        if (p == MAP_FAILED) return false;
        out.data.reset(static_cast<uint8_t*>(p));
        out.data.get_deleter().mapped = size_t(st.st_size);
        out.size = size_t(st.st_size);
        return true;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    // Room for one byte more than the size: a file that grew meanwhile goes on in larger steps.
    size_t capacity = size_t(st.st_size) + 1, done = 0;
    std::unique_ptr<uint8_t[], FileRelease> bytes(new uint8_t[capacity]);
    for (;;) {
        done += std::fread(bytes.get() + done, 1, capacity - done, f.get());
        if (done < capacity || std::ferror(f.get())) break;
        std::unique_ptr<uint8_t[], FileRelease> bigger(new uint8_t[capacity * 2]);
        std::memcpy(bigger.get(), bytes.get(), done);
        bytes = std::move(bigger);
        capacity *= 2;
    }
    if (std::ferror(f.get())) return false;
    out.data = std::move(bytes);
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
