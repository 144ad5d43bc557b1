// The test hooks of the device: the call trace, forced loss and failing resets, and resources
// kept across a reset; the loss of a full-screen device with its window's focus.
#include "draw_fixture.h"

#include "platform/test_hooks.h"
#include "win32/window_system.h"

namespace drawtest {
namespace {

using platform::hooks::D3DCall;
using DeviceHooks = DrawTest;

int64_t Address(const void* p) { return int64_t(reinterpret_cast<intptr_t>(p)); }

TEST_F(DeviceHooks, TheTraceRecordsStateChangesAndDrawsInOrder) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(4 * sizeof(TLVertex), 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    D3DMATRIX world = {};
    world._11 = world._22 = world._33 = world._44 = 1;
    world._42 = 2.5f;
    D3DMATERIAL9 material = {};
    material.Diffuse = D3DCOLORVALUE{1, 0.5f, 0.25f, 0.999f};
    material.Power = 8;
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
    light.Position = D3DVECTOR{80, 100, 350};
    light.Range = 1000;
    light.Attenuation0 = 0.9f;
    TLVertex tri[3] = {};
    const WORD indices[3] = {0, 1, 2};

    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);  // before the trace: not recorded
    platform::hooks::StartD3DTrace();
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetTexture(0, tex);
    device_->SetTransform(D3DTS_WORLD, &world);
    device_->SetMaterial(&material);
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device_->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    device_->SetIndices(ib);
    DWORD ignored;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &ignored);  // getters are not recorded
    Begin();
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 3, 0, 1);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TLVertex));
    device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_INDEX16, tri, sizeof(TLVertex));
    End();
    std::vector<D3DCall> calls = platform::hooks::TakeD3DTrace();

    const std::vector<std::string> names = {"SetRenderState", "SetTextureStageState", "SetSamplerState", "SetTexture",
                                            "SetTransform", "SetMaterial", "SetLight", "LightEnable", "SetFVF",
                                            "SetStreamSource", "SetIndices", "DrawPrimitive", "DrawIndexedPrimitive",
                                            "SetTexture", "DrawPrimitiveUP", "DrawIndexedPrimitiveUP"};
    ASSERT_GE(calls.size(), 15u);
    std::vector<std::string> got;
    for (const auto& c : calls) got.push_back(c.name);
    // The texture bound by stage 0 stays; the draws come in order.
    std::vector<std::string> expected(names.begin(), names.begin() + 13);
    expected.push_back("DrawPrimitiveUP");
    expected.push_back("DrawIndexedPrimitiveUP");
    EXPECT_EQ(got, expected);
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{D3DRS_ALPHABLENDENABLE, TRUE}));
    EXPECT_EQ(calls[0].ToString(), "SetRenderState(27, 1)");
    EXPECT_EQ(calls[1].args, (std::vector<int64_t>{0, D3DTSS_COLOROP, D3DTOP_MODULATE}));
    EXPECT_EQ(calls[2].args, (std::vector<int64_t>{0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR}));
    EXPECT_EQ(calls[3].args, (std::vector<int64_t>{0, Address(tex)}));
    EXPECT_EQ(calls[4].args, (std::vector<int64_t>{D3DTS_WORLD}));
    ASSERT_EQ(calls[4].values.size(), 16u);
    EXPECT_EQ(calls[4].values[13], 2.5f);  // _42
    ASSERT_EQ(calls[5].values.size(), 17u);
    EXPECT_EQ(calls[5].values[3], 0.999f);
    EXPECT_EQ(calls[5].values[16], 8.0f);
    EXPECT_EQ(calls[6].args, (std::vector<int64_t>{0, D3DLIGHT_POINT}));
    ASSERT_EQ(calls[6].values.size(), 25u);
    EXPECT_EQ(calls[6].values[12], 80.0f);  // position
    EXPECT_EQ(calls[6].values[18], 1000.0f);  // range
    EXPECT_EQ(calls[6].values[20], 0.9f);  // attenuation 0
    EXPECT_EQ(calls[7].args, (std::vector<int64_t>{0, TRUE}));
    EXPECT_EQ(calls[8].args, (std::vector<int64_t>{D3DFVF_XYZRHW | D3DFVF_DIFFUSE}));
    EXPECT_EQ(calls[9].args, (std::vector<int64_t>{0, Address(vb), 0, int64_t(sizeof(TLVertex))}));
    EXPECT_EQ(calls[10].args, (std::vector<int64_t>{Address(ib)}));
    EXPECT_EQ(calls[11].args, (std::vector<int64_t>{D3DPT_TRIANGLESTRIP, 0, 2}));
    EXPECT_EQ(calls[12].args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 1, 0, 3, 0, 1}));
    EXPECT_EQ(calls[13].args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 1, Address(tri), int64_t(sizeof(TLVertex))}));
    EXPECT_EQ(calls[14].args[5], int64_t(D3DFMT_INDEX16));
    // Taking empties the record; stopping stops recording.
    EXPECT_TRUE(platform::hooks::TakeD3DTrace().empty());
    platform::hooks::StopD3DTrace();
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    EXPECT_TRUE(platform::hooks::TakeD3DTrace().empty());

    device_->SetTexture(0, nullptr);
    device_->SetStreamSource(0, nullptr, 0, 0);
    device_->SetIndices(nullptr);
    ib->Release();
    vb->Release();
    tex->Release();
}

