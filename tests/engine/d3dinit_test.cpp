// Device creation: the question, the presentation settings and "options.txt".
#include "d3dinit.h"

#include "platform/test_hooks.h"
#include "temp_dir.h"
#include "test_window.h"

#include <cmath>
#include <memory>

#include <d3dx9.h>

namespace {

using platform::hooks::D3DFailure;

class InitD3DTest : public testsupport::InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        window_ = std::make_unique<testsupport::TestWindow>("InitD3DTest");
        hwnd_ = window_->Handle();
        ASSERT_NE(hwnd_, nullptr);
        g_bHALDevice = g_bREFDevice = 0;
        platform::hooks::TakeMessageBoxRecords();
    }
    void TearDown() override {
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        window_.reset();
        platform::hooks::SetD3DFailure(D3DFailure::None);
        platform::hooks::ScriptMessageBoxAnswers({});
        InTempDir::TearDown();
    }
    HRESULT Init(int answer) {
        platform::hooks::ScriptMessageBoxAnswers({answer});
        return InitD3D(&d3d_, &device_, hwnd_, 0, 0);
    }
    std::unique_ptr<testsupport::TestWindow> window_;
    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

TEST_F(InitD3DTest, TheQuestionNamesTheSizeAndDepth) {
    ASSERT_EQ(Init(IDNO), S_OK);
    auto boxes = platform::hooks::TakeMessageBoxRecords();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Modalit\xE0 schermo-intero? (1024x768x16)");
    EXPECT_EQ(boxes[0].text.size(), 38u);
    EXPECT_EQ(boxes[0].caption, "Apertura Applicazione");
    EXPECT_EQ(boxes[0].type, 0x24u);
    EXPECT_EQ(boxes[0].owner, hwnd_);
}

TEST_F(InitD3DTest, WindowedAnswerWritesThreeSettingsAndSizesTheClientArea) {
    ASSERT_EQ(Init(IDNO), S_OK);
    ASSERT_NE(device_, nullptr);
    EXPECT_EQ(ReadFile("options.txt"),
              "WinWidth 1024\r\nWinHeight 768\r\nWindowed TRUE\r\n\r\n"
              "DEVICE TYPE D3DDEVTYPE_HAL\r\nb2SidedStencils true\r\npsVersion true\r\n");
    RECT client;
    GetClientRect(hwnd_, &client);
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);
    EXPECT_EQ(g_d3dpp.BackBufferFormat, D3DFMT_X8R8G8B8);  // the desktop's format
    EXPECT_TRUE(g_d3dpp.Windowed);
    EXPECT_EQ(g_d3dpp.Flags, DWORD(D3DPRESENTFLAG_LOCKABLE_BACKBUFFER));
    EXPECT_EQ(g_bHALDevice, 1);
}

