// The Direct3D object and the device core: creation, state, clears, the lockable back buffer.
#include <windows.h>
#include <d3d9.h>

#include "platform/test_hooks.h"

#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "DeviceTest";
        RegisterClassExA(&wc);
        hwnd_ = CreateWindowExA(0, "DeviceTest", "device", WS_OVERLAPPED | WS_CAPTION, 0, 0, 320, 240,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        pp_ = {};
        pp_.Windowed = TRUE;
        pp_.SwapEffect = D3DSWAPEFFECT_COPY;
        pp_.BackBufferWidth = 64;
        pp_.BackBufferHeight = 32;
        pp_.EnableAutoDepthStencil = TRUE;
        pp_.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp_.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        pp_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }
    void TearDown() override {
        if (device_) {
            EXPECT_EQ(device_->Release(), 0u);
        }
        if (d3d_) {
            EXPECT_EQ(d3d_->Release(), 0u);
        }
        DestroyWindow(hwnd_);
        UnregisterClassA("DeviceTest", nullptr);
        platform::hooks::SetD3DFailure(platform::hooks::D3DFailure::None);
    }
    void Create() {
        ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &pp_, &device_),
                  D3D_OK);
    }
    DWORD Pixel(int x, int y) {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        DWORD p = static_cast<DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x];
        back->UnlockRect();
        back->Release();
        return p;
    }
    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DPRESENT_PARAMETERS pp_;
};

TEST(Direct3D, RefusesOtherSdkVersionsAndInjectedFailures) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    platform::hooks::SetD3DFailure(platform::hooks::D3DFailure::Create);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    platform::hooks::SetD3DFailure(platform::hooks::D3DFailure::None);
}

TEST_F(DeviceTest, AdapterReportsDesktopFormatAndCapabilities) {
    D3DDISPLAYMODE mode = {};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.Width, 0u);
    D3DCAPS9 caps = {};
    ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_TRUE(caps.StencilCaps & D3DSTENCILCAPS_TWOSIDED);
    EXPECT_GE(caps.PixelShaderVersion, 0xFFFF0200u);
    EXPECT_EQ(d3d_->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, CreationFillsInTheParametersAndNewDeviceDefaults) {
    pp_.BackBufferFormat = D3DFMT_UNKNOWN;
    pp_.BackBufferCount = 0;
    Create();
    EXPECT_EQ(pp_.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp_.BackBufferCount, 1u);
    DWORD v = 0;
    device_->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, DWORD(D3DZB_TRUE));
    device_->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CCW));
    device_->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, DWORD(TRUE));
    device_->GetTextureStageState(1, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_DISABLE));
    device_->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_POINT));
    D3DVIEWPORT9 vp;
    device_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 64u);
    EXPECT_EQ(vp.Height, 32u);
    EXPECT_EQ(device_->SetRenderState(D3DRS_AMBIENT, 0xFF404040), D3D_OK);
    device_->GetRenderState(D3DRS_AMBIENT, &v);
    EXPECT_EQ(v, 0xFF404040u);
    EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATETYPE(5000), 1), D3DERR_INVALIDCALL);

    D3DMATRIX m = {};
    m._11 = 2;
    m._44 = 1;
    EXPECT_EQ(device_->SetTransform(D3DTS_PROJECTION, &m), D3D_OK);
    D3DMATRIX back = {};
    device_->GetTransform(D3DTS_PROJECTION, &back);
    EXPECT_EQ(back._11, 2.0f);
    device_->GetTransform(D3DTS_WORLD, &back);
    EXPECT_EQ(back._11, 1.0f);
    EXPECT_EQ(back._12, 0.0f);

    D3DDEVICE_CREATION_PARAMETERS cp;
    device_->GetCreationParameters(&cp);
    EXPECT_EQ(cp.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(cp.hFocusWindow, hwnd_);
    IDirect3D9* owner = nullptr;
    ASSERT_EQ(device_->GetDirect3D(&owner), D3D_OK);
    EXPECT_EQ(owner, d3d_);
    owner->Release();
}

TEST_F(DeviceTest, InjectedDeviceFailures) {
    platform::hooks::SetD3DFailure(platform::hooks::D3DFailure::HalDevice);
    EXPECT_TRUE(FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                          &pp_, &device_)));
    EXPECT_EQ(device_, nullptr);
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_REF, hwnd_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp_,
                                 &device_),
              D3D_OK);
    device_->Release();
    device_ = nullptr;
    platform::hooks::SetD3DFailure(platform::hooks::D3DFailure::AllDevices);
    EXPECT_TRUE(FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_REF, hwnd_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                          &pp_, &device_)));
}

TEST_F(DeviceTest, ClearsReachTheLockableBackBuffer) {
    Create();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                             0xFF204080, 1.0f, 0),
              D3D_OK);
    EXPECT_EQ(Pixel(0, 0), 0xFF204080u);
    EXPECT_EQ(Pixel(63, 31), 0xFF204080u);
    // A rectangle, given in pixels from the top left.
    D3DRECT r = {10, 4, 20, 8};
    ASSERT_EQ(device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(10, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(19, 7), 0xFFFF0000u);
    EXPECT_EQ(Pixel(20, 7), 0xFF204080u);
    EXPECT_EQ(Pixel(10, 8), 0xFF204080u);
    EXPECT_EQ(Pixel(9, 4), 0xFF204080u);
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The copy swap effect leaves the back buffer as it was.
    EXPECT_EQ(Pixel(10, 4), 0xFFFF0000u);
}

TEST_F(DeviceTest, WritesThroughALockShowInTheBackBuffer) {
    Create();
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 32u);
    RECT r = {2, 3, 4, 5};
    D3DLOCKED_RECT lr;
    ASSERT_EQ(back->LockRect(&lr, &r, 0), D3D_OK);
    EXPECT_EQ(back->LockRect(&lr, &r, 0), D3DERR_INVALIDCALL);  // already locked
    static_cast<DWORD*>(lr.pBits)[0] = 0xFF00FF00;
    static_cast<DWORD*>(lr.pBits)[lr.Pitch / 4 + 1] = 0xFF0000FF;
    ASSERT_EQ(back->UnlockRect(), D3D_OK);
    back->Release();
    EXPECT_EQ(Pixel(2, 3), 0xFF00FF00u);
    EXPECT_EQ(Pixel(3, 4), 0xFF0000FFu);
    EXPECT_EQ(Pixel(3, 3), 0xFF000000u);
}

TEST_F(DeviceTest, ScenesNestOnlyOnce) {
    Create();
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
}

TEST_F(DeviceTest, ResetResizesAndRestoresDefaults) {
    Create();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    pp_.BackBufferWidth = 100;
    pp_.BackBufferHeight = 50;
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    DWORD v = 0;
    device_->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CCW));
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
    EXPECT_EQ(Pixel(99, 49), 0xFF123456u);
    pp_.BackBufferFormat = D3DFMT_R5G6B5;
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_INVALIDCALL);
    // A failed reset loses the device until a reset succeeds.
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    pp_.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceTest, BackBufferKeepsItsDeviceAlive) {
    Create();
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device_->Release(), 1u);  // the surface still holds it
    device_ = nullptr;
    IDirect3DDevice9* again = nullptr;
    ASSERT_EQ(back->GetDevice(&again), D3D_OK);
    EXPECT_EQ(again->Release(), 1u);
    EXPECT_EQ(back->Release(), 0u);
}

}  // namespace
