// The program's resources: the stand-in for a Windows module's resource section. A program
// registers its resources before WinMain runs, usually from a generated source file.
#pragma once

#include <cstddef>

namespace platform::resources {

enum class Type { Icon };

// `data` must stay valid for the whole run. Icons are BMP files (32-bit with alpha, or 24-bit).
void Register(Type type, int id, const unsigned char* data, size_t size);
// The data registered under `id`, or null.
const unsigned char* Find(Type type, int id, size_t* size);

// Registers a resource at static initialisation.
struct Registrar {
    Registrar(Type type, int id, const unsigned char* data, size_t size) {
        Register(type, id, data, size);
    }
};

}  // namespace platform::resources
