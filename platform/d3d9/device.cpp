#include "d3d9/device.h"

#include "common/test_hooks_internal.h"
#include "d3d9/direct3d9.h"
#include "d3d9/renderer.h"
#include "d3d9/surface.h"
#include "d3d9/buffer.h"
#include "d3d9/texture.h"
#include "d3d9/vertex_input.h"

#include <algorithm>
#include <cstring>

namespace platform::d3d9 {
namespace {

int64_t Address(const void* p) { return int64_t(reinterpret_cast<intptr_t>(p)); }

}  // namespace

void TraceCall(const char* name, std::initializer_list<int64_t> args, const float* values, size_t count) {
    hooks::D3DCall call;
    call.name = name;
    call.args = args;
    if (values) call.values.assign(values, values + count);
    hooks::internal::RecordD3DCall(std::move(call));
}

bool Tracing() { return hooks::internal::D3DTraceOn(); }

Device* Device::Create(Direct3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* params, HRESULT* result) {
    auto* device = new Device;
    HRESULT hr = device->Init(d3d, type, focusWindow, behaviorFlags, params);
    if (FAILED(hr)) {
        device->Release();
        if (result) *result = hr;
        return nullptr;
    }
    if (result) *result = D3D_OK;
    return device;
}

HRESULT Device::Init(Direct3D9* d3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                     D3DPRESENT_PARAMETERS* params) {
    auto& system = win32::WindowSystem::Get();
    HWND deviceWindow = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
    window_ = system.Find(deviceWindow);
    if (!window_ || !window_->sdl) return D3DERR_INVALIDCALL;
    if (!(behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                           D3DCREATE_MIXED_VERTEXPROCESSING)))
        return D3DERR_INVALIDCALL;
    d3d_ = d3d;
    d3d_->AddRef();
    type_ = type;
    focusWindow_ = focusWindow;
    behaviorFlags_ = behaviorFlags;

    D3DPRESENT_PARAMETERS pp = *params;
    HRESULT hr = ApplyPresentParameters(&pp);
    if (FAILED(hr)) return hr;

    win32::SetGlAttributes();
    context_ = SDL_GL_CreateContext(window_->sdl);
    if (!context_) return D3DERR_NOTAVAILABLE;
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    if (!pp.Windowed && !win32::SetFullscreen(window_->handle, true, int(pp.BackBufferWidth), int(pp.BackBufferHeight)))
        return D3DERR_NOTAVAILABLE;
    if (!CreateBackBuffer(pp.BackBufferWidth, pp.BackBufferHeight)) return D3DERR_OUTOFVIDEOMEMORY;
    params_ = pp;
    *params = pp;
    state_.SetDefaults(pp.BackBufferWidth, pp.BackBufferHeight, pp.EnableAutoDepthStencil != FALSE);

    listener_ = system.AddListener([this](const SDL_Event& e) { OnEvent(e); });
    return D3D_OK;
}

