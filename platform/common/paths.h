// Maps the game's Windows paths onto this file system.
#pragma once

#include <string>

namespace platform {

// Turns backslashes into slashes and resolves each component that does not exist as written
// by a case-insensitive match in its folder. Components that match nothing are kept as written.
std::string MapPath(const char* windowsPath);

}  // namespace platform
