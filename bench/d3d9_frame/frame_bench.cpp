// The device's frames at 1024 x 768, CPU time of the whole process per frame:
// - BM_BareClearSwap: the floor, a bare SDL2 + OpenGL clear and swap of a window of that size (0)
//   and of the whole screen (1), the size a full-screen frame fills;
// - BM_EmptyFrame: Clear + Present, windowed (0) and full screen (1);
// - BM_BoardFrame: a frame of the kind the game draws: a few thousand lit, textured triangles
//   from buffers, a stencil shadow volume of a few hundred triangles in two passes, the darkening
//   quad, twenty sprite-like textured quads, then Present;
// - BM_SmallDraws: N textured quads, each its own DrawPrimitiveUP (0) or DrawIndexedPrimitiveUP (1).
// Compare ratios within one run. Run under a display (xvfb-run for Mesa's llvmpipe).
#include <windows.h>
#include <d3d9.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

constexpr int kWidth = 1024, kHeight = 768;

struct MeshVertex {
    float x, y, z, nx, ny, nz, u, v;
};
struct ScreenVertex {
    float x, y, z, rhw;
    DWORD color;
    float u, v;
};
struct Position {
    float x, y, z;
};

D3DMATRIX Identity() {
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

// Everything one frame needs, made once.
class Scene {
public:
    bool Init(bool windowed) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "FrameBench";
        RegisterClassExA(&wc);
        hwnd_ = CreateWindowExA(0, "FrameBench", "bench", WS_OVERLAPPED | WS_CAPTION, 0, 0, kWidth, kHeight,
                                nullptr, nullptr, nullptr, nullptr);
        if (!hwnd_) return false;
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d_) return false;
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = windowed;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device_)))
            return false;
        return MakeMesh() && MakeTexture() && MakeShadow();
    }
    ~Scene() {
        if (texture_) texture_->Release();
        if (ib_) ib_->Release();
        if (vb_) vb_->Release();
        if (shadowQuad_) shadowQuad_->Release();
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        if (hwnd_) DestroyWindow(hwnd_);
        UnregisterClassA("FrameBench", nullptr);
    }

    void Frame() {
        IDirect3DDevice9* d = device_;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        // The lit, textured mesh.
        D3DMATRIX world = Identity(), view = Identity(), proj = {};
        view._43 = 3.0f;
        float f = 1.0f / std::tan(0.4f);
        proj._11 = f * kHeight / kWidth;
        proj._22 = f;
        proj._33 = 100.0f / 99.0f;
        proj._34 = 1;
        proj._43 = -100.0f / 99.0f;
        d->SetTransform(D3DTS_WORLD, &world);
        d->SetTransform(D3DTS_VIEW, &view);
        d->SetTransform(D3DTS_PROJECTION, &proj);
        D3DLIGHT9 light = {};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
        light.Position = D3DVECTOR{0.5f, 1.0f, -1.0f};
        light.Range = 1000;
        light.Attenuation0 = 0.9f;
        d->SetLight(0, &light);
        d->LightEnable(0, TRUE);
        D3DMATERIAL9 material = {};
        material.Diffuse = material.Ambient = D3DCOLORVALUE{1, 1, 1, 1};
        d->SetMaterial(&material);
        d->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
        d->SetRenderState(D3DRS_LIGHTING, TRUE);
        d->SetTexture(0, texture_);
        d->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        d->SetStreamSource(0, vb_, 0, sizeof(MeshVertex));
        d->SetIndices(ib_);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount_, 0, triangleCount_);
        d->SetTexture(0, nullptr);

        // The shadow volume: front faces count up, back faces down.
        d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        d->SetRenderState(D3DRS_STENCILREF, 1);
        d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        d->SetFVF(D3DFVF_XYZ);
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(volume_.size() / 3), volume_.data(), sizeof(Position));
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
        d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
        d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(volume_.size() / 3), volume_.data(), sizeof(Position));
        d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);

        // The darkening quad where the count is at least 1.
        d->SetRenderState(D3DRS_ZENABLE, FALSE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESSEQUAL);
        d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        d->SetStreamSource(0, shadowQuad_, 0, 20);
        d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        d->SetRenderState(D3DRS_STENCILENABLE, FALSE);

        // Twenty sprites.
        d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHAREF, 0);
        d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        d->SetTexture(0, texture_);
        d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        for (int i = 0; i < 20; ++i) {
            float x = float(20 + (i % 5) * 120) - 0.5f, y = float(20 + (i / 5) * 110) - 0.5f;
            ScreenVertex q[4] = {{x, y, 0, 1, 0xC0FFFFFF, 0, 0}, {x + 64, y, 0, 1, 0xC0FFFFFF, 1, 0},
                                 {x, y + 64, 0, 1, 0xC0FFFFFF, 0, 1}, {x + 64, y + 64, 0, 1, 0xC0FFFFFF, 1, 1}};
            d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
        }
        d->SetTexture(0, nullptr);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_ZENABLE, TRUE);
        d->EndScene();
        d->Present(nullptr, nullptr, nullptr, nullptr);
    }

    void EmptyFrame() {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // `count` small textured quads as the game's sprites are drawn, each a call of its own.
    void QuadFrame(int count, bool indexed) {
        IDirect3DDevice9* d = device_;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetRenderState(D3DRS_ZENABLE, FALSE);
        d->SetTexture(0, texture_);
        d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        static const WORD indices[6] = {0, 1, 2, 2, 1, 3};
        for (int i = 0; i < count; ++i) {
            float x = float((i * 37) % (kWidth - 8)) - 0.5f, y = float((i * 53) % (kHeight - 8)) - 0.5f;
            ScreenVertex q[4] = {{x, y, 0, 1, 0xC0FFFFFF, 0, 0}, {x + 8, y, 0, 1, 0xC0FFFFFF, 1, 0},
                                 {x, y + 8, 0, 1, 0xC0FFFFFF, 0, 1}, {x + 8, y + 8, 0, 1, 0xC0FFFFFF, 1, 1}};
            if (indexed)
                d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, q, sizeof(ScreenVertex));
            else
                d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ScreenVertex));
        }
        d->SetTexture(0, nullptr);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_ZENABLE, TRUE);
        d->EndScene();
        d->Present(nullptr, nullptr, nullptr, nullptr);
    }

    UINT Triangles() const { return triangleCount_; }

