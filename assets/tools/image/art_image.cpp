#include "art_image.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <png.h>

namespace art {

Image::Image(int w, int h, std::uint32_t rgba) : width(w), height(h) {
  pixels.resize(static_cast<std::size_t>(w) * h * 4);
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i + 0] = static_cast<std::uint8_t>(rgba >> 24);
    pixels[i + 1] = static_cast<std::uint8_t>(rgba >> 16);
    pixels[i + 2] = static_cast<std::uint8_t>(rgba >> 8);
    pixels[i + 3] = static_cast<std::uint8_t>(rgba);
  }
}

namespace {

void SetError(std::string* err, const std::string& text) {
  if (err) *err = text;
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

bool SaneSize(long long w, long long h) { return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide; }

// ---- PNG -------------------------------------------------------------------------------------

bool FinishPng(png_image& image, Image& out, FileInfo* info, std::string* err) {
  if (!SaneSize(image.width, image.height)) {
    png_image_free(&image);
    SetError(err, "PNG size out of range");
    return false;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  Image img(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, img.pixels.data(), 0, nullptr)) {
    SetError(err, std::string("PNG decode failed: ") + image.message);
    png_image_free(&image);
    return false;
  }
  if (info) {
    info->kind = FileKind::Png;
    info->width = img.width;
    info->height = img.height;
    info->hasAlpha = alpha;
    info->bitsPerPixel = alpha ? 32 : 24;
  }
  out = std::move(img);
  return true;
}

// ---- JPEG ------------------------------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

void JpegSilence(j_common_ptr, int) {}

// The two halves of a JPEG decode; only plain data lives in these frames, so a
// longjmp out of libjpeg skips no destructor.
bool JpegReadHeader(jpeg_decompress_struct* cinfo, JpegError* jerr, const std::uint8_t* data,
                    unsigned long size) {
  if (setjmp(jerr->jump)) return false;
  jpeg_mem_src(cinfo, data, size);
  jpeg_read_header(cinfo, TRUE);
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  return true;
}

bool JpegReadRows(jpeg_decompress_struct* cinfo, JpegError* jerr, std::uint8_t* rgb, std::size_t stride) {
  if (setjmp(jerr->jump)) return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = rgb + stride * cinfo->output_scanline;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

bool JpegWriteAll(jpeg_compress_struct* cinfo, JpegError* jerr, std::FILE* file, const std::uint8_t* rgb,
                  int width, int height, int quality) {
  if (setjmp(jerr->jump)) return false;
  jpeg_stdio_dest(cinfo, file);
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  // Full-resolution chroma: lettering and thin rules keep their colour.
  for (int i = 0; i < cinfo->num_components; ++i) {
    cinfo->comp_info[i].h_samp_factor = 1;
    cinfo->comp_info[i].v_samp_factor = 1;
  }
  cinfo->optimize_coding = TRUE;
  jpeg_start_compress(cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(rgb + stride * cinfo->next_scanline);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

// ---- resize ----------------------------------------------------------------------------------

struct Tap {
  int index;
  float weight;
};

// For each destination sample, the source samples it takes and their weights.
std::vector<std::vector<Tap>> Taps(int src, int dst) {
  std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(dst));
  const double scale = static_cast<double>(src) / dst;
  for (int i = 0; i < dst; ++i) {
    auto& t = taps[static_cast<std::size_t>(i)];
    if (scale >= 1.0) {
      const double a = i * scale, b = (i + 1) * scale;
      for (int s = static_cast<int>(std::floor(a)); s < static_cast<int>(std::ceil(b)) && s < src; ++s) {
        const double lo = std::max(a, static_cast<double>(s)), hi = std::min(b, static_cast<double>(s + 1));
        if (hi > lo) t.push_back({s, static_cast<float>((hi - lo) / scale)});
      }
    } else {
      double c = (i + 0.5) * scale - 0.5;
      c = std::clamp(c, 0.0, static_cast<double>(src - 1));
      const int s0 = static_cast<int>(std::floor(c));
      const int s1 = std::min(s0 + 1, src - 1);
      const float f = static_cast<float>(c - s0);
      t.push_back({s0, 1.0f - f});
      if (s1 != s0 && f > 0.0f) t.push_back({s1, f});
    }
  }
  return taps;
}

}  // namespace

FileKind GuessKind(const std::vector<std::uint8_t>& b) {
  if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return FileKind::Png;
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return FileKind::Jpeg;
  if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return FileKind::Bmp;
  return FileKind::Unknown;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::string* err) {
  out.clear();
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    SetError(err, "cannot open " + path);
    return false;
  }
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.insert(out.end(), buf, buf + n);
  if (std::ferror(f.get())) {
    SetError(err, "cannot read " + path);
    out.clear();
    return false;
  }
  return true;
}

bool DecodePng(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err) {
  out = Image();
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
    SetError(err, std::string("not a PNG: ") + image.message);
    return false;
  }
  return FinishPng(image, out, info, err);
}

bool ReadPngStream(std::FILE* stream, Image& out, std::string* err) {
  out = Image();
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_stdio(&image, stream)) {
    SetError(err, std::string("not a PNG stream: ") + image.message);
    return false;
  }
  return FinishPng(image, out, nullptr, err);
}

