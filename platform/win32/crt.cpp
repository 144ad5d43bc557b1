// Extras of the Microsoft C runtime.
#include <wincrt.h>

#include "common/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>

// The C library's own fopen, which wincrt.h gives another symbol.
extern "C" FILE* NativeFopen(const char* path, const char* mode) __asm__("fopen");

int _creat(const char* filename, int pmode) {
    if (!filename) return -1;
    mode_t mode = 0;
    if (pmode & _S_IREAD) mode |= S_IRUSR;
    if (pmode & _S_IWRITE) mode |= S_IWUSR;
    return ::open(platform::MapPath(filename).c_str(), O_CREAT | O_TRUNC | O_WRONLY, mode);
}

int _close(int fd) { return ::close(fd); }

int _access(const char* path, int mode) {
    if (!path || (mode & ~6) != 0) {
        errno = EINVAL;
        return -1;
    }
    int how = F_OK;
    if (mode & 2) how |= W_OK;
    if (mode & 4) how |= R_OK;
    return ::access(platform::MapPath(path).c_str(), how) == 0 ? 0 : -1;
}

char* _itoa(int value, char* buffer, int radix) {
    if (!buffer) return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // Negative numbers carry a sign only in base 10; other bases show the two's complement.
    bool negative = radix == 10 && value < 0;
    unsigned int u = negative ? 0u - unsigned(value) : unsigned(value);
    char digits[40];
    int n = 0;
    do {
        unsigned d = u % unsigned(radix);
        digits[n++] = char(d < 10 ? '0' + d : 'a' + d - 10);
        u /= unsigned(radix);
    } while (u);
    char* out = buffer;
    if (negative) *out++ = '-';
    while (n) *out++ = digits[--n];
    *out = '\0';
    return buffer;
}

char* _strlwr(char* str) {
    if (str)
        for (char* p = str; *p; ++p)
            if (*p >= 'A' && *p <= 'Z') *p = char(*p - 'A' + 'a');
    return str;
}

char* _strupr(char* str) {
    if (str)
        for (char* p = str; *p; ++p)
            if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
    return str;
}

namespace {
int LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }
}  // namespace

int _strnicmp(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        int ca = LowerAscii((unsigned char)a[i]);
        int cb = LowerAscii((unsigned char)b[i]);
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
    return 0;
}

int _stricmp(const char* a, const char* b) { return _strnicmp(a, b, size_t(-1)); }

namespace {

// The Microsoft runtime's linear congruential generator; its seed starts at 1.
uint32_t g_seed = 1;

// A text-mode stream over a real file, whose FILE is the cookie: "\n" is stored as CR LF, and
// CR LF reads back as "\n".
ssize_t TextWrite(void* cookie, const char* buf, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    std::string out;
    out.reserve(size + size / 8);
    for (size_t i = 0; i < size; ++i) {
        if (buf[i] == '\n') out += '\r';
        out += buf[i];
    }
    // The outer stream buffers; what it hands over goes straight on to the file.
    if (std::fwrite(out.data(), 1, out.size(), file) != out.size()) return -1;
    if (std::fflush(file) != 0) return -1;
    return ssize_t(size);
}

ssize_t TextRead(void* cookie, char* buf, size_t size) {
    FILE* file = static_cast<FILE*>(cookie);
    size_t n = 0;
    while (n < size) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            int next = std::fgetc(file);
            if (next == '\n') {
                buf[n++] = '\n';
                continue;
            }
            if (next != EOF) std::ungetc(next, file);
        }
        buf[n++] = char(c);
    }
    if (n == 0 && std::ferror(file)) return -1;
    return ssize_t(n);
}

int TextSeek(void* cookie, off64_t* offset, int whence) {
    FILE* file = static_cast<FILE*>(cookie);
    if (std::fseek(file, long(*offset), whence) != 0) return -1;
    *offset = std::ftell(file);
    return 0;
}

int TextClose(void* cookie) { return std::fclose(static_cast<FILE*>(cookie)) == 0 ? 0 : -1; }

}  // namespace

// The symbols of rand, srand and fopen for every file that includes wincrt.h.
extern "C" int wincrt_rand() noexcept {
    g_seed = g_seed * 214013u + 2531011u;
    return int((g_seed >> 16) & 0x7fffu);
}

extern "C" void wincrt_srand(unsigned int seed) noexcept { g_seed = seed; }

extern "C" FILE* wincrt_fopen(const char* path, const char* mode) {
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    std::string native = platform::MapPath(path);
    std::string binaryMode;
    bool text = true;
    for (const char* m = mode; *m; ++m) {
        if (*m == 'b') text = false;
        if (*m == 't') continue;  // not a POSIX mode letter
        binaryMode += *m;
    }
    if (binaryMode.find('b') == std::string::npos) binaryMode += 'b';
    FILE* file = NativeFopen(native.c_str(), binaryMode.c_str());
    if (!file || !text) return file;

    cookie_io_functions_t io = {TextRead, TextWrite, TextSeek, TextClose};
    std::string cookieMode = binaryMode;
    cookieMode.erase(std::remove(cookieMode.begin(), cookieMode.end(), 'b'), cookieMode.end());
    FILE* wrapped = ::fopencookie(file, cookieMode.c_str(), io);
    if (!wrapped) std::fclose(file);
    return wrapped;
}
