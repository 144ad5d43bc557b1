// GDI bitmaps loaded from BMP files: LoadImageA, GetObjectA and DeleteObject over a table of
// handles owned by the layer.
#include <windows.h>

#include "common/image.h"
#include "common/paths.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInvalidParameter = 87;

// A bitmap as GetObjectA describes it. A DIB section keeps its pixels bottom-up, rows padded to
// four bytes, as Windows stores them; a device-dependent bitmap shows no pixels.
struct Bitmap {
    LONG width = 0, height = 0;
    LONG widthBytes = 0;
    WORD bitsPixel = 0;
    bool dibSection = false;
    std::vector<uint8_t> bits;
};

class BitmapTable {
public:
    HANDLE Add(std::unique_ptr<Bitmap> bitmap) {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ += 4;
        const uintptr_t handle = next_;
        bitmaps_.emplace(handle, std::move(bitmap));
        return reinterpret_cast<HANDLE>(handle);
    }
    bool Describe(HANDLE h, BITMAP* out) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = bitmaps_.find(reinterpret_cast<uintptr_t>(h));
        if (found == bitmaps_.end()) return false;
        Bitmap& b = *found->second;
        *out = BITMAP{};
        out->bmType = 0;
        out->bmWidth = b.width;
        out->bmHeight = b.height;
        out->bmWidthBytes = b.widthBytes;
        out->bmPlanes = 1;
        out->bmBitsPixel = b.bitsPixel;
        out->bmBits = b.dibSection ? b.bits.data() : nullptr;
        return true;
    }
    bool Contains(HANDLE h) {
        std::lock_guard<std::mutex> lock(mutex_);
        return bitmaps_.count(reinterpret_cast<uintptr_t>(h)) != 0;
    }
    bool Remove(HANDLE h) {
        std::unique_ptr<Bitmap> doomed;
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = bitmaps_.find(reinterpret_cast<uintptr_t>(h));
        if (found == bitmaps_.end()) return false;
        doomed = std::move(found->second);
        bitmaps_.erase(found);
        return true;
    }

private:
    std::mutex mutex_;
    uintptr_t next_ = 0x3000;
    std::unordered_map<uintptr_t, std::unique_ptr<Bitmap>> bitmaps_;
};

// Lives for the whole process: global destructors may still delete bitmaps at exit.
BitmapTable& Table() {
    static BitmapTable* table = new BitmapTable;
    return *table;
}

// A 32-bit file stays 32-bit; every other depth becomes a 24-bit DIB section.
std::unique_ptr<Bitmap> MakeBitmap(const platform::image::Image& image, bool dibSection) {
    auto b = std::make_unique<Bitmap>();
    b->width = LONG(image.width);
    b->height = LONG(image.height);
    b->dibSection = dibSection;
    if (!dibSection) {
        // A device-dependent bitmap takes the screen's 32-bit format; rows are WORD aligned.
        b->bitsPixel = 32;
        b->widthBytes = b->width * 4;
        return b;
    }
    b->bitsPixel = image.bitsPerPixel == 32 ? 32 : 24;
    const size_t bytesPerPixel = b->bitsPixel / 8;
    const size_t stride = (size_t(image.width) * b->bitsPixel + 31) / 32 * 4;
    b->widthBytes = LONG(stride);
    b->bits.assign(stride * image.height, 0);
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = &b->bits[size_t(image.height - 1 - y) * stride];  // bottom-up
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t p = image.at(x, y);
            uint8_t* out = row + x * bytesPerPixel;
            out[0] = uint8_t(p);
            out[1] = uint8_t(p >> 8);
            out[2] = uint8_t(p >> 16);
            if (bytesPerPixel == 4) out[3] = image.hasAlpha ? uint8_t(p >> 24) : 0;
        }
    }
    return b;
}

}  // namespace

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    // Only bitmap files: the program has no bitmap, icon or cursor resources to load by name.
    if (type != IMAGE_BITMAP || !(fuLoad & LR_LOADFROMFILE) || !name || cx < 0 || cy < 0) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    try {
        namespace image = platform::image;
        image::Image pixels;
        if (!image::LoadFile(platform::MapPath(name), pixels) || pixels.source != image::Format::Bmp) {
            SetLastError(kErrorFileNotFound);
            return nullptr;
        }
        if (cx || cy) {
            const uint32_t w = cx ? uint32_t(cx) : pixels.width, h = cy ? uint32_t(cy) : pixels.height;
            if (uint64_t(w) * h > image::kMaxPixels) {
                SetLastError(kErrorInvalidParameter);
                return nullptr;
            }
            pixels = image::Resize(pixels, w, h, image::Filter::Point);
        }
        return Table().Add(MakeBitmap(pixels, (fuLoad & LR_CREATEDIBSECTION) != 0));
    } catch (const std::bad_alloc&) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
    if (!Table().Contains(h)) {
        SetLastError(kErrorInvalidHandle);
        return 0;
    }
    if (!pv) return int(sizeof(BITMAP));
    if (c < int(sizeof(BITMAP))) return 0;
    BITMAP bitmap;
    if (!Table().Describe(h, &bitmap)) return 0;
    std::memcpy(pv, &bitmap, sizeof bitmap);
    return int(sizeof(BITMAP));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) { return Table().Remove(ho) ? TRUE : FALSE; }
