#include "common/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace platform {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` ignoring case, or `name` itself.
std::string MatchInFolder(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return name;
    std::string found = name;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string MapPath(const char* windowsPath) {
    if (!windowsPath) return {};
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || Exists(path)) return path;

    // Walk the components, fixing the case of each one that is not found as written.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    std::string result;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (i > 0) result += '/';
        if (part.empty() || part == "." || part == "..") {
            result += part;
            continue;
        }
        std::string candidate = result + part;
        if (Exists(candidate)) {
            result = candidate;
            continue;
        }
        std::string folder = result.empty() ? "." : result;
        result += MatchInFolder(folder, part);
    }
    return result;
}

}  // namespace platform
