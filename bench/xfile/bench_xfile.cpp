// Reading large generated .x files (a grid mesh with normals, texture coordinates and a material
// list, inside a frame) in text and in binary.
#include <d3dx9xof.h>
#include <rmxftmpl.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#if MORVANE_BENCH_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

namespace {

// Vertices per side of the grid: the text files are about 11, 42 and 70 MB large.
constexpr int kGrids[] = {256, 480, 620};

struct Grid {
    std::vector<float> positions, normals, coords;  // 3, 3 and 2 per vertex
    std::vector<uint32_t> triangles;                // 3 per face
    int vertices() const { return int(positions.size() / 3); }
    int faces() const { return int(triangles.size() / 3); }
};

Grid makeGrid(int side) {
    Grid g;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float u = float(x) / (side - 1), v = float(y) / (side - 1);
            g.positions.insert(g.positions.end(), {u * 10.0f, (u - v) * 0.5f, v * 10.0f});
            g.normals.insert(g.normals.end(), {0.0f, 1.0f, 0.0f});
            g.coords.insert(g.coords.end(), {u, v});
        }
    }
    for (int y = 0; y + 1 < side; ++y) {
        for (int x = 0; x + 1 < side; ++x) {
            const uint32_t a = uint32_t(y * side + x), b = a + 1, c = a + side, d = c + 1;
            g.triangles.insert(g.triangles.end(), {a, c, b, b, c, d});
        }
    }
    return g;
}

// ---- text

void floats(std::string& s, const std::vector<float>& v, int per) {
    char buf[32];
    const size_t n = v.size() / size_t(per);
    for (size_t i = 0; i < n; ++i) {
        for (int k = 0; k < per; ++k) {
            std::snprintf(buf, sizeof buf, "%.6f;", double(v[i * size_t(per) + size_t(k)]));
            s += buf;
        }
        s += i + 1 < n ? ",\n" : ";\n";
    }
}

void faces(std::string& s, const std::vector<uint32_t>& t) {
    const size_t n = t.size() / 3;
    for (size_t i = 0; i < n; ++i) {
        s += "3;" + std::to_string(t[3 * i]) + "," + std::to_string(t[3 * i + 1]) + "," +
             std::to_string(t[3 * i + 2]) + (i + 1 < n ? ";,\n" : ";;\n");
    }
}

std::string textFile(const Grid& g) {
    std::string s = "xof 0303txt 0032\nFrame Root {\nFrameTransformMatrix {\n"
                    "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\n}\n";
    s += "Mesh Grid {\n" + std::to_string(g.vertices()) + ";\n";
    floats(s, g.positions, 3);
    s += std::to_string(g.faces()) + ";\n";
    faces(s, g.triangles);
    s += "MeshNormals {\n" + std::to_string(g.vertices()) + ";\n";
    floats(s, g.normals, 3);
    s += std::to_string(g.faces()) + ";\n";
    faces(s, g.triangles);
    s += "}\nMeshTextureCoords {\n" + std::to_string(g.vertices()) + ";\n";
    floats(s, g.coords, 2);
    s += "}\nMeshMaterialList {\n1;\n" + std::to_string(g.faces()) + ";\n";
    for (int i = 0; i < g.faces(); ++i) s += i + 1 < g.faces() ? "0,\n" : "0;\n";
    s += "Material {\n1.0;1.0;1.0;1.0;;\n8.0;\n0.0;0.0;0.0;;\n0.0;0.0;0.0;;\n"
         "TextureFilename {\n\"grid.png\";\n}\n}\n}\n}\n}\n";
    return s;
}

// ---- binary

