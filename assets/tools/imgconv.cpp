// imgconv: turns one SVG drawing into one of the game's image files.
//
//   imgconv --rsvg <rsvg-convert> --in art.svg --out file.{bmp,jpg,png} --size WxH [options]
//
// The drawing's own width and height are its size on screen; the file may be
// stretched (the game draws its images scaled), so the drawing is rasterised
// uniformly at the zoom that covers the file size and then resampled to the
// file size exactly, which keeps lettering undistorted.
//
// Options:
//   --bmp32           32-bit BMP with alpha (default for .bmp is 24-bit)
//   --key R,G,B       colour-key art: see-through pixels become pure black, edge
//                     pixels are blended over R,G,B, and no visible pixel is pure black
//   --matte R,G,B     background for flattening an image with alpha (default 0,0,0)
//   --floor N         every channel at least N (keeps JPEG noise away from black)
//   --quality N       JPEG quality (default 92)
//   --ss N            render N times larger before resampling (small images)

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "image/art_image.h"

extern char** environ;

namespace {

struct Rgb {
  int r = 0, g = 0, b = 0;
};

struct Options {
  std::string rsvg = "rsvg-convert";
  std::string in, out;
  int width = 0, height = 0;
  int bmpBits = 24;
  bool key = false;
  Rgb keyMatte;
  Rgb matte;
  int floor = 0;
  int quality = 92;
  int supersample = 1;
};

[[noreturn]] void Fail(const std::string& msg) {
  std::cerr << "imgconv: " << msg << "\n";
  std::exit(1);
}

bool ParseRgb(const std::string& s, Rgb& c) {
  return std::sscanf(s.c_str(), "%d,%d,%d", &c.r, &c.g, &c.b) == 3 && c.r >= 0 && c.r <= 255 && c.g >= 0 &&
         c.g <= 255 && c.b >= 0 && c.b <= 255;
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

std::string Extension(const std::string& path) {
  const auto dot = path.find_last_of('.');
  return dot == std::string::npos ? std::string() : Lower(path.substr(dot + 1));
}

// Reads a numeric attribute of the root <svg> element.
double SvgAttribute(const std::string& text, const char* name) {
  const auto root = text.find("<svg");
  if (root == std::string::npos) Fail("no <svg> element");
  const auto end = text.find('>', root);
  const std::string tag = text.substr(root, end - root);
  const std::string key = std::string(" ") + name + "=\"";
  auto pos = tag.find(key);
  if (pos == std::string::npos) {
    const std::string keyNl = std::string("\n") + name + "=\"";
    pos = tag.find(keyNl);
    if (pos == std::string::npos) Fail(std::string("the drawing has no ") + name);
  }
  return std::atof(tag.c_str() + pos + key.size());
}

// Runs the rasteriser at the given zoom and reads the PNG it writes to its output.
art::Image Rasterise(const Options& o, double zoom) {
  int fds[2];
  if (pipe(fds) != 0) Fail("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  char zoomText[32];
  std::snprintf(zoomText, sizeof zoomText, "%.6f", zoom);
  std::vector<std::string> args = {o.rsvg, "-f", "png", "-z", zoomText, o.in};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  const int rc = posix_spawnp(&pid, o.rsvg.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    Fail("cannot run " + o.rsvg);
  }
  std::FILE* stream = fdopen(fds[0], "rb");
  if (!stream) Fail("fdopen failed");
  art::Image img;
  std::string err;
  const bool ok = art::ReadPngStream(stream, img, &err);
  // Drain what is left so the child never blocks on a full pipe.
  char sink[4096];
  while (std::fread(sink, 1, sizeof sink, stream) > 0) {
  }
  std::fclose(stream);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail(o.rsvg + " failed on " + o.in);
  if (!ok) Fail("reading the rasterised drawing: " + err);
  return img;
}

std::uint8_t Blend(int fg, int bg, int alpha) { return static_cast<std::uint8_t>((fg * alpha + bg * (255 - alpha) + 127) / 255); }

void ApplyKey(art::Image& img, const Rgb& matte) {
  for (std::size_t i = 0; i < img.pixels.size(); i += 4) {
    std::uint8_t* p = &img.pixels[i];
    if (p[3] < 128) {
      p[0] = p[1] = p[2] = 0;
      p[3] = 0;
      continue;
    }
    p[0] = Blend(p[0], matte.r, p[3]);
    p[1] = Blend(p[1], matte.g, p[3]);
    p[2] = Blend(p[2], matte.b, p[3]);
    p[3] = 255;
    if (p[0] == 0 && p[1] == 0 && p[2] == 0) p[0] = p[1] = p[2] = 1;
  }
}

void Flatten(art::Image& img, const Rgb& matte) {
  for (std::size_t i = 0; i < img.pixels.size(); i += 4) {
    std::uint8_t* p = &img.pixels[i];
    p[0] = Blend(p[0], matte.r, p[3]);
    p[1] = Blend(p[1], matte.g, p[3]);
    p[2] = Blend(p[2], matte.b, p[3]);
    p[3] = 255;
  }
}

// Images with alpha are loaded with opaque black as the colour key: fully
// transparent pixels get black colour, visible ones are never pure black.
void CleanAlpha(art::Image& img) {
  for (std::size_t i = 0; i < img.pixels.size(); i += 4) {
    std::uint8_t* p = &img.pixels[i];
    if (p[3] == 0)
      p[0] = p[1] = p[2] = 0;
    else if (p[0] == 0 && p[1] == 0 && p[2] == 0)
      p[0] = p[1] = p[2] = 1;
  }
}

bool HasAlpha(const art::Image& img) {
  for (std::size_t i = 3; i < img.pixels.size(); i += 4)
    if (img.pixels[i] != 255) return true;
  return false;
}

Options ParseArgs(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) Fail("missing value after " + a);
      return argv[++i];
    };
    if (a == "--rsvg") o.rsvg = next();
    else if (a == "--in") o.in = next();
    else if (a == "--out") o.out = next();
    else if (a == "--size") {
      if (std::sscanf(next().c_str(), "%dx%d", &o.width, &o.height) != 2) Fail("bad --size");
    } else if (a == "--bmp32") o.bmpBits = 32;
    else if (a == "--key") {
      o.key = true;
      if (!ParseRgb(next(), o.keyMatte)) Fail("bad --key colour");
    } else if (a == "--matte") {
      if (!ParseRgb(next(), o.matte)) Fail("bad --matte colour");
    } else if (a == "--floor") o.floor = std::atoi(next().c_str());
    else if (a == "--quality") o.quality = std::atoi(next().c_str());
    else if (a == "--ss") o.supersample = std::max(1, std::atoi(next().c_str()));
    else Fail("unknown option " + a);
  }
  if (o.in.empty() || o.out.empty()) Fail("--in and --out are required");
  if (o.width <= 0 || o.height <= 0 || o.width > art::kMaxSide || o.height > art::kMaxSide)
    Fail("--size out of range");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = ParseArgs(argc, argv);

