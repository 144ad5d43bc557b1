#include "scene_fixture.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "xtest_util.h"

IDirect3DDevice9* g_pd3dDevice = NULL;

namespace scenetest {

const char* const kXHeader = "xof 0303txt 0032\n";

Scratch::Scratch() {
    static int counter = 0;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char& c : name)
        if (c == '/') c = '_';
    dir_ = std::string(SCENE_TEST_SCRATCH) + "/" + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
           "_" + name;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
}

Scratch::~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string Scratch::Path(const std::string& name) const { return dir_ + "/" + name; }

std::string Scratch::Write(const std::string& name, const std::string& bytes) const {
    std::string path = Path(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

std::string Encode(const std::string& text, Form form) {
    return form == Form::Text ? text : xtest::encode(text, xtest::Enc::Binary);
}

const char* FormName(Form form) { return form == Form::Text ? "text" : "binary"; }

std::string MatrixText(const D3DXMATRIX& m) {
    std::string s = "FrameTransformMatrix {\n";
    for (int i = 0; i < 16; i++) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%.6f", double(m.m[i / 4][i % 4]));
        s += buf;
        s += i == 15 ? ";;\n" : ",";
    }
    return s + "}\n";
}

namespace {
LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
}  // namespace

void DeviceTest::SetUp() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "SceneTest";
    RegisterClassExA(&wc);
    hwnd_ = CreateWindowExA(0, "SceneTest", "scene", WS_OVERLAPPED | WS_CAPTION, 20, 20, int(width_) + 40,
                            int(height_) + 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    pp_ = {};
    pp_.Windowed = TRUE;
    pp_.SwapEffect = D3DSWAPEFFECT_COPY;
    pp_.BackBufferWidth = width_;
    pp_.BackBufferHeight = height_;
    pp_.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp_.EnableAutoDepthStencil = TRUE;
    pp_.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp_.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    pp_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, hwnd_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp_, &device_),
              D3D_OK);
    g_pd3dDevice = device_;
}

void DeviceTest::TearDown() {
    platform::hooks::StopD3DTrace();
    g_pd3dDevice = NULL;
    if (device_) {
        // What is bound to the device holds the device itself.
        device_->SetStreamSource(0, NULL, 0, 0);
        device_->SetIndices(NULL);
        for (DWORD stage = 0; stage < 8; stage++) device_->SetTexture(stage, NULL);
        device_->SetVertexDeclaration(NULL);
        EXPECT_EQ(device_->Release(), 0u) << "a resource of the device was not released";
    }
    if (d3d_) d3d_->Release();
    DestroyWindow(hwnd_);
    UnregisterClassA("SceneTest", nullptr);
}

std::vector<DWORD> DeviceTest::Pixels() {
    std::vector<DWORD> out(size_t(width_) * height_);
    IDirect3DSurface9* back = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    if (!back) return out;
    D3DLOCKED_RECT lr;
    EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < height_; ++y)
        for (UINT x = 0; x < width_; ++x)
            out[size_t(y) * width_ + x] = static_cast<const DWORD*>(lr.pBits)[y * (lr.Pitch / 4) + x];
    back->UnlockRect();
    back->Release();
    return out;
}

DWORD DeviceTest::Pixel(int x, int y) { return Pixels()[size_t(y) * width_ + x]; }

std::vector<std::string> DeviceTest::TraceText(const std::vector<platform::hooks::D3DCall>& calls) {
    std::vector<std::string> out;
    for (const auto& c : calls) out.push_back(c.ToString());
    return out;
}

std::vector<std::string> DeviceTest::TakeTrace() { return TraceText(platform::hooks::TakeD3DTrace()); }

::testing::AssertionResult MatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            if (!(std::fabs(actual.m[r][c] - expected.m[r][c]) <= tolerance))
                return ::testing::AssertionFailure()
                       << "element (" << r + 1 << "," << c + 1 << ") is " << actual.m[r][c] << ", expected "
                       << expected.m[r][c];
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult VectorNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
        std::fabs(actual.z - expected.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z
                                         << ") is not near (" << expected.x << ", " << expected.y << ", "
                                         << expected.z << ")";
}

}  // namespace scenetest
