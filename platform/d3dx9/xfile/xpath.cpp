// Opening the files that Windows-style code names.
#include "d3dx9/xfile/xpath.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace xfile {

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` ignoring case; empty when there is none.
std::string findNoCase(const std::string& dir, const std::string& name) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), ::closedir);
    if (!d) return {};
    while (const dirent* e = ::readdir(d.get())) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) return e->d_name;
    }
    return {};
}

}  // namespace

std::string mapPath(const char* path) {
    std::string p(path ? path : "");
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    if (p.empty() || exists(p)) return p;

    // Walk the components, fixing the case of each one that is not there as written.
    std::string out;
    size_t pos = 0;
    if (p[0] == '/') {
        out = "/";
        pos = 1;
    }
    while (pos <= p.size()) {
        size_t slash = p.find('/', pos);
        if (slash == std::string::npos) slash = p.size();
        const std::string part = p.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty()) continue;
        std::string candidate = out.empty() || out.back() == '/' ? out + part : out + "/" + part;
        if (!exists(candidate) && part != "." && part != "..") {
            const std::string dir = out.empty() ? std::string() : out;
            const std::string found = findNoCase(dir, part);
            if (found.empty()) return p;
            candidate = out.empty() || out.back() == '/' ? out + found : out + "/" + found;
        }
        out = candidate;
    }
    return out;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return false;
    out.clear();
    out.reserve(size_t(st.st_size));
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.insert(out.end(), buf, buf + n);
    return !std::ferror(f.get());
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
