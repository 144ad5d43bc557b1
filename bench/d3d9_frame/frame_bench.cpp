// The device's frames at 1024 x 768, CPU time of the whole process per frame:
// - BM_BareClearSwap: the floor, a bare SDL2 + OpenGL clear and swap of a window of that size (0)
//   and of the whole screen (1), the size a full-screen frame fills;
// - BM_EmptyFrame: Clear + Present, windowed (0) and full screen (1);
// - BM_BoardFrame: a frame of the kind the game draws: a few thousand lit, textured triangles
//   from buffers, a stencil shadow volume of a few hundred triangles in two passes, the darkening
//   quad, twenty sprite-like textured quads, then Present;
// - BM_BareBoardFrame: the floor of that frame, the same draws in the same states made straight
//   with OpenGL into a bare SDL2 window;
// - BM_SmallDraws: N textured quads, each its own DrawPrimitiveUP (0) or DrawIndexedPrimitiveUP (1).
// Compare ratios within one run. Run under a display (xvfb-run for Mesa's llvmpipe).
#include <windows.h>
#include <d3d9.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>
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

// The board's camera: 3 units back, 0.8 radians of vertical field, depth from 1 to 100.
D3DMATRIX View() {
    D3DMATRIX view = Identity();
    view._43 = 3.0f;
    return view;
}
D3DMATRIX Projection() {
    D3DMATRIX proj = {};
    float f = 1.0f / std::tan(0.4f);
    proj._11 = f * kHeight / kWidth;
    proj._22 = f;
    proj._33 = 100.0f / 99.0f;
    proj._34 = 1;
    proj._43 = -100.0f / 99.0f;
    return proj;
}

// A wavy grid of 60 x 40 quads facing the camera: 4800 triangles.
void MakeGrid(std::vector<MeshVertex>* v, std::vector<WORD>* idx) {
    const int nx = 60, ny = 40;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) {
            float x = -2.0f + 4.0f * float(i) / nx, y = -1.5f + 3.0f * float(j) / ny;
            float z = 0.1f * std::sin(3 * x) * std::cos(2 * y);
            v->push_back({x, y, z, 0, 0, -1, float(i) / 8, float(j) / 8});
        }
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            WORD a = WORD(j * (nx + 1) + i), b = WORD(a + 1), c = WORD(a + nx + 1), e = WORD(c + 1);
            idx->insert(idx->end(), {c, e, a, e, b, a});
        }
}

// An extruded ring of 64 silhouette edges: 384 triangles.
std::vector<Position> MakeVolume() {
    std::vector<Position> volume;
    const int edges = 64;
    for (int i = 0; i < edges; ++i) {
        float a0 = 6.2831853f * float(i) / edges, a1 = 6.2831853f * float(i + 1) / edges;
        Position p0{0.5f * std::cos(a0), 0.5f * std::sin(a0), -0.5f}, p1{0.5f * std::cos(a1), 0.5f * std::sin(a1), -0.5f};
        Position q0{p0.x * 1.6f, p0.y * 1.6f, 1.5f}, q1{p1.x * 1.6f, p1.y * 1.6f, 1.5f};
        volume.insert(volume.end(), {p0, p1, q0, p1, q1, q0});
        volume.insert(volume.end(), {p0, q0, p1, p1, q0, q1});
    }
    return volume;
}

DWORD CheckerTexel(UINT x, UINT y) { return ((x / 8 + y / 8) & 1) ? 0xFFC08040u : 0x80406080u; }