private:
    bool MakeMesh() {
        // A wavy grid of 60 x 40 quads: 4800 triangles.
        const int nx = 60, ny = 40;
        std::vector<MeshVertex> v;
        for (int j = 0; j <= ny; ++j)
            for (int i = 0; i <= nx; ++i) {
                float x = -2.0f + 4.0f * float(i) / nx, y = -1.5f + 3.0f * float(j) / ny;
                float z = 0.1f * std::sin(3 * x) * std::cos(2 * y);
                v.push_back({x, y, z, 0, 0, -1, float(i) / 8, float(j) / 8});
            }
        std::vector<WORD> idx;
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                WORD a = WORD(j * (nx + 1) + i), b = WORD(a + 1), c = WORD(a + nx + 1), e = WORD(c + 1);
                idx.insert(idx.end(), {c, e, a, e, b, a});
            }
        vertexCount_ = UINT(v.size());
        triangleCount_ = UINT(idx.size() / 3);
        if (FAILED(device_->CreateVertexBuffer(UINT(v.size() * sizeof(MeshVertex)), D3DUSAGE_WRITEONLY,
                                               D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3DPOOL_MANAGED, &vb_, nullptr)) ||
            FAILED(device_->CreateIndexBuffer(UINT(idx.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                              &ib_, nullptr)))
            return false;
        void* p = nullptr;
        vb_->Lock(0, 0, &p, 0);
        std::memcpy(p, v.data(), v.size() * sizeof(MeshVertex));
        vb_->Unlock();
        ib_->Lock(0, 0, &p, 0);
        std::memcpy(p, idx.data(), idx.size() * 2);
        ib_->Unlock();
        return true;
    }
    bool MakeTexture() {
        if (FAILED(device_->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture_, nullptr)))
            return false;
        for (DWORD level = 0; level < texture_->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc;
            texture_->GetLevelDesc(level, &desc);
            D3DLOCKED_RECT lr;
            texture_->LockRect(level, &lr, nullptr, 0);
            for (UINT y = 0; y < desc.Height; ++y)
                for (UINT x = 0; x < desc.Width; ++x)
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
                        ((x / 8 + y / 8) & 1) ? 0xFFC08040u : 0x80406080u;
            texture_->UnlockRect(level);
        }
        return true;
    }
    bool MakeShadow() {
        // An extruded ring of 64 silhouette edges: 384 triangles.
        const int edges = 64;
        for (int i = 0; i < edges; ++i) {
            float a0 = 6.2831853f * float(i) / edges, a1 = 6.2831853f * float(i + 1) / edges;
            Position p0{0.5f * std::cos(a0), 0.5f * std::sin(a0), -0.5f}, p1{0.5f * std::cos(a1), 0.5f * std::sin(a1), -0.5f};
            Position q0{p0.x * 1.6f, p0.y * 1.6f, 1.5f}, q1{p1.x * 1.6f, p1.y * 1.6f, 1.5f};
            volume_.insert(volume_.end(), {p0, p1, q0, p1, q1, q0});
            volume_.insert(volume_.end(), {p0, q0, p1, p1, q0, q1});
        }
        struct Quad {
            float x, y, z, rhw;
            DWORD color;
        } q[4] = {{0, float(kHeight), 0, 1, 0x7F000000}, {0, 0, 0, 1, 0x7F000000},
                  {float(kWidth), float(kHeight), 0, 1, 0x7F000000}, {float(kWidth), 0, 0, 1, 0x7F000000}};
        if (FAILED(device_->CreateVertexBuffer(sizeof q, D3DUSAGE_WRITEONLY, D3DFVF_XYZRHW | D3DFVF_DIFFUSE,
                                               D3DPOOL_MANAGED, &shadowQuad_, nullptr)))
            return false;
        void* p = nullptr;
        shadowQuad_->Lock(0, 0, &p, 0);
        std::memcpy(p, q, sizeof q);
        shadowQuad_->Unlock();
        return true;
    }

    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
    IDirect3DVertexBuffer9* shadowQuad_ = nullptr;
    IDirect3DTexture9* texture_ = nullptr;
    UINT vertexCount_ = 0, triangleCount_ = 0;
    std::vector<Position> volume_;
};

