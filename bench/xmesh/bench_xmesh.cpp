// D3DXLoadMeshFromX on large generated models (two frames, each placing a grid of quads with
// normals, texture coordinates and two materials), in text and in binary; Assimp reads the same
// files for comparison. Also a ray against the loaded mesh, as picking does every frame.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#if MORVANE_BENCH_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

namespace {

// Vertices per side of each grid (two grids need 32-bit indices): text files of about 16, 40
// and 70 MB.
constexpr int kGrids[] = {250, 400, 520};

struct Grid {
    std::vector<float> positions, normals, coords;
    std::vector<uint32_t> quads;  // 4 per face
    std::vector<uint32_t> materials;
    uint32_t vertices() const { return uint32_t(positions.size() / 3); }
    uint32_t faces() const { return uint32_t(quads.size() / 4); }
};

Grid MakeGrid(int side) {
    Grid g;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const float u = float(x) / (side - 1), v = float(y) / (side - 1);
            g.positions.insert(g.positions.end(), {u * 10.0f, (u - v) * 0.5f, v * 10.0f});
            g.normals.insert(g.normals.end(), {0.0f, 1.0f, 0.0f});
            g.coords.insert(g.coords.end(), {u, v});
        }
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const uint32_t a = uint32_t(y * side + x);
            g.quads.insert(g.quads.end(), {a, a + side, a + side + 1, a + 1});
            g.materials.push_back(uint32_t((x / 16 + y / 16) % 2));
        }
    return g;
}

// ---- text

void Floats(std::string& s, const std::vector<float>& v, size_t per) {
    char buf[32];
    const size_t n = v.size() / per;
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k < per; ++k) {
            std::snprintf(buf, sizeof buf, "%.6f;", double(v[i * per + k]));
            s += buf;
        }
        s += i + 1 < n ? ",\n" : ";\n";
    }
}

void Quads(std::string& s, const std::vector<uint32_t>& q) {
    const size_t n = q.size() / 4;
    for (size_t i = 0; i < n; ++i)
        s += "4;" + std::to_string(q[4 * i]) + "," + std::to_string(q[4 * i + 1]) + "," + std::to_string(q[4 * i + 2]) +
             "," + std::to_string(q[4 * i + 3]) + (i + 1 < n ? ";,\n" : ";;\n");
}

const char* const kMaterialsText =
    "Material Grass {\n0.2;0.8;0.2;1.0;;\n8.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\nTextureFilename { \"grass.png\"; }\n}\n"
    "Material Stone {\n0.5;0.5;0.5;1.0;;\n4.0;\n0.1;0.1;0.1;;\n0.0;0.0;0.0;;\n}\n";

std::string MeshText(const Grid& g, const std::string& name) {
    std::string s = "Mesh " + name + " {\n" + std::to_string(g.vertices()) + ";\n";
    Floats(s, g.positions, 3);
    s += std::to_string(g.faces()) + ";\n";
    Quads(s, g.quads);
    s += "MeshNormals {\n" + std::to_string(g.vertices()) + ";\n";
    Floats(s, g.normals, 3);
    s += std::to_string(g.faces()) + ";\n";
    Quads(s, g.quads);
    s += "}\nMeshTextureCoords {\n" + std::to_string(g.vertices()) + ";\n";
    Floats(s, g.coords, 2);
    s += "}\nMeshMaterialList {\n2;\n" + std::to_string(g.faces()) + ";\n";
    for (size_t i = 0; i < g.materials.size(); ++i)
        s += std::to_string(g.materials[i]) + (i + 1 < g.materials.size() ? ",\n" : ";\n");
    return s + kMaterialsText + "}\n}\n";
}

std::string TextFile(const Grid& g) {
    std::string s = "xof 0303txt 0032\n";
    s += "Frame Left {\nFrameTransformMatrix {\n"
         "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,-10.0,0.0,0.0,1.0;;\n}\n" +
         MeshText(g, "GridLeft") + "}\n";
    s += "Frame Right {\nFrameTransformMatrix {\n"
         "0.0,0.0,-1.0,0.0,0.0,1.0,0.0,0.0,1.0,0.0,0.0,0.0,10.0,0.0,0.0,1.0;;\n}\n" +
         MeshText(g, "GridRight") + "}\n";
    return s;
}

// ---- binary