// Sprite i of the twenty, 64 pixels square.
void SpriteQuad(int i, ScreenVertex q[4]) {
    float x = float(20 + (i % 5) * 120) - 0.5f, y = float(20 + (i / 5) * 110) - 0.5f;
    q[0] = {x, y, 0, 1, 0xC0FFFFFF, 0, 0};
    q[1] = {x + 64, y, 0, 1, 0xC0FFFFFF, 1, 0};
    q[2] = {x, y + 64, 0, 1, 0xC0FFFFFF, 0, 1};
    q[3] = {x + 64, y + 64, 0, 1, 0xC0FFFFFF, 1, 1};
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
        D3DMATRIX world = Identity(), view = View(), proj = Projection();
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
            ScreenVertex q[4];
            SpriteQuad(i, q);
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
        std::vector<MeshVertex> v;
        std::vector<WORD> idx;
        MakeGrid(&v, &idx);
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
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = CheckerTexel(x, y);
            texture_->UnlockRect(level);
        }
        return true;
    }
    bool MakeShadow() {
        volume_ = MakeVolume();
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

// A bare SDL2 + OpenGL 3.3 window of the same size, or of the screen's, with a 24-bit depth and
// 8-bit stencil buffer; its objects go with the context.
class BareWindow {
public:
    explicit BareWindow(bool full = false) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
        video_ = true;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_DisplayMode screen = {};
        if (full && SDL_GetDesktopDisplayMode(0, &screen) != 0) return;
        int width = full ? screen.w : kWidth, height = full ? screen.h : kHeight;
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (full ? SDL_WINDOW_BORDERLESS : 0);
        window_ = SDL_CreateWindow("bare", 0, 0, width, height, flags);
        context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
        if (!context_) return;
        SDL_GL_MakeCurrent(window_, context_);
        SDL_GL_SetSwapInterval(0);
    }
    ~BareWindow() {
        if (context_) {
            SDL_GL_MakeCurrent(window_, nullptr);
            SDL_GL_DeleteContext(context_);
        }
        if (window_) SDL_DestroyWindow(window_);
        SDL_GL_ResetAttributes();
        if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    BareWindow(const BareWindow&) = delete;
    BareWindow& operator=(const BareWindow&) = delete;

    bool Ready() const { return context_ != nullptr; }
    void Swap() { SDL_GL_SwapWindow(window_); }

private:
    bool video_ = false;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
};

// The board frame drawn straight with OpenGL: the draws and states of Scene::Frame, the shaders
// doing only what those states need, the vertices in buffers made once.
class BareBoard {
public:
    bool Init() {
        mesh_ = Program(
            "layout(location = 0) in vec3 p;\n"
            "layout(location = 1) in vec3 n;\n"
            "layout(location = 2) in vec2 t;\n"
            "uniform mat4 m;\n"
            "out vec3 c;\n"
            "out vec2 uv;\n"
            "void main() {\n"
            "    vec4 clip = m * vec4(p, 1.0);\n"
            "    gl_Position = vec4(clip.xy, 2.0 * clip.z - clip.w, clip.w);\n"
            // The point light of Scene::Frame, at (0.5, 1, 2) from the camera, attenuation 1 / 0.9.
            "    vec3 l = normalize(vec3(0.5, 1.0, 2.0) - (p + vec3(0.0, 0.0, 3.0)));\n"
            "    c = min(vec3(64.0 / 255.0) + vec3(max(dot(n, l), 0.0) / 0.9), 1.0);\n"
            "    uv = t;\n"
            "}\n",
            "in vec3 c;\n"
            "in vec2 uv;\n"
            "uniform sampler2D s;\n"
            "out vec4 o;\n"
            "void main() { vec4 x = texture(s, uv); o = vec4(x.rgb * c, x.a); }\n");
        volume_ = Program(
            "layout(location = 0) in vec3 p;\n"
            "uniform mat4 m;\n"
            "void main() { vec4 clip = m * vec4(p, 1.0); gl_Position = vec4(clip.xy, 2.0 * clip.z - clip.w, clip.w); }\n",
            "out vec4 o;\n"
            "void main() { o = vec4(0.0); }\n");
        const char* screen =
            "layout(location = 0) in vec2 p;\n"
            "layout(location = 1) in vec4 col;\n"
            "layout(location = 2) in vec2 t;\n"
            "out vec4 c;\n"
            "out vec2 uv;\n"
            "void main() {\n"
            "    gl_Position = vec4(p, 0.0, 1.0);\n"
            "    c = col;\n"
            "    uv = t;\n"
            "}\n";
        shade_ = Program(screen, "in vec4 c;\nout vec4 o;\nvoid main() { o = c; }\n");
        sprite_ = Program(screen,
                          "in vec4 c;\n"
                          "in vec2 uv;\n"
                          "uniform sampler2D s;\n"
                          "out vec4 o;\n"
                          "void main() {\n"
                          "    o = texture(s, uv) * c;\n"
                          "    if (o.a < 0.5 / 255.0) discard;\n"
                          "}\n");
        if (!mesh_ || !volume_ || !shade_ || !sprite_) return false;

        D3DMATRIX view = View(), proj = Projection(), m;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) m.m[i][j] = view.m[i][0] * proj.m[0][j] + view.m[i][1] * proj.m[1][j] +
                                                    view.m[i][2] * proj.m[2][j] + view.m[i][3] * proj.m[3][j];
        for (GLuint prog : {mesh_, volume_}) {
            glUseProgram(prog);
            // Row-major D3D data read as column-major: m * v computes v * M.
            glUniformMatrix4fv(glGetUniformLocation(prog, "m"), 1, GL_FALSE, &m.m[0][0]);
        }

        std::vector<MeshVertex> grid;
        std::vector<WORD> indices;
        MakeGrid(&grid, &indices);
        meshIndices_ = GLsizei(indices.size());
        std::vector<Position> volume = MakeVolume();
        volumeVertices_ = GLsizei(volume.size());
        // The darkening quad, then the sprites; Direct3D's pixel centres are on integers.
        struct Quad {
            float x, y;
            DWORD color;
            float u, v;
        };
        std::vector<Quad> quads = {{-1, -1, 0x7F000000, 0, 0}, {-1, 1, 0x7F000000, 0, 0},
                                   {1, -1, 0x7F000000, 0, 0}, {1, 1, 0x7F000000, 0, 0}};
        for (int i = 0; i < 20; ++i) {
            ScreenVertex q[4];
            SpriteQuad(i, q);
            for (const ScreenVertex& v : q)
                quads.push_back({(v.x + 0.5f) * 2 / kWidth - 1, 1 - (v.y + 0.5f) * 2 / kHeight, v.color, v.u, v.v});
        }

        GLuint vao[3], buffers[4];
        glGenVertexArrays(3, vao);
        glGenBuffers(4, buffers);
        meshVao_ = vao[0];
        glBindVertexArray(meshVao_);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(grid.size() * sizeof(MeshVertex)), grid.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(WORD)), indices.data(), GL_STATIC_DRAW);
        Attribute(0, 3, GL_FLOAT, sizeof(MeshVertex), offsetof(MeshVertex, x));
        Attribute(1, 3, GL_FLOAT, sizeof(MeshVertex), offsetof(MeshVertex, nx));
        Attribute(2, 2, GL_FLOAT, sizeof(MeshVertex), offsetof(MeshVertex, u));
        volumeVao_ = vao[1];
        glBindVertexArray(volumeVao_);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[2]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(volume.size() * sizeof(Position)), volume.data(), GL_STATIC_DRAW);
        Attribute(0, 3, GL_FLOAT, sizeof(Position), 0);
        quadVao_ = vao[2];
        glBindVertexArray(quadVao_);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[3]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(quads.size() * sizeof(Quad)), quads.data(), GL_STATIC_DRAW);
        Attribute(0, 2, GL_FLOAT, sizeof(Quad), offsetof(Quad, x));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Quad),
                              reinterpret_cast<const void*>(offsetof(Quad, color)));
        Attribute(2, 2, GL_FLOAT, sizeof(Quad), offsetof(Quad, u));

        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        std::vector<DWORD> texels;
        for (GLint level = 0, size = 64; size >= 1; ++level, size /= 2) {
            texels.clear();
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) texels.push_back(CheckerTexel(UINT(x), UINT(y)));
            glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, size, size, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                         texels.data());
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glClearColor(0, 0, 0, 1);
        glFrontFace(GL_CW);  // Direct3D's front faces, clockwise on screen
        glDepthFunc(GL_LEQUAL);
        return glGetError() == GL_NO_ERROR;
    }

    void Frame() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        // The lit, textured mesh.
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glUseProgram(mesh_);
        glBindVertexArray(meshVao_);
        glDrawElements(GL_TRIANGLES, meshIndices_, GL_UNSIGNED_SHORT, nullptr);
        // The shadow volume: front faces count up, back faces down.
        glDepthMask(GL_FALSE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR_WRAP);
        glUseProgram(volume_);
        glBindVertexArray(volumeVao_);
        glDrawArrays(GL_TRIANGLES, 0, volumeVertices_);
        glCullFace(GL_FRONT);
        glStencilOp(GL_KEEP, GL_KEEP, GL_DECR_WRAP);
        glDrawArrays(GL_TRIANGLES, 0, volumeVertices_);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        // The darkening quad where the count is at least 1.
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glStencilFunc(GL_LEQUAL, 1, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glUseProgram(shade_);
        glBindVertexArray(quadVao_);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glDisable(GL_STENCIL_TEST);
        // Twenty sprites.
        glUseProgram(sprite_);
        for (GLint i = 1; i <= 20; ++i) glDrawArrays(GL_TRIANGLE_STRIP, 4 * i, 4);
        glDisable(GL_BLEND);
    }