bool DecodeJpeg(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err) {
  out = Image();
  if (bytes.empty()) {
    SetError(err, "empty JPEG");
    return false;
  }
  jpeg_decompress_struct cinfo;
  JpegError jerr;
  std::memset(&jerr, 0, sizeof jerr);
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = JpegErrorExit;
  jerr.mgr.emit_message = JpegSilence;
  jpeg_create_decompress(&cinfo);
  bool ok = JpegReadHeader(&cinfo, &jerr, bytes.data(), static_cast<unsigned long>(bytes.size()));
  const int components = ok ? cinfo.num_components : 0;
  if (ok && (!SaneSize(cinfo.output_width, cinfo.output_height) || cinfo.output_components != 3)) {
    std::snprintf(jerr.message, sizeof jerr.message, "JPEG size or layout out of range");
    ok = false;
  }
  std::vector<std::uint8_t> rgb;
  if (ok) {
    rgb.resize(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height * 3);
    ok = JpegReadRows(&cinfo, &jerr, rgb.data(), static_cast<std::size_t>(cinfo.output_width) * 3);
  }
  const int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) {
    SetError(err, std::string("JPEG decode failed: ") + jerr.message);
    return false;
  }
  Image img(w, h);
  for (std::size_t i = 0, n = static_cast<std::size_t>(w) * h; i < n; ++i) {
    img.pixels[i * 4 + 0] = rgb[i * 3 + 0];
    img.pixels[i * 4 + 1] = rgb[i * 3 + 1];
    img.pixels[i * 4 + 2] = rgb[i * 3 + 2];
    img.pixels[i * 4 + 3] = 255;
  }
  if (info) {
    info->kind = FileKind::Jpeg;
    info->width = w;
    info->height = h;
    info->hasAlpha = false;
    info->bitsPerPixel = components == 1 ? 8 : 24;
  }
  out = std::move(img);
  return true;
}

