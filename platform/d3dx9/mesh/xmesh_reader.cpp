#include "d3dx9/mesh/xmesh_reader.h"

#include <rmxfguid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

namespace platform::d3dx9::xmesh {

namespace {

// Thrown inside the reader, turned into the result code at its edge.
struct Failure {
    HRESULT hr;
};
[[noreturn]] void Invalid() { throw Failure{D3DXERR_INVALIDDATA}; }
void Check(HRESULT hr) {
    if (FAILED(hr)) throw Failure{hr == E_OUTOFMEMORY ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA};
}

// Reads packed little-endian values from locked data, never past its end.
class Cursor {
public:
    Cursor(const void* data, size_t size) : p_(static_cast<const uint8_t*>(data)), size_(size) {}

    size_t Left() const { return size_ - pos_; }
    void Need(uint64_t bytes) const {
        if (bytes > Left()) Invalid();
    }
    uint32_t Dword() { return Value<uint32_t>(); }
    uint16_t Word() { return Value<uint16_t>(); }
    float Float() { return Value<float>(); }
    void Floats(float* out, size_t count) {
        Need(uint64_t(count) * 4);
        std::memcpy(out, p_ + pos_, count * 4);
        pos_ += count * 4;
    }
    // A STRING member: a pointer to the reader's own zero-terminated copy, or null.
    std::string String() {
        const char* s = Value<const char*>();
        return s ? std::string(s) : std::string();
    }
    // `count` vectors of N floats each, written once into `out`.
    template <class Vector, size_t N>
    void Vectors(std::vector<Vector>& out, size_t count) {
        Need(uint64_t(count) * N * 4);
        out.clear();
        out.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            float v[N];
            std::memcpy(v, p_ + pos_, sizeof v);
            pos_ += sizeof v;
            out.emplace_back(v);
        }
    }
    // A count of items of at least `itemBytes` each that the data still has room for.
    uint32_t Count(size_t itemBytes) {
        const uint32_t n = Dword();
        Need(uint64_t(n) * itemBytes);
        return n;
    }

private:
    template <class T>
    T Value() {
        Need(sizeof(T));
        T v;
        std::memcpy(&v, p_ + pos_, sizeof v);
        pos_ += sizeof v;
        return v;
    }

    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
};

// The locked data of an object for the length of a scope.
class Locked {
public:
    explicit Locked(ID3DXFileData* data) : data_(data) {
        Check(data_->Lock(&size_, &bytes_));
        if (!bytes_) {
            data_->Unlock();
            Invalid();
        }
    }
    ~Locked() { data_->Unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    Cursor Read() const { return Cursor(bytes_, size_); }

private:
    ID3DXFileData* data_;
    SIZE_T size_ = 0;
    const void* bytes_ = nullptr;
};

class Held {
public:
    explicit Held(ID3DXFileData* p) : p_(p) {}
    ~Held() { p_->Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    ID3DXFileData* p_;
};

// Calls f(child, type) for every child object, references included.
template <class F>
void ForEachChild(ID3DXFileData* data, F&& f) {
    SIZE_T count = 0;
    Check(data->GetChildren(&count));
    for (SIZE_T i = 0; i < count; ++i) {
        ID3DXFileData* child = nullptr;
        Check(data->GetChild(i, &child));
        Held hold(child);
        f(child, TypeOf(child));
    }
}

D3DCOLOR PackColor(const float c[4]) {
    auto q = [](float v) {
        if (!(v > 0.0f)) return 0u;  // NaN too
        if (v >= 1.0f) return 255u;
        return unsigned(std::lround(v * 255.0f));
    };
    return (q(c[3]) << 24) | (q(c[0]) << 16) | (q(c[1]) << 8) | q(c[2]);
}

void ReadNormals(ID3DXFileData* data, XMesh* mesh) {
    Locked locked(data);
    Cursor c = locked.Read();
    const uint32_t count = c.Count(12);
    c.Vectors<D3DXVECTOR3, 3>(mesh->normals, count);
    const uint32_t faces = c.Count(4);
    if (faces != mesh->FaceCount()) Invalid();  // one normal face per face
    // Normals numbered as the positions are (the usual case) are not stored again.
    std::vector<uint32_t>& out = mesh->normalCorners;
    out.clear();
    for (uint32_t f = 0; f < faces; ++f) {
        const uint32_t n = c.Count(4);
        const uint32_t begin = mesh->faceStart[f];
        if (n != mesh->faceStart[f + 1] - begin) Invalid();  // one normal per corner
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t index = c.Dword();
            if (index >= count) Invalid();
            if (out.empty() && index != mesh->corners[begin + k]) {
                out.reserve(mesh->corners.size());
                out.assign(mesh->corners.begin(), mesh->corners.begin() + begin + k);
            }
            if (!out.empty() || index != mesh->corners[begin + k]) out.push_back(index);
        }
    }
    mesh->hasNormals = true;
}

void ReadTexcoords(ID3DXFileData* data, XMesh* mesh) {
    Locked locked(data);
    Cursor c = locked.Read();
    const uint32_t count = c.Count(8);
    if (count != mesh->positions.size()) Invalid();  // one pair per vertex
    c.Vectors<D3DXVECTOR2, 2>(mesh->texcoords, count);
    mesh->hasTexcoords = true;
}

void ReadColors(ID3DXFileData* data, XMesh* mesh) {
    Locked locked(data);
    Cursor c = locked.Read();
    const uint32_t count = c.Count(20);
    mesh->colors.assign(mesh->positions.size(), 0xFFFFFFFF);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = c.Dword();
        float rgba[4];
        c.Floats(rgba, 4);
        if (index >= mesh->positions.size()) Invalid();
        mesh->colors[index] = PackColor(rgba);
    }
    mesh->hasColors = true;
}

void ReadEffectInstance(ID3DXFileData* data, Material* material) {
    {
        Locked locked(data);
        Cursor c = locked.Read();
        material->hasEffectFile = true;
        material->effectFile = c.String();
    }
    material->hasEffect = true;
    ForEachChild(data, [&](ID3DXFileData* child, const GUID& type) {
        EffectParam param;
        if (type == DXFILEOBJ_EffectParamString) {
            Locked locked(child);
            Cursor c = locked.Read();
            param.name = c.String();
            const std::string value = c.String();
            param.type = D3DXEDT_STRING;
            param.value.assign(value.begin(), value.end());
            param.value.push_back(0);
        } else if (type == DXFILEOBJ_EffectParamFloats) {
            Locked locked(child);
            Cursor c = locked.Read();
            param.name = c.String();
            const uint32_t count = c.Count(4);
            param.type = D3DXEDT_FLOATS;
            param.value.resize(size_t(count) * 4);
            if (count) c.Floats(reinterpret_cast<float*>(param.value.data()), count);
        } else if (type == DXFILEOBJ_EffectParamDWord) {
            Locked locked(child);
            Cursor c = locked.Read();
            param.name = c.String();
            const uint32_t value = c.Dword();
            param.type = D3DXEDT_DWORD;
            param.value.resize(4);
            std::memcpy(param.value.data(), &value, 4);
        } else {
            return;
        }
        material->params.push_back(std::move(param));
    });
}

Material ReadMaterial(ID3DXFileData* data) {
    Material m;
    {
        Locked locked(data);
        Cursor c = locked.Read();
        float v[11];
        c.Floats(v, 11);
        m.material.Diffuse = {v[0], v[1], v[2], v[3]};
        m.material.Power = v[4];
        m.material.Specular = {v[5], v[6], v[7], 1.0f};
        m.material.Emissive = {v[8], v[9], v[10], 1.0f};
        // The ambient colour stays 0: programs set it themselves.
    }
    ForEachChild(data, [&](ID3DXFileData* child, const GUID& type) {
        if (type == TID_D3DRMTextureFilename && !m.hasTexture) {
            Locked locked(child);
            Cursor c = locked.Read();
            m.texture = c.String();
            m.hasTexture = !m.texture.empty();
        } else if (type == DXFILEOBJ_EffectInstance && !m.hasEffect) {
            ReadEffectInstance(child, &m);
        }
    });
    return m;
}

void ReadMaterialList(ID3DXFileData* data, XMesh* mesh) {
    uint32_t count = 0;
    std::vector<uint32_t> indexes;
    {
        Locked locked(data);
        Cursor c = locked.Read();
        count = c.Dword();
        const uint32_t n = c.Count(4);
        indexes.resize(n);
        for (uint32_t i = 0; i < n; ++i) indexes[i] = c.Dword();
    }
    const size_t faces = mesh->FaceCount();
    if (count == 0) {
        if (!indexes.empty()) Invalid();
        return;  // an empty list: no materials
    }
    if (indexes.empty() && faces > 0) Invalid();
    // One material number per face; a shorter list repeats its last entry (a single entry gives
    // every face that material); entries past the faces are not used.
    mesh->faceMaterials.resize(faces);
    for (size_t f = 0; f < faces; ++f) {
        const uint32_t index = indexes[std::min(f, indexes.size() - 1)];
        if (index >= count) Invalid();
        mesh->faceMaterials[f] = index;
    }
    ForEachChild(data, [&](ID3DXFileData* child, const GUID& type) {
        if (type == TID_D3DRMMaterial && mesh->materials.size() < count)
            mesh->materials.push_back(ReadMaterial(child));
    });
    if (mesh->materials.size() != count) Invalid();  // fewer materials than the list counts
    mesh->hasMaterials = true;
}

void ReadSkinWeights(ID3DXFileData* data, XMesh* mesh) {
    Locked locked(data);
    Cursor c = locked.Read();
    SkinWeights bone;
    bone.bone = c.String();
    const uint32_t count = c.Count(8);
    bone.vertices.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        bone.vertices[i] = c.Dword();
        if (bone.vertices[i] >= mesh->positions.size()) Invalid();
    }
    bone.weights.resize(count);
    if (count) c.Floats(bone.weights.data(), count);
    float m[16];
    c.Floats(m, 16);
    bone.offset = D3DXMATRIX(m);
    mesh->bones.push_back(std::move(bone));
    mesh->hasSkin = true;
}

