// The cost of the interface pass: twenty sprites and a line of text per frame, drawn the way the
// game draws them (every element begins and ends its own sprite), and the same sprites in one batch.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

constexpr int kSprites = 20;

class Scene {
public:
    Scene() {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "BenchSprites";
        RegisterClassExA(&wc);
        hwnd_ = CreateWindowExA(0, "BenchSprites", "bench", WS_OVERLAPPED | WS_CAPTION, 0, 0, 1024, 768, nullptr,
                                nullptr, nullptr, nullptr);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferWidth = 1024;
        pp.BackBufferHeight = 768;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (!d3d_ || FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device_)))
            return;
        for (int i = 0; i < kSprites; ++i) {
            ID3DXSprite* sprite = nullptr;
            D3DXCreateSprite(device_, &sprite);
            sprites_.push_back(sprite);
        }
        // A 128 x 128 image with colour-keyed black areas, as the GUI images have.
        device_->CreateTexture(128, 128, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture_, nullptr);
        for (UINT level = 0; level < texture_->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc;
            texture_->GetLevelDesc(level, &desc);
            D3DLOCKED_RECT lr;
            texture_->LockRect(level, &lr, nullptr, 0);
            for (UINT y = 0; y < desc.Height; ++y)
                for (UINT x = 0; x < desc.Width; ++x)
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
                        (x + y) % 7 ? 0xFF8040C0u : 0x00000000u;
            texture_->UnlockRect(level);
        }
        D3DXCreateFontA(device_, -24, 0, FW_BOLD, 0, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, "Typewriter", &font_);
    }
    ~Scene() {
        if (font_) font_->Release();
        if (texture_) texture_->Release();
        for (ID3DXSprite* s : sprites_)
            if (s) s->Release();
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        DestroyWindow(hwnd_);
        UnregisterClassA("BenchSprites", nullptr);
    }
    bool Ready() const { return device_ && texture_ && font_; }

    void Frame(bool batched, int frame) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device_->BeginScene();
        D3DXMATRIX scale;
        D3DXMatrixScaling(&scale, 1.0f, 0.7f, 1.0f);
        if (batched) sprites_[0]->Begin(D3DXSPRITE_ALPHABLEND);
        for (int i = 0; i < kSprites; ++i) {
            ID3DXSprite* s = batched ? sprites_[0] : sprites_[size_t(i)];
            if (!batched) {
                s->SetTransform(&scale);
                s->Begin(D3DXSPRITE_ALPHABLEND);
            }
            const D3DXVECTOR3 at(float(40 * i), float(30 * (i % 5)), 0.0f);
            s->Draw(texture_, nullptr, nullptr, &at, 0xFFFFFFFF);
            if (!batched) s->End();
        }
        if (batched) sprites_[0]->End();
        char line[64];
        std::snprintf(line, sizeof line, "FPS: %.2f", 60.0 + frame % 100);
        RECT r{2, 1, 0, 0};
        font_->DrawTextA(nullptr, line, -1, &r, DT_NOCLIP, 0xFFFFFFFF);
        device_->EndScene();
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }

private:
    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    std::vector<ID3DXSprite*> sprites_;
    IDirect3DTexture9* texture_ = nullptr;
    ID3DXFont* font_ = nullptr;
};

void RunFrames(benchmark::State& state, bool batched) {
    Scene scene;
    if (!scene.Ready()) {
        state.SkipWithError("no device (is there a display?)");
        return;
    }
    int frame = 0;
    for (auto _ : state) scene.Frame(batched, frame++);
    state.SetItemsProcessed(state.iterations() * kSprites);
}

void BM_InterfaceFrame_SpritePerElement(benchmark::State& state) { RunFrames(state, false); }
void BM_InterfaceFrame_OneBatch(benchmark::State& state) { RunFrames(state, true); }
BENCHMARK(BM_InterfaceFrame_SpritePerElement)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InterfaceFrame_OneBatch)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
