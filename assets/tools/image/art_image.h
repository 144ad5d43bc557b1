// Small image toolkit for the art build and its tests: RGBA images in memory,
// PNG / JPEG / BMP files in and out, and an area-averaging resize.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace art {

// 8-bit RGBA, rows top to bottom, no padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  Image() = default;
  Image(int w, int h, std::uint32_t rgba = 0);

  bool empty() const { return width <= 0 || height <= 0; }
  std::uint8_t* at(int x, int y) { return &pixels[(static_cast<std::size_t>(y) * width + x) * 4]; }
  const std::uint8_t* at(int x, int y) const {
    return &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
  }
};

enum class FileKind { Unknown, Png, Jpeg, Bmp };

// What the file itself says about its pixels.
struct FileInfo {
  FileKind kind = FileKind::Unknown;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;  // BMP: 24 or 32; PNG: 24 or 32 (RGB / RGBA after expansion); JPEG: 24 or 8
  bool hasAlpha = false;
  bool topDown = false;  // BMP only
};

// Largest side accepted from a file; bigger images are treated as damaged.
constexpr int kMaxSide = 16384;

FileKind GuessKind(const std::vector<std::uint8_t>& bytes);

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string* err = nullptr);

// Decoders. On failure they return false, leave `out` empty and say why in `err`.
bool DecodePng(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err);
bool DecodeJpeg(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err);
bool DecodeBmp(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err);
bool DecodeImage(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err);
bool ReadImage(const std::string& path, Image& out, FileInfo* info = nullptr, std::string* err = nullptr);
// Reads a PNG stream to its end (used for the output of the SVG rasteriser).
bool ReadPngStream(std::FILE* stream, Image& out, std::string* err);

// Encoders.
bool WritePng(const std::string& path, const Image& img, bool withAlpha, std::string* err = nullptr);
bool WriteJpeg(const std::string& path, const Image& img, int quality, std::string* err = nullptr);
// 24-bit drops alpha; 32-bit keeps it in the fourth byte (BGRA, BI_RGB, bottom-up).
bool WriteBmp(const std::string& path, const Image& img, int bitsPerPixel, std::string* err = nullptr);
bool EncodeBmp(const Image& img, int bitsPerPixel, std::vector<std::uint8_t>& out);

// Resamples with area averaging in premultiplied alpha; for enlarging an axis
// it falls back to linear interpolation.
Image Resize(const Image& src, int width, int height);

}  // namespace art