struct Bin {
    std::string s = "xof 0303bin 0032";
    void Word(uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
    void Dword(uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
    void Name(const char* n) {
        Word(1);
        Dword(uint32_t(std::strlen(n)));
        s += n;
    }
    void Open(const char* type, const char* objectName = nullptr) {
        Name(type);
        if (objectName) Name(objectName);
        Word(10);
    }
    void Close() { Word(11); }
    void Ints(const std::vector<uint32_t>& v) {
        Word(6);
        Dword(uint32_t(v.size()));
        s.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
    }
    void Floats(const std::vector<float>& v) {
        Word(7);
        Dword(uint32_t(v.size()));
        s.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
    }
    void String(const char* v) {
        Word(2);
        Dword(uint32_t(std::strlen(v)));
        s += v;
        Word(20);
    }
};

std::vector<uint32_t> FaceList(const Grid& g) {
    std::vector<uint32_t> v{g.faces()};
    for (size_t i = 0; i < g.faces(); ++i) v.insert(v.end(), {4, g.quads[4 * i], g.quads[4 * i + 1], g.quads[4 * i + 2], g.quads[4 * i + 3]});
    return v;
}

void MeshBinary(Bin& b, const Grid& g, const char* name) {
    b.Open("Mesh", name);
    b.Ints({g.vertices()});
    b.Floats(g.positions);
    b.Ints(FaceList(g));
    b.Open("MeshNormals");
    b.Ints({g.vertices()});
    b.Floats(g.normals);
    b.Ints(FaceList(g));
    b.Close();
    b.Open("MeshTextureCoords");
    b.Ints({g.vertices()});
    b.Floats(g.coords);
    b.Close();
    b.Open("MeshMaterialList");
    std::vector<uint32_t> list{2, g.faces()};
    list.insert(list.end(), g.materials.begin(), g.materials.end());
    b.Ints(list);
    b.Open("Material", "Grass");
    b.Floats({0.2f, 0.8f, 0.2f, 1, 8, 0, 0, 0, 0, 0, 0});
    b.Open("TextureFilename");
    b.String("grass.png");
    b.Close();
    b.Close();
    b.Open("Material", "Stone");
    b.Floats({0.5f, 0.5f, 0.5f, 1, 4, 0.1f, 0.1f, 0.1f, 0, 0, 0});
    b.Close();
    b.Close();
    b.Close();
}

std::string BinaryFile(const Grid& g) {
    Bin b;
    b.Open("Frame", "Left");
    b.Open("FrameTransformMatrix");
    b.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -10, 0, 0, 1});
    b.Close();
    MeshBinary(b, g, "GridLeft");
    b.Close();
    b.Open("Frame", "Right");
    b.Open("FrameTransformMatrix");
    b.Floats({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 10, 0, 0, 1});
    b.Close();
    MeshBinary(b, g, "GridRight");
    b.Close();
    return b.s;
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// A private folder for the files and a device, made once; the files of a size when first asked for.
struct Setup {
    std::string folder;
    IDirect3DDevice9* device = nullptr;

    const std::string& File(bool binary, int grid) {
        static std::map<std::pair<bool, int>, std::string> paths;
        std::string& path = paths[{binary, grid}];
        if (path.empty()) {
            path = folder + "/grid" + std::to_string(grid) + (binary ? "_binary.x" : "_text.x");
            const Grid g = MakeGrid(grid);
            std::ofstream(path, std::ios::binary) << (binary ? BinaryFile(g) : TextFile(g));
        }
        return path;
    }

    Setup() {
        std::string templ = (std::filesystem::temp_directory_path() / "morvane_xmesh_bench_XXXXXX").string();
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) return;
        folder = buf.data();

        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "XMeshBench";
        RegisterClassExA(&wc);
        HWND hwnd = CreateWindowExA(0, "XMeshBench", "bench", WS_OVERLAPPED, 0, 0, 64, 64, nullptr, nullptr, nullptr,
                                    nullptr);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!hwnd || !d3d) return;
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device);
        d3d->Release();
    }
    ~Setup() {
        if (device) device->Release();
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int grid : kGrids) b->Arg(grid);
}

void Load(benchmark::State& state, bool binary) {
    Setup& s = Shared();
    if (!s.device) {
        state.SkipWithError("no device (is a display there?)");
        return;
    }
    const std::string& path = s.File(binary, int(state.range(0)));
    for (auto _ : state) {
        ID3DXMesh* mesh = nullptr;
        ID3DXBuffer *adjacency = nullptr, *materials = nullptr;
        DWORD count = 0;
        if (FAILED(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, s.device, &adjacency, &materials, nullptr,
                                      &count, &mesh))) {
            state.SkipWithError("the load failed");
            break;
        }
        benchmark::DoNotOptimize(mesh->GetNumFaces());
        mesh->Release();
        adjacency->Release();
        materials->Release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(path)));
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_LoadMeshText(benchmark::State& state) { Load(state, false); }
void BM_LoadMeshBinary(benchmark::State& state) { Load(state, true); }
BENCHMARK(BM_LoadMeshText)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMeshBinary)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void BM_IntersectLoadedMesh(benchmark::State& state) {
    Setup& s = Shared();
    ID3DXMesh* mesh = nullptr;
    if (!s.device || FAILED(D3DXLoadMeshFromXA(s.File(true, kGrids[0]).c_str(), D3DXMESH_SYSTEMMEM, s.device, nullptr, nullptr,
                                               nullptr, nullptr, &mesh))) {
        state.SkipWithError("the load failed");
        return;
    }
    const D3DXVECTOR3 from(-5.0f, 20.0f, 5.0f), down(0.0f, -1.0f, 0.0f);
    for (auto _ : state) {
        BOOL hit = FALSE;
        float dist = 0;
        D3DXIntersect(mesh, &from, &down, &hit, nullptr, nullptr, nullptr, &dist, nullptr, nullptr);
        benchmark::DoNotOptimize(dist);
    }
    state.counters["faces"] = double(mesh->GetNumFaces());
    mesh->Release();
}
BENCHMARK(BM_IntersectLoadedMesh)->Unit(benchmark::kMillisecond);

#if MORVANE_BENCH_ASSIMP
void AssimpLoad(benchmark::State& state, bool binary) {
    Setup& s = Shared();
    const std::string& path = s.File(binary, int(state.range(0)));
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
        if (!scene) {
            state.SkipWithError(importer.GetErrorString());
            break;
        }
        benchmark::DoNotOptimize(scene->mNumMeshes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(std::filesystem::file_size(path)));
    state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
}

void BM_AssimpText(benchmark::State& state) { AssimpLoad(state, false); }
void BM_AssimpBinary(benchmark::State& state) { AssimpLoad(state, true); }
BENCHMARK(BM_AssimpText)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpBinary)->Apply(Sizes)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
