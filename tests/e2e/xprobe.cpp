// Looks at what a window shows: the mean colour of a rectangle of the window or of an image
// file, or the whole window saved as a BMP.
//   xprobe mean WINDOW_ID X0 Y0 X1 Y1     -> "R G B" of the window's pixels in [X0,X1) x [Y0,Y1)
//   xprobe filemean FILE X0 Y0 X1 Y1      -> the same for an image file (BMP, PNG, JPEG)
//   xprobe grab WINDOW_ID OUT.bmp         -> the window's image
#include "common/image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Grab(const char* id, platform::image::Image& out) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    Window window = Window(std::strtoul(id, nullptr, 0));
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(display, window, &attrs)) {
        XCloseDisplay(display);
        return false;
    }
    XImage* image = XGetImage(display, window, 0, 0, unsigned(attrs.width), unsigned(attrs.height),
                              AllPlanes, ZPixmap);
    if (!image) {
        XCloseDisplay(display);
        return false;
    }
    out.width = uint32_t(attrs.width);
    out.height = uint32_t(attrs.height);
    out.pixels.resize(size_t(out.width) * out.height);
    for (uint32_t y = 0; y < out.height; ++y)
        for (uint32_t x = 0; x < out.width; ++x)
            out.at(x, y) = 0xFF000000u | uint32_t(XGetPixel(image, int(x), int(y)) & 0xFFFFFF);
    XDestroyImage(image);
    XCloseDisplay(display);
    return true;
}

int Mean(const platform::image::Image& image, char** argv) {
    long x0 = std::atol(argv[0]), y0 = std::atol(argv[1]), x1 = std::atol(argv[2]), y1 = std::atol(argv[3]);
    if (x0 < 0 || y0 < 0 || x1 > long(image.width) || y1 > long(image.height) || x0 >= x1 || y0 >= y1) {
        std::fprintf(stderr, "rectangle outside the %ux%u image\n", image.width, image.height);
        return 1;
    }
    double sum[3] = {0, 0, 0};
    for (long y = y0; y < y1; ++y)
        for (long x = x0; x < x1; ++x) {
            uint32_t p = image.at(uint32_t(x), uint32_t(y));
            sum[0] += (p >> 16) & 0xFF;
            sum[1] += (p >> 8) & 0xFF;
            sum[2] += p & 0xFF;
        }
    double n = double(x1 - x0) * double(y1 - y0);
    std::printf("%d %d %d\n", int(sum[0] / n + 0.5), int(sum[1] / n + 0.5), int(sum[2] / n + 0.5));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::image::Image image;
    if (argc == 7 && std::strcmp(argv[1], "mean") == 0) {
        if (!Grab(argv[2], image)) return 1;
        return Mean(image, argv + 3);
    }
    if (argc == 7 && std::strcmp(argv[1], "filemean") == 0) {
        if (!platform::image::LoadFile(argv[2], image)) return 1;
        return Mean(image, argv + 3);
    }
    if (argc == 4 && std::strcmp(argv[1], "grab") == 0) {
        if (!Grab(argv[2], image)) return 1;
        return platform::image::SaveBmpFile(image, argv[3], 24) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: xprobe mean WINDOW X0 Y0 X1 Y1 | filemean FILE X0 Y0 X1 Y1 | grab WINDOW OUT.bmp\n");
    return 2;
}