bool DecodeBmp(const std::vector<std::uint8_t>& b, Image& out, FileInfo* info, std::string* err) {
  out = Image();
  if (b.size() < 14 + 40 || b[0] != 'B' || b[1] != 'M') {
    SetError(err, "not a BMP");
    return false;
  }
  const std::uint32_t dataOffset = Le32(&b[10]);
  const std::uint32_t headerSize = Le32(&b[14]);
  if (headerSize < 40 || 14ull + headerSize > b.size()) {
    SetError(err, "BMP header size out of range");
    return false;
  }
  const std::int32_t w = static_cast<std::int32_t>(Le32(&b[18]));
  const std::int32_t rawH = static_cast<std::int32_t>(Le32(&b[22]));
  const std::uint32_t planes = Le16(&b[26]);
  const std::uint32_t bpp = Le16(&b[28]);
  const std::uint32_t compression = Le32(&b[30]);
  const bool topDown = rawH < 0;
  const long long h = topDown ? -static_cast<long long>(rawH) : rawH;
  if (!SaneSize(w, h) || planes != 1) {
    SetError(err, "BMP size out of range");
    return false;
  }
  if (bpp != 24 && bpp != 32) {
    SetError(err, "BMP bit depth " + std::to_string(bpp) + " not supported");
    return false;
  }
  if (compression != 0 && !(compression == 3 && bpp == 32)) {
    SetError(err, "compressed BMP not supported");
    return false;
  }
  if (compression == 3) {
    // Only the usual BGRA masks.
    if (headerSize < 52 || Le32(&b[54]) != 0x00FF0000u || Le32(&b[58]) != 0x0000FF00u ||
        Le32(&b[62]) != 0x000000FFu) {
      SetError(err, "BMP bit fields not supported");
      return false;
    }
  }
  const std::size_t stride = ((static_cast<std::size_t>(w) * bpp + 31) / 32) * 4;
  if (dataOffset < 14 + headerSize || dataOffset > b.size() ||
      stride * static_cast<std::size_t>(h) > b.size() - dataOffset) {
    SetError(err, "BMP pixel data out of range");
    return false;
  }
  Image img(w, static_cast<int>(h));
  bool anyAlpha = false;
  for (int y = 0; y < img.height; ++y) {
    const int fileRow = topDown ? y : img.height - 1 - y;
    const std::uint8_t* src = &b[dataOffset + stride * static_cast<std::size_t>(fileRow)];
    for (int x = 0; x < img.width; ++x) {
      std::uint8_t* d = img.at(x, y);
      const std::uint8_t* s = src + static_cast<std::size_t>(x) * (bpp / 8);
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = bpp == 32 ? s[3] : 255;
      if (bpp == 32 && s[3] != 0) anyAlpha = true;
    }
  }
  // A 32-bit file whose fourth bytes are all zero carries no alpha.
  if (bpp == 32 && !anyAlpha)
    for (std::size_t i = 3; i < img.pixels.size(); i += 4) img.pixels[i] = 255;
  if (info) {
    info->kind = FileKind::Bmp;
    info->width = img.width;
    info->height = img.height;
    info->bitsPerPixel = static_cast<int>(bpp);
    info->hasAlpha = bpp == 32 && anyAlpha;
    info->topDown = topDown;
  }
  out = std::move(img);
  return true;
}

bool DecodeImage(const std::vector<std::uint8_t>& bytes, Image& out, FileInfo* info, std::string* err) {
  switch (GuessKind(bytes)) {
    case FileKind::Png: return DecodePng(bytes, out, info, err);
    case FileKind::Jpeg: return DecodeJpeg(bytes, out, info, err);
    case FileKind::Bmp: return DecodeBmp(bytes, out, info, err);
    case FileKind::Unknown: break;
  }
  out = Image();
  SetError(err, "unknown image format");
  return false;
}

bool ReadImage(const std::string& path, Image& out, FileInfo* info, std::string* err) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, err)) {
    out = Image();
    return false;
  }
  return DecodeImage(bytes, out, info, err);
}

bool WritePng(const std::string& path, const Image& img, bool withAlpha, std::string* err) {
  if (img.empty()) {
    SetError(err, "empty image");
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(img.width);
  image.height = static_cast<png_uint_32>(img.height);
  image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb;
  const void* data = img.pixels.data();
  if (!withAlpha) {
    rgb.resize(static_cast<std::size_t>(img.width) * img.height * 3);
    for (std::size_t i = 0, n = static_cast<std::size_t>(img.width) * img.height; i < n; ++i)
      std::memcpy(&rgb[i * 3], &img.pixels[i * 4], 3);
    data = rgb.data();
  }
  if (!png_image_write_to_file(&image, path.c_str(), 0, data, 0, nullptr)) {
    SetError(err, std::string("PNG write failed: ") + image.message);
    png_image_free(&image);
    return false;
  }
  return true;
}

bool WriteJpeg(const std::string& path, const Image& img, int quality, std::string* err) {
  if (img.empty()) {
    SetError(err, "empty image");
    return false;
  }
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(img.width) * img.height * 3);
  for (std::size_t i = 0, n = static_cast<std::size_t>(img.width) * img.height; i < n; ++i)
    std::memcpy(&rgb[i * 3], &img.pixels[i * 4], 3);
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f) {
    SetError(err, "cannot create " + path);
    return false;
  }
  jpeg_compress_struct cinfo;
  JpegError jerr;
  std::memset(&jerr, 0, sizeof jerr);
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = JpegErrorExit;
  jpeg_create_compress(&cinfo);
  const bool ok = JpegWriteAll(&cinfo, &jerr, f.get(), rgb.data(), img.width, img.height,
                               std::clamp(quality, 1, 100));
  jpeg_destroy_compress(&cinfo);
  if (!ok) {
    SetError(err, std::string("JPEG write failed: ") + jerr.message);
    return false;
  }
  if (std::fflush(f.get()) != 0) {
    SetError(err, "cannot write " + path);
    return false;
  }
  return true;
}