  std::ifstream svgFile(o.in);
  if (!svgFile) Fail("cannot open " + o.in);
  std::stringstream ss;
  ss << svgFile.rdbuf();
  const std::string svg = ss.str();
  const double designW = SvgAttribute(svg, "width"), designH = SvgAttribute(svg, "height");
  if (!(designW > 0) || !(designH > 0)) Fail("the drawing's size is not positive");

  const double zoom = std::max(o.width / designW, o.height / designH) * o.supersample;
  art::Image img = art::Resize(Rasterise(o, zoom), o.width, o.height);
  if (img.empty()) Fail("rasterising gave no pixels");

  const std::string ext = Extension(o.out);
  if (o.key) ApplyKey(img, o.keyMatte);
  const bool keepAlpha = (ext == "png" && HasAlpha(img)) || (ext == "bmp" && o.bmpBits == 32);
  if (!keepAlpha && !o.key) Flatten(img, o.matte);
  if (keepAlpha) CleanAlpha(img);
  if (o.floor > 0)
    for (std::size_t i = 0; i < img.pixels.size(); i += 4)
      if (img.pixels[i + 3] != 0 || !(keepAlpha || o.key))
        for (int c = 0; c < 3; ++c)
          img.pixels[i + c] = static_cast<std::uint8_t>(std::max<int>(img.pixels[i + c], o.floor));

  std::string err;
  bool ok = false;
  if (ext == "png") ok = art::WritePng(o.out, img, keepAlpha, &err);
  else if (ext == "jpg" || ext == "jpeg") ok = art::WriteJpeg(o.out, img, o.quality, &err);
  else if (ext == "bmp") ok = art::WriteBmp(o.out, img, o.bmpBits, &err);
  else Fail("unknown output type " + o.out);
  if (!ok) Fail(err);
  return 0;
}