// A bare SDL2 + OpenGL 3.3 window of the same size or of the screen's: clear colour, depth and
// stencil, then swap.
void BM_BareClearSwap(benchmark::State& state) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("no display");
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    bool full = state.range(0) != 0;
    SDL_DisplayMode screen = {};
    if (full && SDL_GetDesktopDisplayMode(0, &screen) != 0) {
        state.SkipWithError("no display mode");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return;
    }
    int width = full ? screen.w : kWidth, height = full ? screen.h : kHeight;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (full ? SDL_WINDOW_BORDERLESS : 0);
    SDL_Window* window = SDL_CreateWindow("bare", 0, 0, width, height, flags);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        state.SkipWithError("no OpenGL context");
    } else {
        SDL_GL_MakeCurrent(window, context);
        SDL_GL_SetSwapInterval(0);
        glClearColor(0, 0, 0, 1);
        for (auto _ : state) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            SDL_GL_SwapWindow(window);
        }
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    if (window) SDL_DestroyWindow(window);
    SDL_GL_ResetAttributes();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_BareClearSwap)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_EmptyFrame(benchmark::State& state) {
    Scene scene;
    if (!scene.Init(state.range(0) == 0)) {
        state.SkipWithError("no display or no device");
        return;
    }
    scene.EmptyFrame();
    for (auto _ : state) scene.EmptyFrame();
}
BENCHMARK(BM_EmptyFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_BoardFrame(benchmark::State& state) {
    Scene scene;
    if (!scene.Init(true)) {
        state.SkipWithError("no display or no device");
        return;
    }
    scene.Frame();  // programs compiled outside the measurement
    for (auto _ : state) scene.Frame();
    state.counters["triangles"] = double(scene.Triangles());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BoardFrame)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// The cost of one small draw is the difference between 2000 and 20 quads, over 1980.
void BM_SmallDraws(benchmark::State& state) {
    Scene scene;
    if (!scene.Init(true)) {
        state.SkipWithError("no display or no device");
        return;
    }
    int count = int(state.range(0));
    bool indexed = state.range(1) != 0;
    scene.QuadFrame(count, indexed);
    for (auto _ : state) scene.QuadFrame(count, indexed);
}
BENCHMARK(BM_SmallDraws)->ArgsProduct({{20, 2000}, {0, 1}})->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
