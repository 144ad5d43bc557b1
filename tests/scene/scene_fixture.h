// Shared pieces of the scene tests: a scratch folder in the build tree for generated .x files,
// and a window with a device that the scene code reaches through g_pd3dDevice.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/test_hooks.h"

extern IDirect3DDevice9* g_pd3dDevice;

namespace scenetest {

// A folder of this test's own, removed afterwards. Files are written into it by name.
class Scratch {
public:
    Scratch();
    ~Scratch();
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Path(const std::string& name) const;
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

// A .x text file, as text or rewritten in the binary form.
enum class Form { Text, Binary };
std::string Encode(const std::string& text, Form form);
const char* FormName(Form form);

extern const char* const kXHeader;
// "1.000000;0.000000;..." for a matrix's 16 values, as a FrameTransformMatrix body.
std::string MatrixText(const D3DXMATRIX& m);

// A window and a device with a lockable back buffer, depth and stencil; g_pd3dDevice points at it.
class DeviceTest : public ::testing::Test {
protected:
    DeviceTest(UINT width = 64, UINT height = 64) : width_(width), height_(height) {}
    void SetUp() override;
    void TearDown() override;

    DWORD Pixel(int x, int y);
    std::vector<DWORD> Pixels();
    // The calls of the device trace, as text.
    static std::vector<std::string> TraceText(const std::vector<platform::hooks::D3DCall>& calls);
    static std::vector<std::string> TakeTrace();

    UINT width_, height_;
    HWND hwnd_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DPRESENT_PARAMETERS pp_ = {};
};

// Compares matrices element by element within a tolerance.
::testing::AssertionResult MatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance = 1e-5f);
::testing::AssertionResult VectorNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected,
                                      float tolerance = 1e-5f);

}  // namespace scenetest
