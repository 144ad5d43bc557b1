#include "d3d9/format.h"

#include <cstring>

namespace platform::d3d9 {
namespace {

// A channel of n bits stands for v / (2^n - 1); rounded to 8 bits.
inline uint32_t Expand5(uint32_t v) { return (v * 255 + 15) / 31; }
inline uint32_t Expand6(uint32_t v) { return (v * 255 + 31) / 63; }
inline uint32_t Expand4(uint32_t v) { return v * 17; }
// Rounds an 8-bit channel to `bits` bits.
inline uint32_t Narrow(uint32_t v, int bits) {
    uint32_t max = (1u << bits) - 1;
    return (v * max + 127) / 255;
}
inline uint32_t A(uint32_t c) { return c >> 24; }
inline uint32_t R(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t G(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t B(uint32_t c) { return c & 0xFF; }
inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

template <class T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T>
void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

UINT BytesPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8: return 4;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8: return 2;
    case D3DFMT_A8:
    case D3DFMT_L8: return 1;
    default: return 0;
    }
}

void ToArgb(D3DFORMAT format, const void* source, uint32_t* dst, size_t count) {
    const auto* src = static_cast<const uint8_t*>(source);
    switch (format) {
    case D3DFMT_A8R8G8B8:
        std::memcpy(dst, src, count * 4);
        break;
    case D3DFMT_X8R8G8B8:
        for (size_t i = 0; i < count; ++i) dst[i] = Load<uint32_t>(src + 4 * i) | 0xFF000000u;
        break;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = Load<uint32_t>(src + 4 * i);
            uint32_t a = format == D3DFMT_X8B8G8R8 ? 0xFF : A(c);
            dst[i] = Argb(a, B(c), G(c), R(c));
        }
        break;
    case D3DFMT_R8G8B8:
        for (size_t i = 0; i < count; ++i)
            dst[i] = Argb(0xFF, src[3 * i + 2], src[3 * i + 1], src[3 * i]);
        break;
    case D3DFMT_R5G6B5:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = Load<uint16_t>(src + 2 * i);
            dst[i] = Argb(0xFF, Expand5(c >> 11), Expand6((c >> 5) & 0x3F), Expand5(c & 0x1F));
        }
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = Load<uint16_t>(src + 2 * i);
            uint32_t a = format == D3DFMT_X1R5G5B5 || (c & 0x8000) ? 0xFF : 0;
            dst[i] = Argb(a, Expand5((c >> 10) & 0x1F), Expand5((c >> 5) & 0x1F), Expand5(c & 0x1F));
        }
        break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = Load<uint16_t>(src + 2 * i);
            uint32_t a = format == D3DFMT_X4R4G4B4 ? 0xFF : Expand4(c >> 12);
            dst[i] = Argb(a, Expand4((c >> 8) & 0xF), Expand4((c >> 4) & 0xF), Expand4(c & 0xF));
        }
        break;
    case D3DFMT_A8L8:
        for (size_t i = 0; i < count; ++i) {
            uint32_t l = src[2 * i], a = src[2 * i + 1];
            dst[i] = Argb(a, l, l, l);
        }
        break;
    case D3DFMT_A8:
        for (size_t i = 0; i < count; ++i) dst[i] = uint32_t(src[i]) << 24;
        break;
    case D3DFMT_L8:
        for (size_t i = 0; i < count; ++i) dst[i] = Argb(0xFF, src[i], src[i], src[i]);
        break;
    default:
        for (size_t i = 0; i < count; ++i) dst[i] = 0xFF000000u;
        break;
    }
}

void FromArgb(D3DFORMAT format, const uint32_t* src, void* destination, size_t count) {
    auto* dst = static_cast<uint8_t*>(destination);
    switch (format) {
    case D3DFMT_A8R8G8B8:
        std::memcpy(dst, src, count * 4);
        break;
    case D3DFMT_X8R8G8B8:
        for (size_t i = 0; i < count; ++i) Store<uint32_t>(dst + 4 * i, src[i] | 0xFF000000u);
        break;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            uint32_t a = format == D3DFMT_X8B8G8R8 ? 0xFF : A(c);
            Store<uint32_t>(dst + 4 * i, Argb(a, B(c), G(c), R(c)));
        }
        break;
    case D3DFMT_R8G8B8:
        for (size_t i = 0; i < count; ++i) {
            dst[3 * i] = uint8_t(B(src[i]));
            dst[3 * i + 1] = uint8_t(G(src[i]));
            dst[3 * i + 2] = uint8_t(R(src[i]));
        }
        break;
    case D3DFMT_R5G6B5:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            Store<uint16_t>(dst + 2 * i, uint16_t((Narrow(R(c), 5) << 11) | (Narrow(G(c), 6) << 5) |
                                                  Narrow(B(c), 5)));
        }
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            uint32_t a = format == D3DFMT_X1R5G5B5 || A(c) >= 0x80 ? 1 : 0;
            Store<uint16_t>(dst + 2 * i, uint16_t((a << 15) | (Narrow(R(c), 5) << 10) |
                                                  (Narrow(G(c), 5) << 5) | Narrow(B(c), 5)));
        }
        break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            uint32_t a = format == D3DFMT_X4R4G4B4 ? 0xF : Narrow(A(c), 4);
            Store<uint16_t>(dst + 2 * i, uint16_t((a << 12) | (Narrow(R(c), 4) << 8) |
                                                  (Narrow(G(c), 4) << 4) | Narrow(B(c), 4)));
        }
        break;
    case D3DFMT_A8L8:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            // Luminance from the Rec. 601 weights, as D3DX computes it.
            uint32_t l = (R(c) * 299 + G(c) * 587 + B(c) * 114 + 500) / 1000;
            dst[2 * i] = uint8_t(l);
            dst[2 * i + 1] = uint8_t(A(c));
        }
        break;
    case D3DFMT_A8:
        for (size_t i = 0; i < count; ++i) dst[i] = uint8_t(A(src[i]));
        break;
    case D3DFMT_L8:
        for (size_t i = 0; i < count; ++i) {
            uint32_t c = src[i];
            dst[i] = uint8_t((R(c) * 299 + G(c) * 587 + B(c) * 114 + 500) / 1000);
        }
        break;
    default: break;
    }
}

void ImageStore::Read(const RECT& r, uint32_t* dst, size_t dstPitch) const {
    UINT bpp = BytesPerPixel(format);
    size_t w = size_t(r.right - r.left);
    for (LONG y = r.top; y < r.bottom; ++y)
        ToArgb(format, Row(UINT(y)) + size_t(r.left) * bpp, dst + size_t(y - r.top) * dstPitch, w);
}

void ImageStore::Write(const RECT& r, const uint32_t* src, size_t srcPitch) {
    UINT bpp = BytesPerPixel(format);
    size_t w = size_t(r.right - r.left);
    for (LONG y = r.top; y < r.bottom; ++y)
        FromArgb(format, src + size_t(y - r.top) * srcPitch, Row(UINT(y)) + size_t(r.left) * bpp, w);
}

}  // namespace platform::d3d9
