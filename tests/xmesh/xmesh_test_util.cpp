#include "xmesh_test_util.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace xmeshtest {

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// One window, device and scratch folder for the whole run.
class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::filesystem::path base = std::filesystem::temp_directory_path() / "morvane_xmesh_XXXXXX";
        std::string templ = base.string();
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        ASSERT_NE(mkdtemp(buf.data()), nullptr);
        folder = buf.data();

        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "XMeshTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "XMeshTest", "mesh", WS_OVERLAPPED | WS_CAPTION, 40, 30, 200, 160, nullptr,
                               nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
                  D3D_OK);
    }
    void TearDown() override {
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "a mesh or buffer kept the device";
        }
        if (d3d) d3d->Release();
        if (hwnd) DestroyWindow(hwnd);
        UnregisterClassA("XMeshTest", nullptr);
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }

    std::string folder;
    HWND hwnd = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

Environment* const environment =
    static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

}  // namespace

IDirect3DDevice9* Device() { return environment->device; }

void MeshTest::SetUp() {
    ASSERT_NE(Device(), nullptr);
    Device()->AddRef();
    deviceRefs_ = Device()->Release();
}

void MeshTest::TearDown() {
    if (!Device()) return;
    Device()->AddRef();
    EXPECT_EQ(Device()->Release(), deviceRefs_) << "the test left a reference on the device";
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
    static int counter = 0;
    const std::string path = environment->folder + "/" + std::to_string(counter++) + "_" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

std::string MeshTest::WriteFile(const std::string& name, const std::string& bytes) {
    return WriteTempFile(name, bytes);
}

Loaded LoadPath(const std::string& path, DWORD options) {
    Loaded l;
    l.hr = D3DXLoadMeshFromXA(path.c_str(), options, Device(), l.adjacency.out(), l.materials.out(),
                              l.effects.out(), &l.numMaterials, l.mesh.out());
    return l;
}

Loaded LoadText(const std::string& text, Enc encoding, DWORD options) {
    const std::string path =
        WriteTempFile(std::string("model_") + xtest::encName(encoding) + ".x", xtest::encode(text, encoding));
    return LoadPath(path, options);
}

std::vector<uint8_t> VertexBytes(ID3DXMesh* mesh) {
    void* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* p = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> out(p, p + size_t(mesh->GetNumVertices()) * mesh->GetNumBytesPerVertex());
    mesh->UnlockVertexBuffer();
    return out;
}

std::vector<uint32_t> Indices(ID3DXMesh* mesh) {
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<uint32_t> out(size_t(mesh->GetNumFaces()) * 3);
    const bool use32 = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (use32) {
            std::memcpy(&out[i], static_cast<const uint8_t*>(data) + 4 * i, 4);
        } else {
            uint16_t v;
            std::memcpy(&v, static_cast<const uint8_t*>(data) + 2 * i, 2);
            out[i] = v;
        }
    }
    mesh->UnlockIndexBuffer();
    return out;
}

std::vector<DWORD> Attributes(ID3DXMesh* mesh) {
    DWORD* data = nullptr;
    EXPECT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    std::vector<DWORD> out(data, data + mesh->GetNumFaces());
    mesh->UnlockAttributeBuffer();
    return out;
}

std::vector<D3DXATTRIBUTERANGE> AttributeTable(ID3DXMesh* mesh) {
    DWORD count = 0;
    EXPECT_EQ(mesh->GetAttributeTable(nullptr, &count), D3D_OK);
    std::vector<D3DXATTRIBUTERANGE> table(count);
    if (count) {
        EXPECT_EQ(mesh->GetAttributeTable(table.data(), &count), D3D_OK);
    }
    return table;
}

D3DXVECTOR3 Vec3At(const std::vector<uint8_t>& vertices, UINT stride, size_t v, UINT offset) {
    D3DXVECTOR3 out;
    std::memcpy(&out, vertices.data() + v * stride + offset, 12);
    return out;
}

D3DXVECTOR2 Vec2At(const std::vector<uint8_t>& vertices, UINT stride, size_t v, UINT offset) {
    D3DXVECTOR2 out;
    std::memcpy(&out, vertices.data() + v * stride + offset, 8);
    return out;
}

Ref<ID3DXMesh> MakeMesh(DWORD fvf, const std::vector<V3>& positions, const std::vector<std::array<uint32_t, 3>>& faces,
                        const std::vector<DWORD>& attributes, DWORD options) {
    Ref<ID3DXMesh> mesh;
    EXPECT_EQ(D3DXCreateMeshFVF(DWORD(faces.size()), DWORD(positions.size()), options, fvf, Device(), mesh.out()),
              D3D_OK);
    if (!mesh) return mesh;
    const UINT stride = mesh->GetNumBytesPerVertex();
    void* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(0, &data), D3D_OK);
    for (size_t v = 0; v < positions.size(); ++v)
        std::memcpy(static_cast<uint8_t*>(data) + v * stride, positions[v].data(), 12);
    mesh->UnlockVertexBuffer();
    EXPECT_EQ(mesh->LockIndexBuffer(0, &data), D3D_OK);
    const bool use32 = (options & D3DXMESH_32BIT) != 0;
    for (size_t f = 0; f < faces.size(); ++f)
        for (int k = 0; k < 3; ++k) {
            if (use32) {
                std::memcpy(static_cast<uint8_t*>(data) + 4 * (f * 3 + k), &faces[f][k], 4);
            } else {
                const uint16_t v = uint16_t(faces[f][k]);
                std::memcpy(static_cast<uint8_t*>(data) + 2 * (f * 3 + k), &v, 2);
            }
        }
    mesh->UnlockIndexBuffer();
    DWORD* attr = nullptr;
    EXPECT_EQ(mesh->LockAttributeBuffer(0, &attr), D3D_OK);
    for (size_t f = 0; f < faces.size(); ++f) attr[f] = f < attributes.size() ? attributes[f] : 0;
    mesh->UnlockAttributeBuffer();
    return mesh;
}

::testing::AssertionResult Near(const D3DXVECTOR3& actual, const V3& expected, float tolerance) {
    if (std::fabs(actual.x - expected[0]) <= tolerance && std::fabs(actual.y - expected[1]) <= tolerance &&
        std::fabs(actual.z - expected[2]) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z
                                         << ") is not near (" << expected[0] << ", " << expected[1] << ", "
                                         << expected[2] << ")";
}

const std::vector<Enc>& AllEncodings() {
    static const std::vector<Enc> all = {Enc::Text, Enc::Binary, Enc::Binary64, Enc::BinarySplit, Enc::TextZip,
                                         Enc::BinaryZip};
    return all;
}

}  // namespace xmeshtest