Device::~Device() {
    if (listener_) win32::WindowSystem::Get().RemoveListener(listener_);
    ReleaseBindings();
    if (context_) {
        if (MakeCurrent()) {
            renderer_.reset();
            cursorTexture_.Reset();
            DestroyBackBuffer();
        } else {
            // Deleting the context frees what it holds.
            if (renderer_) renderer_->Abandon();
            cursorTexture_.Abandon();
            AbandonBackBuffer();
        }
        SDL_GL_MakeCurrent(window_->sdl, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_ && !params_.Windowed && window_->fullscreen) win32::SetFullscreen(window_->handle, false);
    if (d3d_) d3d_->Release();
}

HRESULT Device::ApplyPresentParameters(D3DPRESENT_PARAMETERS* pp) {
    if (pp->Windowed) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window_->sdl, &w, &h);
        if (pp->BackBufferWidth == 0) pp->BackBufferWidth = UINT(std::max(w, 1));
        if (pp->BackBufferHeight == 0) pp->BackBufferHeight = UINT(std::max(h, 1));
        if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0 || pp->BackBufferWidth > 8192 ||
        pp->BackBufferHeight > 8192)
        return D3DERR_INVALIDCALL;
    if (pp->BackBufferFormat != D3DFMT_X8R8G8B8 && pp->BackBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_INVALIDCALL;
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    if (pp->BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (pp->SwapEffect < D3DSWAPEFFECT_DISCARD || pp->SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (pp->SwapEffect == D3DSWAPEFFECT_COPY && pp->BackBufferCount != 1) return D3DERR_INVALIDCALL;
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (pp->EnableAutoDepthStencil && pp->AutoDepthStencilFormat != D3DFMT_D24S8 &&
        pp->AutoDepthStencilFormat != D3DFMT_D24X8 && pp->AutoDepthStencilFormat != D3DFMT_D16)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

bool Device::MakeCurrent() {
    if (!context_ || !window_) return false;
    if (SDL_GL_GetCurrentContext() == context_ && SDL_GL_GetCurrentWindow() == window_->sdl) return true;
    return SDL_GL_MakeCurrent(window_->sdl, context_) == 0;
}

void Device::OnEvent(const SDL_Event& e) {
    if (e.type != SDL_WINDOWEVENT || !window_ || e.window.windowID != window_->sdlId) return;
    // A full-screen device is lost while its window is in the background.
    if (params_.Windowed) return;
    switch (e.window.event) {
    case SDL_WINDOWEVENT_FOCUS_LOST:
    case SDL_WINDOWEVENT_MINIMIZED: condition_ = DeviceCondition::Lost; break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (condition_ == DeviceCondition::Lost) condition_ = DeviceCondition::NotReset;
        break;
    default: break;
    }
}

HRESULT Device::TestCooperativeLevel() {
    win32::WindowSystem::Get().Pump();
    switch (condition_) {
    case DeviceCondition::Lost: return D3DERR_DEVICELOST;
    case DeviceCondition::NotReset: return D3DERR_DEVICENOTRESET;
    default: return D3D_OK;
    }
}

HRESULT Device::GetDirect3D(IDirect3D9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    *out = d3d_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = Direct3D9::Caps(type_);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    if (swapChain != 0 || !mode) return D3DERR_INVALIDCALL;
    if (params_.Windowed) return d3d_->GetAdapterDisplayMode(0, mode);
    mode->Width = params_.BackBufferWidth;
    mode->Height = params_.BackBufferHeight;
    mode->RefreshRate = params_.FullScreen_RefreshRateInHz;
    mode->Format = params_.BackBufferFormat;
    return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) {
    if (!p) return D3DERR_INVALIDCALL;
    p->AdapterOrdinal = 0;
    p->DeviceType = type_;
    p->hFocusWindow = focusWindow_;
    p->BehaviorFlags = behaviorFlags_;
    return D3D_OK;
}

void Device::ReleaseBindings() {
    for (auto& t : textures_) t.Reset();
    for (UINT i = 0; i < kMaxStreams; ++i) {
        streams_[i].Reset();
        streamOffsets_[i] = streamStrides_[i] = 0;
    }
    indices_.Reset();
    declaration_.Reset();
    vertexShader_.Reset();
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    if (condition_ == DeviceCondition::Lost) return D3DERR_DEVICELOST;
    // A failed reset leaves the device lost, waiting for another Reset.
    auto fail = [this](HRESULT hr) {
        condition_ = DeviceCondition::NotReset;
        return hr;
    };
    // The device's own references never keep a resource from a reset.
    ReleaseBindings();
    inScene_ = false;
    const bool failRequested = failNextReset_;
    failNextReset_ = false;
    D3DPRESENT_PARAMETERS pp = *params;
    HRESULT hr = ApplyPresentParameters(&pp);
    if (FAILED(hr)) return fail(hr);
    // Every resource of the default pool must have been released.
    if (defaultResources_ > 0 || failRequested) return fail(D3DERR_INVALIDCALL);
    if (!MakeCurrent()) return fail(D3DERR_DEVICELOST);
    if (!win32::SetFullscreen(window_->handle, !pp.Windowed, int(pp.BackBufferWidth), int(pp.BackBufferHeight)))
        return fail(D3DERR_DEVICELOST);
    if (!CreateBackBuffer(pp.BackBufferWidth, pp.BackBufferHeight)) return fail(D3DERR_OUTOFVIDEOMEMORY);
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    params_ = pp;
    *params = pp;
    // A reset device starts over from a new device's state.
    state_.SetDefaults(pp.BackBufferWidth, pp.BackBufferHeight, pp.EnableAutoDepthStencil != FALSE);
    condition_ = DeviceCondition::Operational;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    if (swapChain != 0 || index >= params_.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    *out = new BackBufferSurface(this);
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** out) {
    if (!out || index != 0) return D3DERR_INVALIDCALL;
    *out = new BackBufferSurface(this);
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    if (count && !rects) return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !params_.EnableAutoDepthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && params_.AutoDepthStencilFormat != D3DFMT_D24S8)
        return D3DERR_INVALIDCALL;
    if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return D3DERR_INVALIDCALL;
    if (condition_ != DeviceCondition::Operational) return D3D_OK;
    if (!MakeCurrent()) return D3D_OK;

    // A clear of the whole colour buffer needs none of its content.
    const D3DVIEWPORT9& vp = state_.viewport;
    bool whole = count == 0 && (flags & D3DCLEAR_TARGET) && vp.X == 0 && vp.Y == 0 &&
                 vp.Width == params_.BackBufferWidth && vp.Height == params_.BackBufferHeight;
    if (whole) backInSpare_ = false;
    else RestoreBackBuffer();

    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
    glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo.Get());
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f,
                 float(color & 0xFF) / 255.0f, float(color >> 24) / 255.0f);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(GLint(stencil & 0xFF));
    glEnable(GL_SCISSOR_TEST);

    // Clears reach only the viewport, and within it the given rectangles.
    RECT area{LONG(vp.X), LONG(vp.Y), LONG(vp.X + vp.Width), LONG(vp.Y + vp.Height)};
    auto clearRect = [&](RECT r) {
        r.left = std::max(r.left, area.left);
        r.top = std::max(r.top, area.top);
        r.right = std::min(r.right, area.right);
        r.bottom = std::min(r.bottom, area.bottom);
        if (r.right <= r.left || r.bottom <= r.top) return;
        glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(mask);
    };
    if (count == 0) {
        clearRect(area);
    } else {
        for (DWORD i = 0; i < count; ++i)
            clearRect(RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
    }
    glDisable(GL_SCISSOR_TEST);
    return D3D_OK;
}

namespace {

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

}  // namespace

static D3DMATRIX* TransformSlot(DeviceState& s, D3DTRANSFORMSTATETYPE state) {
    int t = int(state);
    if (t == D3DTS_VIEW) return &s.view;
    if (t == D3DTS_PROJECTION) return &s.projection;
    if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) return &s.textureTransform[t - D3DTS_TEXTURE0];
    if (t >= 256 && t < 512) return &s.world[t - 256];
    return nullptr;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (Tracing()) TraceCall("SetTransform", {int64_t(state)}, matrix ? &matrix->m[0][0] : nullptr, 16);
    D3DMATRIX* slot = TransformSlot(state_, state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *slot = *matrix;
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    D3DMATRIX* slot = TransformSlot(state_, state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *matrix = *slot;
    return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    D3DMATRIX* slot = TransformSlot(state_, state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *slot = Multiply(*matrix, *slot);
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* vp) {
    if (!vp) return D3DERR_INVALIDCALL;
    if (vp->Width == 0 || vp->Height == 0 || vp->X + vp->Width > params_.BackBufferWidth ||
        vp->Y + vp->Height > params_.BackBufferHeight || vp->MinZ < 0 || vp->MaxZ > 1)
        return D3DERR_INVALIDCALL;
    state_.viewport = *vp;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* vp) {
    if (!vp) return D3DERR_INVALIDCALL;
    *vp = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    if (Tracing()) {
        if (material) {
            const D3DMATERIAL9& m = *material;
            const float v[17] = {m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a, m.Ambient.r,
                                 m.Ambient.g, m.Ambient.b, m.Ambient.a, m.Specular.r, m.Specular.g,
                                 m.Specular.b, m.Specular.a, m.Emissive.r, m.Emissive.g, m.Emissive.b,
                                 m.Emissive.a, m.Power};
            TraceCall("SetMaterial", {}, v, 17);
        } else {
            TraceCall("SetMaterial", {});
        }
    }
    if (!material) return D3DERR_INVALIDCALL;
    state_.material = *material;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    if (Tracing()) {
        if (light) {
            const D3DLIGHT9& l = *light;
            const float v[25] = {l.Diffuse.r, l.Diffuse.g, l.Diffuse.b, l.Diffuse.a, l.Specular.r,
                                 l.Specular.g, l.Specular.b, l.Specular.a, l.Ambient.r, l.Ambient.g,
                                 l.Ambient.b, l.Ambient.a, l.Position.x, l.Position.y, l.Position.z,
                                 l.Direction.x, l.Direction.y, l.Direction.z, l.Range, l.Falloff,
                                 l.Attenuation0, l.Attenuation1, l.Attenuation2, l.Theta, l.Phi};
            TraceCall("SetLight", {int64_t(index), int64_t(l.Type)}, v, 25);
        } else {
            TraceCall("SetLight", {int64_t(index), 0});
        }
    }
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    if (light->Type != D3DLIGHT_DIRECTIONAL && light->Range < 0) return D3DERR_INVALIDCALL;
    state_.lights[index].light = *light;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    auto it = state_.lights.find(index);
    if (!light || it == state_.lights.end()) return D3DERR_INVALIDCALL;
    *light = it->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    if (Tracing()) TraceCall("LightEnable", {int64_t(index), int64_t(enable)});
    auto it = state_.lights.find(index);
    if (it == state_.lights.end()) {
        // Enabling a light never set creates the default one: white, directional, along +z.
        LightSlot slot;
        slot.light = D3DLIGHT9{};
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
        slot.light.Direction = D3DVECTOR{0, 0, 1};
        it = state_.lights.emplace(index, slot).first;
    }
    it->second.enabled = enable != FALSE;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
    auto it = state_.lights.find(index);
    if (!enable || it == state_.lights.end()) return D3DERR_INVALIDCALL;
    // Windows reports an enabled light as 128, not TRUE.
    *enable = it->second.enabled ? 128 : FALSE;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (Tracing()) TraceCall("SetRenderState", {int64_t(state), int64_t(value)});
    if (unsigned(state) >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    state_.renderStates[state] = value;
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (unsigned(state) >= D3DRS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = state_.renderStates[state];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** out) {
    if (stage >= kMaxStages || !out) return D3DERR_INVALIDCALL;
    *out = textures_[stage].Get();
    if (*out) (*out)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (Tracing()) TraceCall("SetTexture", {int64_t(stage), Address(texture)});
    if (stage >= kMaxStages) return D3DERR_INVALIDCALL;
    if (texture) {
        // Only textures of this device in video memory or managed can be used.
        Texture* t = AsTexture(texture);
        if (!t || t->OwnerDevice() != this) return D3DERR_INVALIDCALL;
        if (t->Pool() == D3DPOOL_SCRATCH || t->Pool() == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    }
    textures_[stage] = ComPtr<IDirect3DBaseTexture9>::Share(texture);
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (stage >= kMaxStages || unsigned(type) >= D3DTSS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = state_.stageStates[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (Tracing()) TraceCall("SetTextureStageState", {int64_t(stage), int64_t(type), int64_t(value)});
    if (stage >= kMaxStages || unsigned(type) >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    state_.stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (sampler >= kMaxSamplers || unsigned(type) >= D3DSAMP_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = state_.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (Tracing()) TraceCall("SetSamplerState", {int64_t(sampler), int64_t(type), int64_t(value)});
    if (sampler >= kMaxSamplers || unsigned(type) >= D3DSAMP_COUNT) return D3DERR_INVALIDCALL;
    state_.samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) {
    if (decl && !AsVertexDeclaration(decl)) return D3DERR_INVALIDCALL;
    declaration_ = ComPtr<IDirect3DVertexDeclaration9>::Share(decl);
    // A declaration replaces the flexible vertex format.
    if (decl) state_.fvf = 0;
    return D3D_OK;
}

HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = declaration_.Get();
    if (*out) (*out)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
    if (Tracing()) TraceCall("SetFVF", {int64_t(fvf)});
    state_.fvf = fvf;
    // A vertex format replaces the declaration.
    if (fvf) declaration_.Reset();
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader) {
    vertexShader_ = ComPtr<IDirect3DVertexShader9>::Share(shader);
    return D3D_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = vertexShader_.Get();
    if (*out) (*out)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* data, UINT count) {
    if (!data || start >= kMaxVertexShaderConstants || count > kMaxVertexShaderConstants - start)
        return D3DERR_INVALIDCALL;
    std::memcpy(vsConstants_[start], data, size_t(count) * 4 * sizeof(float));
    return D3D_OK;
}

HRESULT Device::GetVertexShaderConstantF(UINT start, float* data, UINT count) {
    if (!data || start >= kMaxVertexShaderConstants || count > kMaxVertexShaderConstants - start)
        return D3DERR_INVALIDCALL;
    std::memcpy(data, vsConstants_[start], size_t(count) * 4 * sizeof(float));
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data, UINT offset, UINT stride) {
    if (Tracing())
        TraceCall("SetStreamSource", {int64_t(stream), Address(data), int64_t(offset), int64_t(stride)});
    if (stream >= kMaxStreams) return D3DERR_INVALIDCALL;
    if (data && !AsVertexBuffer(data)) return D3DERR_INVALIDCALL;
    streams_[stream] = ComPtr<IDirect3DVertexBuffer9>::Share(data);
    streamOffsets_[stream] = offset;
    streamStrides_[stream] = stride;
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** data, UINT* offset, UINT* stride) {
    if (stream >= kMaxStreams || !data || !offset || !stride) return D3DERR_INVALIDCALL;
    *data = streams_[stream].Get();
    if (*data) (*data)->AddRef();
    *offset = streamOffsets_[stream];
    *stride = streamStrides_[stream];
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* data) {
    if (Tracing()) TraceCall("SetIndices", {Address(data)});
    if (data && !AsIndexBuffer(data)) return D3DERR_INVALIDCALL;
    indices_ = ComPtr<IDirect3DIndexBuffer9>::Share(data);
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = indices_.Get();
    if (*out) (*out)->AddRef();
    return D3D_OK;
}

void Device::SetCursorPosition(int x, int y, DWORD) {
    cursorX_ = x;
    cursorY_ = y;
}

BOOL Device::ShowCursor(BOOL show) {
    BOOL previous = cursorVisible_;
    cursorVisible_ = show != FALSE;
    return previous;
}

}  // namespace platform::d3d9
