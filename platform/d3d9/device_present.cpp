// The device's presentation: the back buffer and its spare, Present, the front buffer's copy and
// the back buffer's pixels for locks.
#include "d3d9/device.h"

#include "d3d9/direct3d9.h"
#include "d3d9/renderer.h"
#include "d3d9/surface.h"

#include <algorithm>
#include <utility>

namespace platform::d3d9 {
namespace {

// A colour texture of that size (rows top first) and its framebuffer. The unsized format lets the
// driver store the pixels as they are read and written, BGRA, without converting them.
void MakeColorTarget(GLsizei width, GLsizei height, GlTexture* color, GlFramebuffer* fbo) {
    *color = GlTexture::Generate();
    glBindTexture(GL_TEXTURE_2D, color->Get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    *fbo = GlFramebuffer::Generate();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo->Get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color->Get(), 0);
}

// Copies between framebuffers of the same size, whatever the scissor and colour mask.
void Copy(GLuint from, GLuint to, GLint width, GLint height) {
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

}  // namespace

bool Device::CreateBackBuffer(UINT width, UINT height) {
    DestroyBackBuffer();
    depth_ = GlRenderbuffer::Generate();
    glBindRenderbuffer(GL_RENDERBUFFER, depth_.Get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(width), GLsizei(height));
    bool complete = true;
    for (ColorTarget* target : {&spare_, &back_}) {
        MakeColorTarget(GLsizei(width), GLsizei(height), &target->color, &target->fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_.Get());
        complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (!complete) continue;
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glClearColor(0, 0, 0, 1);
        glClearDepth(1.0);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    // The back buffer's framebuffer stays bound.
    return complete;
}

void Device::DestroyBackBuffer() {
    back_.Reset();
    spare_.Reset();
    depth_.Reset();
    clientImage_.Reset();
    backInSpare_ = false;
    front_ = Front::None;
}

void Device::AbandonBackBuffer() {
    back_.Abandon();
    spare_.Abandon();
    depth_.Abandon();
    clientImage_.Abandon();
}

void Device::RestoreBackBuffer() {
    if (!backInSpare_) return;
    Copy(spare_.fbo.Get(), back_.fbo.Get(), GLint(params_.BackBufferWidth), GLint(params_.BackBufferHeight));
    glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo.Get());
    backInSpare_ = false;
}

HRESULT Device::Present(const RECT* src, const RECT* dst, HWND, const void*) {
    if (condition_ != DeviceCondition::Operational) return D3DERR_DEVICELOST;
    if (inScene_) return D3DERR_INVALIDCALL;
    if ((src || dst) && params_.SwapEffect != D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    if (!MakeCurrent()) return D3DERR_DEVICELOST;
    int drawW = 0, drawH = 0;
    SDL_GL_GetDrawableSize(window_->sdl, &drawW, &drawH);
    if (drawW > 0 && drawH > 0) {
        // The client area as the program sees it: in full screen, the display mode's size.
        int clientW = params_.Windowed ? drawW : int(params_.BackBufferWidth);
        int clientH = params_.Windowed ? drawH : int(params_.BackBufferHeight);
        const ColorTarget* image = nullptr;
        if (!src && !dst && UINT(clientW) == params_.BackBufferWidth && UINT(clientH) == params_.BackBufferHeight) {
            image = &PresentBackBuffer();
        } else {
            RECT s = src ? *src : RECT{0, 0, LONG(params_.BackBufferWidth), LONG(params_.BackBufferHeight)};
            image = &ComposeClientImage(s, dst, clientW, clientH);
        }
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        if (clientW == drawW && clientH == drawH) {
            // The window's rows are bottom first.
            glBindFramebuffer(GL_READ_FRAMEBUFFER, image->fbo.Get());
            glBlitFramebuffer(0, 0, clientW, clientH, 0, drawH, drawW, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        } else {
            if (!renderer_) renderer_ = std::make_unique<Renderer>();
            renderer_->DrawStretched(image->color.Get(), drawW, drawH);
        }
    }
    SDL_GL_SwapWindow(window_->sdl);
    glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo.Get());
    ++frames_;
    return D3D_OK;
}

const Device::ColorTarget& Device::PresentBackBuffer() {
    front_ = Front::Spare;
    bool cursor = cursorVisible_ && cursorTexture_;
    if (!cursor) {
        // The back buffer becomes the front one and keeps its content there until it is drawn on.
        if (!backInSpare_) std::swap(back_, spare_);
        backInSpare_ = true;
        return spare_;
    }
    // The device cursor is part of the presented image only: the back buffer keeps its content.
    RestoreBackBuffer();
    GLint w = GLint(params_.BackBufferWidth), h = GLint(params_.BackBufferHeight);
    Copy(back_.fbo.Get(), spare_.fbo.Get(), w, h);
    if (!renderer_) renderer_ = std::make_unique<Renderer>();
    renderer_->DrawCursor(cursorTexture_.Get(), cursorX_ - int(cursorHotX_), cursorY_ - int(cursorHotY_),
                          int(cursorW_), int(cursorH_), w, h);
    return spare_;
}

const Device::ColorTarget& Device::ComposeClientImage(const RECT& s, const RECT* dst, int clientW, int clientH) {
    RestoreBackBuffer();
    if (!clientImage_.fbo || clientW_ != clientW || clientH_ != clientH) {
        clientImage_.Reset();
        MakeColorTarget(clientW, clientH, &clientImage_.color, &clientImage_.fbo);
        clientW_ = clientW;
        clientH_ = clientH;
    }
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, clientImage_.fbo.Get());
    if (!dst) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    RECT d = dst ? *dst : RECT{0, 0, clientW, clientH};
    bool same = (s.right - s.left) == (d.right - d.left) && (s.bottom - s.top) == (d.bottom - d.top);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo.Get());
    glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      same ? GL_NEAREST : GL_LINEAR);
    // The device cursor is part of the presented image, its hot spot at the cursor position.
    if (cursorVisible_ && cursorTexture_) {
        if (!renderer_) renderer_ = std::make_unique<Renderer>();
        renderer_->DrawCursor(cursorTexture_.Get(), cursorX_ - int(cursorHotX_), cursorY_ - int(cursorHotY_),
                              int(cursorW_), int(cursorH_), clientW, clientH);
    }
    front_ = Front::ClientImage;
    return clientImage_;
}