private:
    static GLuint Program(const char* vertex, const char* fragment) {
        GLuint program = glCreateProgram();
        for (auto [type, body] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
            const char* text[2] = {"#version 330 core\n", body};
            GLuint shader = glCreateShader(type);
            glShaderSource(shader, 2, text, nullptr);
            glCompileShader(shader);
            glAttachShader(program, shader);
            glDeleteShader(shader);
        }
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        return ok ? program : 0;
    }
    static void Attribute(GLuint location, GLint size, GLenum type, GLsizei stride, size_t offset) {
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, type, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
    }

    GLuint mesh_ = 0, volume_ = 0, shade_ = 0, sprite_ = 0;
    GLuint meshVao_ = 0, volumeVao_ = 0, quadVao_ = 0, texture_ = 0;
    GLsizei meshIndices_ = 0, volumeVertices_ = 0;
};

// Clear colour, depth and stencil, then swap: at the device's size, or at the screen's.
void BM_BareClearSwap(benchmark::State& state) {
    BareWindow window(state.range(0) != 0);
    if (!window.Ready()) {
        state.SkipWithError("no display or no OpenGL context");
        return;
    }
    glClearColor(0, 0, 0, 1);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        window.Swap();
    }
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

void BM_BareBoardFrame(benchmark::State& state) {
    BareWindow window;
    BareBoard board;
    if (!window.Ready() || !board.Init()) {
        state.SkipWithError("no display, no OpenGL context or no programs");
        return;
    }
    board.Frame();
    window.Swap();
    for (auto _ : state) {
        board.Frame();
        window.Swap();
    }
}
BENCHMARK(BM_BareBoardFrame)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

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