struct Bin {
    std::string s = "xof 0303bin 0032";
    void word(uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
    void dword(uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
    void name(const char* n) {
        word(1);
        dword(uint32_t(std::strlen(n)));
        s += n;
    }
    void open(const char* type, const char* objectName = nullptr) {
        name(type);
        if (objectName) name(objectName);
        word(10);
    }
    void close() { word(11); }
    void ints(const std::vector<uint32_t>& v) {
        word(6);
        dword(uint32_t(v.size()));
        s.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
    }
    void floats(const std::vector<float>& v) {
        word(7);
        dword(uint32_t(v.size()));
        s.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
    }
    void string(const char* v) {
        word(2);
        dword(uint32_t(std::strlen(v)));
        s += v;
        word(20);
    }
};

std::vector<uint32_t> faceList(const Grid& g) {
    std::vector<uint32_t> v{uint32_t(g.faces())};
    for (int i = 0; i < g.faces(); ++i) v.insert(v.end(), {3, g.triangles[3 * size_t(i)], g.triangles[3 * size_t(i) + 1], g.triangles[3 * size_t(i) + 2]});
    return v;
}

std::string binaryFile(const Grid& g) {
    Bin b;
    b.open("Frame", "Root");
    b.open("FrameTransformMatrix");
    b.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    b.close();
    b.open("Mesh", "Grid");
    b.ints({uint32_t(g.vertices())});
    b.floats(g.positions);
    b.ints(faceList(g));
    b.open("MeshNormals");
    b.ints({uint32_t(g.vertices())});
    b.floats(g.normals);
    b.ints(faceList(g));
    b.close();
    b.open("MeshTextureCoords");
    b.ints({uint32_t(g.vertices())});
    b.floats(g.coords);
    b.close();
    b.open("MeshMaterialList");
    std::vector<uint32_t> list{1, uint32_t(g.faces())};
    list.resize(list.size() + size_t(g.faces()), 0);
    b.ints(list);
    b.open("Material");
    b.floats({1, 1, 1, 1, 8, 0, 0, 0, 0, 0, 0});
    b.open("TextureFilename");
    b.string("grid.png");
    b.close();
    b.close();
    b.close();
    b.close();
    b.close();
    return b.s;
}

// The files of one grid size, made when first asked for.
const std::string& sample(bool binary, int grid) {
    static std::map<std::pair<bool, int>, std::string> files;
    std::string& file = files[{binary, grid}];
    if (file.empty()) file = binary ? binaryFile(makeGrid(grid)) : textFile(makeGrid(grid));
    return file;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int grid : kGrids) b->Arg(grid);
}

// The reader: register the standard templates, parse, reach the mesh data.
void readerLoad(benchmark::State& state, bool binary) {
    const std::string& bytes = sample(binary, int(state.range(0)));
    for (auto _ : state) {
        ID3DXFile* file = nullptr;
        D3DXFileCreate(&file);
        file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
        D3DXF_FILELOADMEMORY mem{bytes.data(), bytes.size()};
        ID3DXFileEnumObject* objects = nullptr;
        if (FAILED(file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, &objects))) {
            state.SkipWithError("the reader refused the file");
            file->Release();
            break;
        }
        ID3DXFileData *root = nullptr, *mesh = nullptr;
        objects->GetChild(0, &root);
        root->GetChild(1, &mesh);
        SIZE_T size = 0;
        const void* data = nullptr;
        mesh->Lock(&size, &data);
        benchmark::DoNotOptimize(data);
        mesh->Unlock();
        mesh->Release();
        root->Release();
        objects->Release();
        file->Release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

void BM_ReaderText(benchmark::State& state) { readerLoad(state, false); }
void BM_ReaderBinary(benchmark::State& state) { readerLoad(state, true); }
BENCHMARK(BM_ReaderText)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReaderBinary)->Apply(sizes)->Unit(benchmark::kMillisecond);

#if MORVANE_BENCH_ASSIMP
void assimpLoad(benchmark::State& state, bool binary) {
    const std::string& bytes = sample(binary, int(state.range(0)));
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(), 0, "x");
        if (!scene) {
            state.SkipWithError(importer.GetErrorString());
            break;
        }
        benchmark::DoNotOptimize(scene->mNumMeshes);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

void BM_AssimpText(benchmark::State& state) { assimpLoad(state, false); }
void BM_AssimpBinary(benchmark::State& state) { assimpLoad(state, true); }
BENCHMARK(BM_AssimpText)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpBinary)->Apply(sizes)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
