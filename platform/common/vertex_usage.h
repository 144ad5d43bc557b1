// The usage and usage index a vertex input may have. Vertex declarations and the dcl of a vertex
// shader are held to this one rule, so that every input a shader declares can be fed.
#pragma once

#include <d3d9types.h>

namespace platform {

inline bool ValidVertexUsage(DWORD usage, DWORD index) { return usage <= D3DDECLUSAGE_SAMPLE && index < 16; }

}  // namespace platform