TEST_F(InitD3DTest, FullScreenAnswerWritesTwelveLines) {
    ASSERT_EQ(Init(IDYES), S_OK);
    EXPECT_EQ(ReadFile("options.txt"),
              "WinWidth 1024\r\nWinHeight 768\r\nMultiSampleType D3DMULTISAMPLE_NONE\r\n"
              "SwapEffect D3DSWAPEFFECT_COPY\r\nWindowed FALSE\r\nEnableAutoDepthStencil TRUE\r\n"
              "PresentationInterval D3DPRESENT_INTERVAL_IMMEDIATE\r\n"
              "Flags D3DPRESENTFLAG_LOCKABLE_BACKBUFFER\r\n\r\n"
              "DEVICE TYPE D3DDEVTYPE_HAL\r\nb2SidedStencils true\r\npsVersion true\r\n");
    EXPECT_EQ(g_d3dpp.BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_FALSE(g_d3dpp.Windowed);
}

TEST_F(InitD3DTest, AFailedQuestionCountsAsNo) {
    ASSERT_EQ(Init(0), S_OK);
    EXPECT_TRUE(g_d3dpp.Windowed);
}

TEST_F(InitD3DTest, TheForcedWindowedSwitchAsksNothing) {
    ASSERT_EQ(InitD3D(&d3d_, &device_, hwnd_, 1, 0), S_OK);
    EXPECT_TRUE(platform::hooks::TakeMessageBoxRecords().empty());
    EXPECT_TRUE(g_d3dpp.Windowed);
}

TEST_F(InitD3DTest, WithoutHardwareTheReferenceDeviceIsRecorded) {
    platform::hooks::SetD3DFailure(D3DFailure::HalDevice);
    ASSERT_EQ(Init(IDNO), S_OK);
    EXPECT_EQ(g_bREFDevice, 1);
    EXPECT_EQ(g_bHALDevice, 0);
    EXPECT_EQ(ReadFile("options.txt"),
              "WinWidth 1024\r\nWinHeight 768\r\nWindowed TRUE\r\n\r\n"
              "DEVICE TYPE D3DDEVTYPE_REF\r\nb2SidedStencils true\r\npsVersion true\r\n");
}

TEST_F(InitD3DTest, WhenNoDeviceCanBeMadeTheFileKeepsThePresentationLines) {
    platform::hooks::SetD3DFailure(D3DFailure::AllDevices);
    EXPECT_TRUE(FAILED(Init(IDNO)));
    EXPECT_EQ(device_, nullptr);
    EXPECT_NE(d3d_, nullptr);  // left for the caller to release
    EXPECT_EQ(ReadFile("options.txt"), "WinWidth 1024\r\nWinHeight 768\r\nWindowed TRUE\r\n\r\n");
}

TEST_F(InitD3DTest, WithoutDirect3DTheErrorBoxIsShown) {
    { std::ofstream("options.txt") << "stale"; }
    platform::hooks::SetD3DFailure(D3DFailure::Create);
    platform::hooks::StartCapturingDebugOutput();
    EXPECT_EQ(Init(IDOK), E_FAIL);
    auto out = platform::hooks::TakeDebugOutput();
    platform::hooks::StopCapturingDebugOutput();
    auto boxes = platform::hooks::TakeMessageBoxRecords();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Installare DirectX 9.0c \n");
    EXPECT_EQ(boxes[0].caption, "Errore");
    EXPECT_EQ(boxes[0].type, 0x30u);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], "ERROR: Installare DirectX 9.0c \n");
    EXPECT_EQ(ReadFile("options.txt"), "");  // emptied before anything else
}

TEST_F(InitD3DTest, NullArgumentsFailAfterEmptyingTheFile) {
    { std::ofstream("options.txt") << "stale"; }
    EXPECT_EQ(InitD3D(nullptr, &device_, hwnd_, 0, 0), E_FAIL);
    EXPECT_EQ(InitD3D(&d3d_, &device_, nullptr, 0, 0), E_FAIL);
    EXPECT_EQ(ReadFile("options.txt"), "");
    EXPECT_TRUE(platform::hooks::TakeMessageBoxRecords().empty());
}

TEST_F(InitD3DTest, AnOptionsFileThatCannotBeOpenedIsSkipped) {
    std::filesystem::create_directory("options.txt");
    ASSERT_EQ(Init(IDNO), S_OK);
    EXPECT_NE(device_, nullptr);
}

TEST_F(InitD3DTest, DeviceStartsWithTheGamesStatesAndProjection) {
    ASSERT_EQ(Init(IDNO), S_OK);
    DWORD v = 0;
    device_->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_NONE));
    device_->GetRenderState(D3DRS_AMBIENT, &v);
    EXPECT_EQ(v, 0xFF404040u);
    device_->GetRenderState(D3DRS_DITHERENABLE, &v);
    EXPECT_EQ(v, DWORD(TRUE));
    device_->GetTextureStageState(0, D3DTSS_COLORARG2, &v);
    EXPECT_EQ(v, DWORD(D3DTA_DIFFUSE));
    device_->GetSamplerState(0, D3DSAMP_MAGFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_LINEAR));
    D3DMATERIAL9 m;
    device_->GetMaterial(&m);
    EXPECT_EQ(m.Diffuse.a, 1.0f);
    EXPECT_EQ(m.Ambient.g, 1.0f);
    EXPECT_EQ(m.Specular.r, 0.0f);
    D3DMATRIX proj;
    device_->GetTransform(D3DTS_PROJECTION, &proj);
    // Field of view pi/4: yScale = cot(pi/8); xScale = yScale / (1024 / 768).
    float yScale = 1.0f / std::tan(0.7853982f / 2);
    EXPECT_NEAR(proj._22, yScale, 1e-5);
    EXPECT_NEAR(proj._11, yScale * 768.0f / 1024.0f, 1e-5);
    EXPECT_NEAR(proj._33, 10000.0f / (10000.0f - 1.0f), 1e-6);
    EXPECT_NEAR(proj._43, -10000.0f / (10000.0f - 1.0f), 1e-4);
    EXPECT_EQ(proj._34, 1.0f);
}

}  // namespace
