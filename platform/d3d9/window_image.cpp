#include "d3d9/window_image.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace platform::d3d9 {

struct WindowImage::X {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment = {};
    bool attached = false;

    ~X() {
        if (attached) XShmDetach(display, &segment);
        if (image) {
            image->data = nullptr;  // the segment's, not Xlib's to free
            XDestroyImage(image);
        }
        if (segment.shmaddr) shmdt(segment.shmaddr);
        if (gc) XFreeGC(display, gc);
    }
};

namespace {

bool attachFailed = false;
int OnAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

}  // namespace

std::unique_ptr<WindowImage> WindowImage::Create(SDL_Window* window, int width, int height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (width <= 0 || height <= 0 || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    auto x = std::make_unique<X>();
    x->display = info.info.x11.display;
    x->window = info.info.x11.window;
    XWindowAttributes attributes;
    if (!XShmQueryExtension(x->display) || !XGetWindowAttributes(x->display, x->window, &attributes)) return nullptr;
    const Visual* visual = attributes.visual;
    if (attributes.depth != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF)
        return nullptr;
    x->image = XShmCreateImage(x->display, attributes.visual, 24, ZPixmap, nullptr, &x->segment, unsigned(width),
                               unsigned(height));
    if (!x->image) return nullptr;
    if (x->image->bits_per_pixel != 32 || x->image->byte_order != LSBFirst || x->image->bytes_per_line != width * 4)
        return nullptr;
    x->segment.shmid = shmget(IPC_PRIVATE, size_t(width) * size_t(height) * 4, IPC_CREAT | 0600);
    if (x->segment.shmid < 0) return nullptr;
    void* memory = shmat(x->segment.shmid, nullptr, 0);
    // Marked for removal now: it goes when the last process detaches.
    shmctl(x->segment.shmid, IPC_RMID, nullptr);
    if (memory == reinterpret_cast<void*>(-1)) return nullptr;
    x->segment.shmaddr = x->image->data = static_cast<char*>(memory);
    x->segment.readOnly = False;
    XSync(x->display, False);
    attachFailed = false;
    auto previous = XSetErrorHandler(OnAttachError);
    bool sent = XShmAttach(x->display, &x->segment);
    XSync(x->display, False);
    XSetErrorHandler(previous);
    x->attached = sent && !attachFailed;
    if (!x->attached) return nullptr;
    x->gc = XCreateGC(x->display, x->window, 0, nullptr);
    if (!x->gc) return nullptr;
    auto* pixels = reinterpret_cast<uint32_t*>(memory);
    return std::unique_ptr<WindowImage>(new WindowImage(std::move(x), width, height, pixels));
}

WindowImage::WindowImage(std::unique_ptr<X> x, int width, int height, uint32_t* pixels)
    : x_(std::move(x)), width_(width), height_(height), pixels_(pixels) {}

WindowImage::~WindowImage() = default;

void WindowImage::Put() {
    XShmPutImage(x_->display, x_->window, x_->gc, x_->image, 0, 0, 0, 0, unsigned(width_), unsigned(height_), False);
    // The memory is written again only after the server has read it.
    XSync(x_->display, False);
}

}  // namespace platform::d3d9
