// An image in memory shared with the X server, shown in a window without going through OpenGL.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>

namespace platform::d3d9 {

class WindowImage {
public:
    // Null unless the window is on X, its pixels are 32-bit xRGB and the server shares memory.
    static std::unique_ptr<WindowImage> Create(SDL_Window* window, int width, int height);
    ~WindowImage();
    WindowImage(const WindowImage&) = delete;
    WindowImage& operator=(const WindowImage&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // The pixels, 0xXXRRGGBB, rows top first and `Width()` pixels apart.
    uint32_t* Pixels() const { return pixels_; }
    // Shows the image at the window's top left and returns once the server has drawn it.
    void Put();

private:
    struct X;
    explicit WindowImage(std::unique_ptr<X> x, int width, int height, uint32_t* pixels);

    std::unique_ptr<X> x_;
    int width_ = 0, height_ = 0;
    uint32_t* pixels_ = nullptr;
};

}  // namespace platform::d3d9
