// Pixels in and out of Direct3D surfaces and image files, shared by the D3DX texture, surface
// and font code. Everything goes through the public Direct3D 9 calls (LockRect, UpdateSurface
// from a system-memory copy); only surfaces that no public call can read or write (a default-pool
// texture as a source, a back buffer created without the lockable flag) use the layer's own access.
#pragma once

#include <d3d9.h>
#include <d3dx9tex.h>

#include "common/image.h"

#include <cstdint>

namespace platform::d3dx {

// True for formats with an alpha channel.
bool FormatHasAlpha(D3DFORMAT format);

// Reads `rect` of a surface as 0xAARRGGBB into `out` (rect size, hasAlpha from the format).
HRESULT ReadSurface(IDirect3DSurface9* surface, const RECT& rect, image::Image& out);
// Writes 0xAARRGGBB pixels (rows `pitch` pixels apart) into `rect` of a surface, converting them
// to the surface's format.
HRESULT WriteSurface(IDirect3DSurface9* surface, const RECT& rect, const uint32_t* argb,
                     size_t pitch);

// Loads an image file named with a Windows path. A missing, unreadable or damaged file gives
// D3DXERR_INVALIDDATA, an image too large for memory E_OUTOFMEMORY.
HRESULT LoadImageFile(const char* windowsPath, image::Image& out);

// What D3DX reports about a file's image.
void DescribeImage(const image::Image& image, D3DXIMAGE_INFO* info);

// A D3DX_FILTER value: D3DX_DEFAULT means `defaultFilter`. The low bits choose the filter (the
// mirror, dither and sRGB flags are accepted and ignored); `none` is set for D3DX_FILTER_NONE.
// False for an unknown filter.
bool ParseFilter(DWORD filter, DWORD defaultFilter, image::Filter* out, bool* none);

// The rectangle `rect` (null: the whole width x height) if it lies inside; false otherwise.
bool ResolveRect(const RECT* rect, UINT width, UINT height, RECT* out);

// Copies a sub-rectangle of an image.
image::Image Crop(const image::Image& source, const RECT& rect);

}  // namespace platform::d3dx