void ReadMeshObject(ID3DXFileData* data, XMesh* mesh) {
    {
        Locked locked(data);
        Cursor c = locked.Read();
        const uint32_t vertices = c.Count(12);
        c.Vectors<D3DXVECTOR3, 3>(mesh->positions, vertices);
        const uint32_t faces = c.Count(4);
        mesh->faceStart.resize(size_t(faces) + 1);
        mesh->faceStart[0] = 0;
        // Room for triangles and quads alike: every face takes at least two DWORDs of the data.
        mesh->corners.reserve(std::min(size_t(faces) * 4, c.Left() / 4));
        for (uint32_t f = 0; f < faces; ++f) {
            const uint32_t n = c.Count(4);
            for (uint32_t k = 0; k < n; ++k) {
                const uint32_t index = c.Dword();
                if (index >= vertices) Invalid();
                mesh->corners.push_back(index);
            }
            mesh->faceStart[f + 1] = uint32_t(mesh->corners.size());
        }
    }
    bool normals = false, texcoords = false, colors = false, materials = false;
    ForEachChild(data, [&](ID3DXFileData* child, const GUID& type) {
        // The first of each kind counts.
        if (type == TID_D3DRMMeshNormals && !normals) {
            normals = true;
            ReadNormals(child, mesh);
        } else if (type == TID_D3DRMMeshTextureCoords && !texcoords) {
            texcoords = true;
            ReadTexcoords(child, mesh);
        } else if (type == TID_D3DRMMeshVertexColors && !colors) {
            colors = true;
            ReadColors(child, mesh);
        } else if (type == TID_D3DRMMeshMaterialList && !materials) {
            materials = true;
            ReadMaterialList(child, mesh);
        } else if (type == DXFILEOBJ_XSkinMeshHeader) {
            Locked locked(child);
            Cursor c = locked.Read();
            c.Need(6);  // three WORDs; the bones are counted from the SkinWeights themselves
            mesh->hasSkin = true;
        } else if (type == DXFILEOBJ_SkinWeights) {
            ReadSkinWeights(child, mesh);
        }
    });
}

}  // namespace

GUID TypeOf(ID3DXFileData* data) {
    GUID type{};
    if (FAILED(data->GetType(&type))) return GUID{};
    return type;
}

HRESULT ReadMesh(ID3DXFileData* data, XMesh* out) {
    if (!data || !out) return D3DERR_INVALIDCALL;
    if (!(TypeOf(data) == TID_D3DRMMesh)) return D3DXERR_INVALIDDATA;
    try {
        XMesh mesh;
        ReadMeshObject(data, &mesh);
        *out = std::move(mesh);
    } catch (const Failure& f) {
        return f.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT ReadMatrix(ID3DXFileData* data, D3DXMATRIX* out) {
    try {
        Locked locked(data);
        Cursor c = locked.Read();
        float m[16];
        c.Floats(m, 16);
        *out = D3DXMATRIX(m);
    } catch (const Failure& f) {
        return f.hr;
    }
    return D3D_OK;
}

}  // namespace platform::d3dx9::xmesh