HRESULT Device::GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destination) {
    if (swapChain != 0 || !destination) return D3DERR_INVALIDCALL;
    SurfaceAccess* dst = AsSurface(destination);
    if (!dst || dst->OwnerDevice() != this || dst->IsLocked()) return D3DERR_INVALIDCALL;
    if (condition_ != DeviceCondition::Operational) return D3DERR_DEVICELOST;
    D3DSURFACE_DESC dd = dst->Describe();
    if (dd.Format != D3DFMT_A8R8G8B8 || (dd.Pool != D3DPOOL_SYSTEMMEM && dd.Pool != D3DPOOL_SCRATCH))
        return D3DERR_INVALIDCALL;
    // The whole screen: the desktop of a windowed device, the display mode of a full-screen one.
    D3DDISPLAYMODE mode;
    if (FAILED(d3d_->GetAdapterDisplayMode(0, &mode))) return D3DERR_INVALIDCALL;
    if (dd.Width != mode.Width || dd.Height != mode.Height) return D3DERR_INVALIDCALL;
    UINT screenW = mode.Width, screenH = mode.Height;
    POINT origin = {0, 0};
    if (params_.Windowed) ClientToScreen(window_->handle, &origin);

    // The client area's image at its place; the rest of the desktop shows as opaque black.
    std::vector<uint32_t> screen(size_t(screenW) * screenH, 0xFF000000u);
    if (front_ != Front::None && MakeCurrent()) {
        bool spare = front_ == Front::Spare;
        int w = spare ? int(params_.BackBufferWidth) : clientW_, h = spare ? int(params_.BackBufferHeight) : clientH_;
        std::vector<uint32_t> image(size_t(w) * size_t(h));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, spare ? spare_.fbo.Get() : clientImage_.fbo.Get());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, image.data());
        glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo.Get());
        for (int y = 0; y < h; ++y) {
            LONG sy = origin.y + y;
            if (sy < 0 || sy >= LONG(screenH)) continue;
            for (int x = 0; x < w; ++x) {
                LONG sx = origin.x + x;
                if (sx < 0 || sx >= LONG(screenW)) continue;
                screen[size_t(sy) * screenW + size_t(sx)] = image[size_t(y) * size_t(w) + size_t(x)] | 0xFF000000u;
            }
        }
    }
    dst->WriteArgb(RECT{0, 0, LONG(screenW), LONG(screenH)}, screen.data(), screenW);
    return D3D_OK;
}

std::vector<uint32_t> Device::ReadBackBuffer(const RECT& r) {
    int w = int(r.right - r.left), h = int(r.bottom - r.top);
    std::vector<uint32_t> pixels(size_t(std::max(w, 0)) * size_t(std::max(h, 0)));
    if (pixels.empty() || !MakeCurrent()) return pixels;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, BackContent());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(r.left, r.top, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo.Get());
    if (params_.BackBufferFormat == D3DFMT_X8R8G8B8)
        for (auto& p : pixels) p |= 0xFF000000u;
    return pixels;
}

void Device::WriteBackBuffer(const RECT& r, const uint32_t* pixels) {
    int w = int(r.right - r.left), h = int(r.bottom - r.top);
    if (w <= 0 || h <= 0 || !pixels || !MakeCurrent()) return;
    RestoreBackBuffer();
    glBindTexture(GL_TEXTURE_2D, back_.color.Get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, r.left, r.top, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
}

}  // namespace platform::d3d9
