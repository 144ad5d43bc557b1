// Reading a whole .x file into a Document.
#pragma once

#include "d3dx9/xfile/xtypes.h"

#include <memory>

namespace xfile {

// Reads a .x file, header included, in any of its forms (text, binary, compressed; 32- or
// 64-bit floats). Data objects are looked up in `templates`, to which the templates the file
// declares are added as they are read. References are resolved and checked for cycles.
// Throws Error with the D3DXFERR_* code on a damaged file.
std::shared_ptr<Document> parseFile(const uint8_t* data, size_t size, TemplateSet& templates);

}  // namespace xfile