TEST_F(DeviceHooks, ForcedLossAndResetKeepTheManagedPoolAndRefuseTheDefaultOne) {
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    managed->LockRect(0, &lr, nullptr, 0);
    *static_cast<DWORD*>(lr.pBits) = 0x00FF8000;
    managed->UnlockRect(0);
    IDirect3DTexture9* video = nullptr;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &video, nullptr), D3D_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);

    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(platform::hooks::LoseDevice(device_));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);  // until regained
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // Locks and resource creation still work while lost.
    EXPECT_EQ(managed->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    managed->UnlockRect(0);
    IDirect3DTexture9* made = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &made, nullptr), D3D_OK);
    made->Release();

    ASSERT_TRUE(platform::hooks::RegainDevice(device_));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    ASSERT_TRUE(platform::hooks::FailNextReset(device_));
    EXPECT_TRUE(FAILED(device_->Reset(&pp_)));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);  // ready for another try

    // Every default-pool resource the application holds, the back buffer included, keeps the
    // device from a reset; what only the device's bindings hold does not.
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_INVALIDCALL);
    video->Release();
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_INVALIDCALL);
    device_->SetStreamSource(0, vb, 0, 16);
    vb->Release();
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    back->Release();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    DWORD cull = 0;
    device_->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, DWORD(D3DCULL_CCW));  // the state starts over

    // The managed texture still draws.
    struct V {
        float x, y, z, rhw, u, v;
    } quad[4] = {{0, 0, 0, 1, 0, 0}, {32, 0, 0, 1, 1, 0}, {0, 64, 0, 1, 0, 1}, {32, 64, 0, 1, 1, 1}};
    Clear(0xFF000000);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    Begin();
    device_->SetTexture(0, managed);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V)), D3D_OK);
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFFFF8000u);
    EXPECT_EQ(Pixel(50, 10), 0xFF000000u);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    EXPECT_FALSE(platform::hooks::LoseDevice(nullptr));
    device_->SetTexture(0, nullptr);
    managed->Release();
}

TEST_F(DeviceHooks, AFullScreenDeviceIsLostWithTheFocusAndResetWhenItReturns) {
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    device_->Release();
    device_ = nullptr;
    pp_.Windowed = FALSE;
    pp_.BackBufferWidth = 640;
    pp_.BackBufferHeight = 480;
    pp_.FullScreen_RefreshRateInHz = 0;
    HRESULT hr = d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp_, &device_);
    if (FAILED(hr)) GTEST_SKIP() << "no full-screen mode on this display";

    // The display has the device's mode wherever the program looks.
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 640u);
    EXPECT_EQ(mode.Height, 480u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 480);

    // Real X focus: another window taken to the front, then the device's window again.
    HWND other = CreateWindowExA(0, "DrawTest", "other", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    auto focus = [](HWND hwnd) { SDL_SetWindowInputFocus(platform::win32::SdlWindowOf(hwnd)); };
    auto waitFor = [&](HRESULT wanted) {
        HRESULT got = E_FAIL;
        for (int i = 0; i < 200 && (got = device_->TestCooperativeLevel()) != wanted; ++i) SDL_Delay(10);
        return got;
    };
    // The switch to full screen may have its own focus events: wait until the device is settled.
    focus(hwnd_);
    for (int i = 0; i < 50; ++i) {
        SDL_Delay(10);
        if (device_->TestCooperativeLevel() == D3DERR_DEVICENOTRESET) device_->Reset(&pp_);
    }
    ASSERT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    focus(other);
    EXPECT_EQ(waitFor(D3DERR_DEVICELOST), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Reset(&pp_), D3DERR_DEVICELOST);
    focus(hwnd_);
    EXPECT_EQ(waitFor(D3DERR_DEVICENOTRESET), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    DestroyWindow(other);

    // The front buffer has the mode's size: the last presented frame, pixel for pixel.
    IDirect3DSurface9* shot = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(640, 480, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &shot, nullptr), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF405060, 1.0f, 0);
    D3DRECT corner = {639, 479, 640, 480};
    device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(shot->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) { return reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch)[x]; };
    EXPECT_EQ(at(0, 0), 0xFF405060u);
    EXPECT_EQ(at(638, 479), 0xFF405060u);
    EXPECT_EQ(at(639, 479), 0xFFFF0000u);
    shot->UnlockRect();
    shot->Release();

    // Without the device the desktop's mode is back.
    device_->Release();
    device_ = nullptr;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, desktop.Width);
    EXPECT_EQ(mode.Height, desktop.Height);
}

}  // namespace
}  // namespace drawtest
