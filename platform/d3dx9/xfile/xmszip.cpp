// The MSZIP body of compressed .x files.
#include "d3dx9/xfile/xmszip.h"

#include "d3dx9/xfile/xtypes.h"

#include <zlib.h>

#include <algorithm>

namespace xfile {

namespace {

// Deflate cannot expand a byte into more than about 1032; anything claiming more is damaged.
constexpr uint64_t kMaxRatio = 1100;
constexpr size_t kWindow = 32768;

uint32_t rd16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
uint32_t rd32(const uint8_t* p) { return rd16(p) | (rd16(p + 2) << 16); }

class Inflater {
public:
    Inflater() {
        if (inflateInit2(&zs_, -MAX_WBITS) != Z_OK) fail(E_OUTOFMEMORY);
    }
    ~Inflater() { inflateEnd(&zs_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates one block into out[0, outSize) exactly, with `dict` as the preceding history.
    bool block(const uint8_t* in, size_t inSize, const uint8_t* dict, size_t dictSize, uint8_t* out,
               size_t outSize) {
        if (inflateReset(&zs_) != Z_OK) return false;
        if (dictSize && inflateSetDictionary(&zs_, dict, uInt(dictSize)) != Z_OK) return false;
        zs_.next_in = const_cast<Bytef*>(in);
        zs_.avail_in = uInt(inSize);
        zs_.next_out = out;
        zs_.avail_out = uInt(outSize);
        return inflate(&zs_, Z_FINISH) == Z_STREAM_END && zs_.avail_out == 0;
    }

private:
    z_stream zs_{};
};

}  // namespace

std::vector<uint8_t> inflateMszip(const uint8_t* data, size_t size) {
    if (size < 4) fail(D3DXFERR_BADFILE);
    const uint64_t total = rd32(data);
    if (total > uint64_t(size) * kMaxRatio + kWindow) fail(D3DXFERR_BADFILE);

    Inflater inflater;
    std::vector<uint8_t> out;
    size_t pos = 4;
    while (pos < size) {
        if (size - pos < 4) fail(D3DXFERR_BADFILE);
        const size_t unpacked = rd16(data + pos);
        const size_t packed = rd16(data + pos + 2);
        pos += 4;
        if (packed < 2 || packed > size - pos) fail(D3DXFERR_BADFILE);
        if (data[pos] != 'C' || data[pos + 1] != 'K') fail(D3DXFERR_BADFILE);
        if (out.size() + unpacked > total) fail(D3DXFERR_BADFILE);

        const size_t base = out.size();
        const size_t dictSize = std::min(base, kWindow);
        out.resize(base + unpacked);
        if (!inflater.block(data + pos + 2, packed - 2, out.data() + base - dictSize, dictSize,
                            out.data() + base, unpacked))
            fail(D3DXFERR_BADFILE);
        pos += packed;
    }
    // The size is given either with or without the 16-byte header.
    if (out.size() != total && out.size() + 16 != total) fail(D3DXFERR_BADFILE);
    return out;
}

}  // namespace xfile