bool EncodeBmp(const Image& img, int bpp, std::vector<std::uint8_t>& out) {
  out.clear();
  if (img.empty() || (bpp != 24 && bpp != 32)) return false;
  const std::size_t stride = ((static_cast<std::size_t>(img.width) * bpp + 31) / 32) * 4;
  const std::size_t dataSize = stride * static_cast<std::size_t>(img.height);
  out.reserve(54 + dataSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(54 + dataSize));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(img.width));
  Put32(out, static_cast<std::uint32_t>(img.height));  // positive: bottom-up
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bpp));
  Put32(out, 0);  // BI_RGB
  Put32(out, static_cast<std::uint32_t>(dataSize));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = img.height - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    for (int x = 0; x < img.width; ++x) {
      const std::uint8_t* p = img.at(x, y);
      out.push_back(p[2]);
      out.push_back(p[1]);
      out.push_back(p[0]);
      if (bpp == 32) out.push_back(p[3]);
    }
    while (out.size() - start < stride) out.push_back(0);
  }
  return true;
}

bool WriteBmp(const std::string& path, const Image& img, int bpp, std::string* err) {
  std::vector<std::uint8_t> bytes;
  if (!EncodeBmp(img, bpp, bytes)) {
    SetError(err, "cannot encode BMP");
    return false;
  }
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() || std::fflush(f.get()) != 0) {
    SetError(err, "cannot write " + path);
    return false;
  }
  return true;
}

Image Resize(const Image& src, int width, int height) {
  if (src.empty() || width <= 0 || height <= 0) return Image();
  if (src.width == width && src.height == height) return src;
  // Premultiplied floats, horizontal pass then vertical pass.
  std::vector<float> pre(src.pixels.size());
  for (std::size_t i = 0; i < src.pixels.size(); i += 4) {
    const float a = src.pixels[i + 3] / 255.0f;
    pre[i + 0] = src.pixels[i + 0] * a;
    pre[i + 1] = src.pixels[i + 1] * a;
    pre[i + 2] = src.pixels[i + 2] * a;
    pre[i + 3] = src.pixels[i + 3];
  }
  const auto hx = Taps(src.width, width);
  std::vector<float> mid(static_cast<std::size_t>(width) * src.height * 4, 0.0f);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < width; ++x) {
      float* d = &mid[(static_cast<std::size_t>(y) * width + x) * 4];
      for (const Tap& t : hx[static_cast<std::size_t>(x)]) {
        const float* s = &pre[(static_cast<std::size_t>(y) * src.width + t.index) * 4];
        for (int c = 0; c < 4; ++c) d[c] += s[c] * t.weight;
      }
    }
  const auto vy = Taps(src.height, height);
  Image out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float acc[4] = {0, 0, 0, 0};
      for (const Tap& t : vy[static_cast<std::size_t>(y)]) {
        const float* s = &mid[(static_cast<std::size_t>(t.index) * width + x) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += s[c] * t.weight;
      }
      std::uint8_t* d = out.at(x, y);
      const float a = std::clamp(acc[3], 0.0f, 255.0f);
      for (int c = 0; c < 3; ++c) {
        const float v = a > 0.0f ? acc[c] / (a / 255.0f) : 0.0f;
        d[c] = static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
      }
      d[3] = static_cast<std::uint8_t>(std::lround(a));
    }
  return out;
}

}  // namespace art
