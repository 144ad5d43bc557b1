#include "d3dx_fixture.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>

#include <jpeglib.h>

namespace d3dxtest {

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

}  // namespace

std::vector<uint8_t> BmpBytes(int w, int h, int bits, const PixelFn& pixel, const std::vector<uint32_t>& palette) {
    const size_t stride = (size_t(w) * size_t(bits) + 31) / 32 * 4;
    const uint32_t paletteBytes = bits == 8 ? uint32_t(palette.size() * 4) : 0;
    const uint32_t offset = 14 + 40 + paletteBytes;
    std::vector<uint8_t> v;
    v.push_back('B');
    v.push_back('M');
    Put32(v, uint32_t(offset + stride * size_t(h)));
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, uint32_t(w));
    Put32(v, uint32_t(h));  // bottom-up
    Put16(v, 1);
    Put16(v, uint32_t(bits));
    Put32(v, 0);  // BI_RGB
    Put32(v, uint32_t(stride * size_t(h)));
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, bits == 8 ? uint32_t(palette.size()) : 0);
    Put32(v, 0);
    if (bits == 8)
        for (uint32_t c : palette) Put32(v, c & 0x00FFFFFF);
    for (int y = h - 1; y >= 0; --y) {
        const size_t start = v.size();
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixel(x, y);
            if (bits == 8) {
                v.push_back(uint8_t(p));
            } else {
                v.push_back(uint8_t(p));
                v.push_back(uint8_t(p >> 8));
                v.push_back(uint8_t(p >> 16));
                if (bits == 32) v.push_back(uint8_t(p >> 24));
            }
        }
        while (v.size() - start < stride) v.push_back(0);
    }
    return v;
}

namespace {

void PngAppend(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

bool PngWrite(png_structp png, png_infop info, int w, int h, bool alpha, std::vector<png_bytep>& rows,
              std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, PngAppend, nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<uint8_t> PngBytes(int w, int h, bool alpha, const PixelFn& pixel) {
    const int channels = alpha ? 4 : 3;
    std::vector<std::vector<png_byte>> data(size_t(h), std::vector<png_byte>(size_t(w) * channels));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixel(x, y);
            png_byte* o = &data[size_t(y)][size_t(x) * channels];
            o[0] = png_byte(p >> 16);
            o[1] = png_byte(p >> 8);
            o[2] = png_byte(p);
            if (alpha) o[3] = png_byte(p >> 24);
        }
    std::vector<png_bytep> rows;
    for (auto& r : data) rows.push_back(r.data());
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const bool ok = PngWrite(png, info, w, h, alpha, rows, &out);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

std::vector<uint8_t> JpegBytes(int w, int h, const PixelFn& pixel) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixel(x, int(cinfo.next_scanline));
            row[size_t(x) * 3] = JSAMPLE(p >> 16);
            row[size_t(x) * 3 + 1] = JSAMPLE(p >> 8);
            row[size_t(x) * 3 + 2] = JSAMPLE(p);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

void D3DXTest::SetUp() {
    InTempDir::SetUp();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "D3DXTest";
    RegisterClassExA(&wc);
    hwnd_ = CreateWindowExA(0, "D3DXTest", "d3dx", WS_OVERLAPPED | WS_CAPTION, 20, 20, 240, 180, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS& pp = pp_;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device_),
              D3D_OK);
}

void D3DXTest::TearDown() {
    if (device_) {
        EXPECT_EQ(device_->Release(), 0u) << "an object still holds the device";
    }
    if (d3d_) d3d_->Release();
    if (hwnd_) DestroyWindow(hwnd_);
    UnregisterClassA("D3DXTest", nullptr);
    InTempDir::TearDown();
}

std::vector<uint32_t> D3DXTest::BackBuffer() {
    std::vector<uint32_t> out(size_t(kWidth) * kHeight);
    IDirect3DSurface9* back = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    if (!back) return out;
    D3DLOCKED_RECT lr;
    EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            out[size_t(y) * kWidth + size_t(x)] =
                reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch)[x];
    back->UnlockRect();
    back->Release();
    return out;
}

void D3DXTest::Clear(D3DCOLOR color, float z) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, color, z, 0), D3D_OK);
}

IDirect3DTexture9* D3DXTest::MakeTexture(int w, int h, const PixelFn& pixel, UINT levels) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(UINT(w), UINT(h), levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    if (!texture) return nullptr;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(texture->LockRect(level, &lr, nullptr, 0), D3D_OK);
        // Smaller levels repeat the pattern at their own scale.
        const int scale = w / int(desc.Width);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.pBits) + int(y) * lr.Pitch)[x] =
                    pixel(int(x) * scale, int(y) * scale);
        texture->UnlockRect(level);
    }
    return texture;
}

std::vector<uint32_t> D3DXTest::ReadLevel(IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    std::vector<uint32_t> out(size_t(desc.Width) * desc.Height);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(texture->LockRect(level, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    if (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) {
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                out[size_t(y) * desc.Width + x] =
                    reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(lr.pBits) + int(y) * lr.Pitch)[x];
    }
    texture->UnlockRect(level);
    return out;
}

IDirect3DSurface9* D3DXTest::MakeSurface(int w, int h, D3DFORMAT format, const PixelFn& pixel) {
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(UINT(w), UINT(h), format, D3DPOOL_SYSTEMMEM, &surface, nullptr),
              D3D_OK);
    if (!surface) return nullptr;
    D3DLOCKED_RECT lr;
    EXPECT_EQ(surface->LockRect(&lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] = pixel(x, y);
    surface->UnlockRect();
    return surface;
}

std::vector<uint32_t> D3DXTest::ReadSurface(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC desc;
    EXPECT_EQ(surface->GetDesc(&desc), D3D_OK);
    std::vector<uint32_t> out(size_t(desc.Width) * desc.Height);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
        for (UINT x = 0; x < desc.Width; ++x)
            out[size_t(y) * desc.Width + x] =
                reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(lr.pBits) + int(y) * lr.Pitch)[x];
    surface->UnlockRect();
    return out;
}

}  // namespace d3dxtest
