// The MSZIP body of compressed .x files ("tzip", "bzip").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xfile {

// Inflates the part of a compressed file after its 16-byte header: a DWORD with the size of the
// uncompressed file, then blocks of WORD uncompressed size, WORD compressed size (counting the
// "CK" signature), "CK" and raw deflate data; each block may refer back into the 32 KiB of
// output before it. Fails with D3DXFERR_BADFILE on anything that does not add up.
std::vector<uint8_t> inflateMszip(const uint8_t* data, size_t size);

}  // namespace xfile
