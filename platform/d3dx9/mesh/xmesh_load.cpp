// D3DXLoadMeshFromX, D3DXLoadMeshFromXof and D3DXLoadSkinMeshFromXof: Mesh objects of .x files
// turned into one D3DX mesh, with materials, effect instances, adjacency and skin information.
#include <d3dx9mesh.h>
#include <d3dx9xof.h>
#include <rmxfguid.h>
#include <rmxftmpl.h>

#include "d3dx9/mesh/blob.h"
#include "d3dx9/mesh/mesh.h"
#include "d3dx9/mesh/skin_info.h"
#include "d3dx9/mesh/xmesh_reader.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <unordered_map>

namespace platform::d3dx9::xmesh {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
// Most vertices and triangles one load builds: a file whose meshes (references included) add up
// to more is refused rather than exhausting memory.
constexpr uint64_t kMaxLoadedVertices = uint64_t(1) << 22;
constexpr uint64_t kMaxLoadedFaces = uint64_t(1) << 22;
// Deepest frame nesting followed.
constexpr unsigned kMaxFrameDepth = 256;

template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p_) p_->Release();
    }
    T** Out() { return &p_; }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T* Detach() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};

// A Mesh object with its corners assigned to output vertices: the vertex of a position keeps the
// position's number; a position met again with another normal gets a copy numbered after all
// the positions.
struct Prepared {
    std::shared_ptr<const XMesh> mesh;
    std::vector<uint32_t> vertexOf;      // per corner: vertex number within the mesh; empty: no copies
    std::vector<uint32_t> slotNormal;    // per position: the normal its own vertex carries
    std::vector<uint32_t> copyPosition;  // per copy: its position
    std::vector<uint32_t> copyNormal;    // per copy: its normal
    uint64_t triangles = 0;

    size_t VertexCount() const { return mesh->positions.size() + copyPosition.size(); }
};

std::shared_ptr<Prepared> Prepare(std::shared_ptr<const XMesh> mesh) {
    auto p = std::make_shared<Prepared>();
    const XMesh& m = *mesh;
    p->mesh = std::move(mesh);
    p->slotNormal.assign(m.positions.size(), kNone);
    std::unordered_map<uint64_t, uint32_t> copies;
    for (size_t f = 0; f < m.FaceCount(); ++f) {
        const uint32_t begin = m.faceStart[f], end = m.faceStart[f + 1];
        if (end - begin < 3) continue;  // points and lines are dropped
        p->triangles += end - begin - 2;
        for (uint32_t i = begin; i < end; ++i) {
            if (!m.hasNormals) continue;
            const uint32_t position = m.corners[i];
            const uint32_t normal = m.NormalAt(i);
            if (p->slotNormal[position] == kNone) p->slotNormal[position] = normal;
            if (p->slotNormal[position] == normal) continue;
            const uint64_t key = (uint64_t(position) << 32) | normal;
            auto found = copies.find(key);
            if (found == copies.end()) {
                const uint32_t copy = uint32_t(m.positions.size() + p->copyPosition.size());
                found = copies.emplace(key, copy).first;
                p->copyPosition.push_back(position);
                p->copyNormal.push_back(normal);
            }
            if (p->vertexOf.empty()) p->vertexOf = m.corners;  // the corners so far kept their positions
            p->vertexOf[i] = found->second;
        }
    }
    return p;
}

struct Placement {
    std::shared_ptr<const Prepared> part;
    D3DXMATRIX world;
    bool identity = true;
};

// Transforms normals as the inverse transpose of a matrix's 3 x 3 part does, keeping their
// lengths: the cofactors, with the sign of the determinant, give that direction even for a
// matrix with no inverse.
struct NormalTransform {
    double m[3][3];
    explicit NormalTransform(const D3DXMATRIX& a) {
        auto at = [&](int r, int c) { return double(a.m[r][c]); };
        double cof[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
                cof[r][c] = at(r1, c1) * at(r2, c2) - at(r1, c2) * at(r2, c1);
            }
        const double det = at(0, 0) * cof[0][0] + at(0, 1) * cof[0][1] + at(0, 2) * cof[0][2];
        const double sign = det < 0.0 ? -1.0 : 1.0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                m[r][c] = sign * cof[r][c];
                keeps = keeps && m[r][c] == (r == c ? 1.0 : 0.0);
            }
    }
    bool keeps = true;  // the matrix only moves: normals stay as they are
    D3DXVECTOR3 Apply(const D3DXVECTOR3& n) const {
        if (keeps) return n;
        double out[3];
        for (int c = 0; c < 3; ++c) out[c] = n.x * m[0][c] + n.y * m[1][c] + n.z * m[2][c];
        const double in = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        const double len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
        const double scale = len > 0.0 ? in / len : 0.0;
        return D3DXVECTOR3(float(out[0] * scale), float(out[1] * scale), float(out[2] * scale));
    }
};

D3DXVECTOR3 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    double out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = double(p.x) * m.m[0][c] + double(p.y) * m.m[1][c] + double(p.z) * m.m[2][c] + m.m[3][c];
    return D3DXVECTOR3(float(out[0]), float(out[1]), float(out[2]));
}

Material DefaultMaterial() {
    Material m;
    m.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    return m;
}

// The merged mesh's layout, counts and materials, worked out before any vertex is written.
struct Layout {
    VertexFormat format;
    uint64_t vertices = 0;
    uint64_t faces = 0;
    std::vector<Material> materials;     // empty: the file has none
    std::vector<uint32_t> materialBase;  // per part: its first attribute
    bool need32 = false;
};

HRESULT Plan(const std::vector<Placement>& parts, Layout* out) {
    bool normals = false, texcoords = false, colors = false, materials = false;
    for (const Placement& p : parts) {
        const XMesh& m = *p.part->mesh;
        out->vertices += p.part->VertexCount();
        out->faces += p.part->triangles;
        normals |= m.hasNormals;
        texcoords |= m.hasTexcoords;
        colors |= m.hasColors;
        materials |= m.hasMaterials;
        if (out->vertices > kMaxLoadedVertices || out->faces > kMaxLoadedFaces) return E_OUTOFMEMORY;
    }
    if (out->faces == 0) return D3DXERR_LOADEDMESHASNODATA;

    // The layout follows the file: normals, colours and coordinates when any mesh has them.
    DWORD fvf = D3DFVF_XYZ;
    if (normals) fvf |= D3DFVF_NORMAL;
    if (colors) fvf |= D3DFVF_DIFFUSE;
    if (texcoords) fvf |= D3DFVF_TEX1;
    out->format.FromFvf(fvf);
    out->need32 = out->vertices > kMax16BitVertices;

    out->materialBase.assign(parts.size(), 0);
    if (!materials) return D3D_OK;
    uint32_t defaultMaterial = kNone;
    for (size_t i = 0; i < parts.size(); ++i) {
        const XMesh& m = *parts[i].part->mesh;
        if (m.hasMaterials) {
            out->materialBase[i] = uint32_t(out->materials.size());
            out->materials.insert(out->materials.end(), m.materials.begin(), m.materials.end());
        } else {
            if (defaultMaterial == kNone) {
                defaultMaterial = uint32_t(out->materials.size());
                out->materials.push_back(DefaultMaterial());
            }
            out->materialBase[i] = defaultMaterial;
        }
    }
    return D3D_OK;
}

// Where the merged mesh goes: the locked buffers of the new mesh, and per vertex the file
// position it came from over all parts (`pointReps`) and within its Mesh object (`source`),
// each when asked for.
template <class Index>
struct Target {
    uint8_t* vertices;
    Index* indices;
    DWORD* attributes;
    uint32_t* pointReps;
    uint32_t* source;
};

// Writes the placed meshes into one vertex layout, index list and attribute list. The vertex
// memory starts zeroed: elements a part lacks stay 0.
template <class Index>
void Fill(const std::vector<Placement>& parts, const Layout& layout, const Target<Index>& t) {
    const UINT stride = layout.format.stride;
    const int normalAt = layout.format.Float3Offset(D3DDECLUSAGE_NORMAL);
    const D3DVERTEXELEMENT9* colorElement = layout.format.Find(D3DDECLUSAGE_COLOR);
    const D3DVERTEXELEMENT9* texElement = layout.format.Find(D3DDECLUSAGE_TEXCOORD);
    const bool materials = !layout.materials.empty();
    Index* index = t.indices;
    DWORD* attribute = t.attributes;
    uint32_t positionBase = 0;
    size_t vertexBase = 0;
    for (size_t part = 0; part < parts.size(); ++part) {
        const Placement& p = parts[part];
        const Prepared& prep = *p.part;
        const XMesh& m = *prep.mesh;
        const uint32_t materialBase = layout.materialBase[part];
        const NormalTransform normalTransform(p.world);
        const std::vector<uint32_t>& vertexOf = prep.vertexOf.empty() ? m.corners : prep.vertexOf;
        const size_t count = prep.VertexCount();
        uint8_t* vertex = t.vertices + vertexBase * stride;
        for (size_t v = 0; v < count; ++v, vertex += stride) {
            const bool copy = v >= m.positions.size();
            const uint32_t position = copy ? prep.copyPosition[v - m.positions.size()] : uint32_t(v);
            const uint32_t normal = copy ? prep.copyNormal[v - m.positions.size()] : prep.slotNormal[v];
            const D3DXVECTOR3 at = p.identity ? m.positions[position] : TransformPoint(m.positions[position], p.world);
            std::memcpy(vertex, &at, 12);
            if (normalAt >= 0 && m.hasNormals && normal != kNone) {
                const D3DXVECTOR3 n = p.identity ? m.normals[normal] : normalTransform.Apply(m.normals[normal]);
                std::memcpy(vertex + normalAt, &n, 12);
            }
            if (colorElement) {
                const D3DCOLOR color = m.hasColors ? m.colors[position] : 0xFFFFFFFF;
                std::memcpy(vertex + colorElement->Offset, &color, 4);
            }
            if (texElement && m.hasTexcoords) std::memcpy(vertex + texElement->Offset, &m.texcoords[position], 8);
            if (t.pointReps) t.pointReps[vertexBase + v] = positionBase + position;
            if (t.source) t.source[vertexBase + v] = position;
        }
        // Polygons become fans around their first corner.
        for (size_t f = 0; f < m.FaceCount(); ++f) {
            const uint32_t begin = m.faceStart[f], end = m.faceStart[f + 1];
            if (end - begin < 3) continue;
            const DWORD a = materials ? materialBase + (m.hasMaterials ? m.faceMaterials[f] : 0) : 0;
            const Index first = Index(vertexBase + vertexOf[begin]);
            for (uint32_t k = begin + 1; k + 1 < end; ++k) {
                *index++ = first;
                *index++ = Index(vertexBase + vertexOf[k]);
                *index++ = Index(vertexBase + vertexOf[k + 1]);
                *attribute++ = a;
            }
        }
        vertexBase += count;
        positionBase += uint32_t(m.positions.size());
    }
}

HRESULT MaterialBuffer(const std::vector<Material>& materials, LPD3DXBUFFER* out) {
    Blob blob;
    const size_t array = blob.Reserve(materials.size() * sizeof(D3DXMATERIAL));
    for (size_t i = 0; i < materials.size(); ++i) {
        const size_t at = array + i * sizeof(D3DXMATERIAL);
        D3DXMATERIAL entry{};
        entry.MatD3D = materials[i].material;
        blob.Put(at, entry);
        if (materials[i].hasTexture)
            blob.Link(at + offsetof(D3DXMATERIAL, pTextureFilename), blob.AddString(materials[i].texture));
    }
    return blob.Finish(out);
}

// One effect instance per material: the file's own, else one made from the material with its
// colours and power as floats and its texture as the string "Texture0@Name".
HRESULT EffectBuffer(const std::vector<Material>& materials, LPD3DXBUFFER* out) {
    std::vector<std::vector<EffectParam>> params(materials.size());
    for (size_t i = 0; i < materials.size(); ++i) {
        const Material& m = materials[i];
        if (m.hasEffect) {
            params[i] = m.params;
            continue;
        }
        auto floats = [](const char* name, std::initializer_list<float> values) {
            EffectParam p;
            p.name = name;
            p.type = D3DXEDT_FLOATS;
            p.value.resize(values.size() * 4);
            std::memcpy(p.value.data(), values.begin(), p.value.size());
            return p;
        };
        const D3DMATERIAL9& d = m.material;
        params[i].push_back(floats("Diffuse", {d.Diffuse.r, d.Diffuse.g, d.Diffuse.b, d.Diffuse.a}));
        params[i].push_back(floats("Power", {d.Power}));
        params[i].push_back(floats("Specular", {d.Specular.r, d.Specular.g, d.Specular.b}));
        params[i].push_back(floats("Emissive", {d.Emissive.r, d.Emissive.g, d.Emissive.b}));
        if (m.hasTexture) {
            EffectParam p;
            p.name = "Texture0@Name";
            p.type = D3DXEDT_STRING;
            p.value.assign(m.texture.begin(), m.texture.end());
            p.value.push_back(0);
            params[i].push_back(std::move(p));
        }
    }
    Blob blob;
    const size_t array = blob.Reserve(materials.size() * sizeof(D3DXEFFECTINSTANCE));
    for (size_t i = 0; i < materials.size(); ++i) {
        const size_t at = array + i * sizeof(D3DXEFFECTINSTANCE);
        D3DXEFFECTINSTANCE instance{};
        instance.NumDefaults = DWORD(params[i].size());
        blob.Put(at, instance);
        if (materials[i].hasEffect && materials[i].hasEffectFile)
            blob.Link(at + offsetof(D3DXEFFECTINSTANCE, pEffectFilename), blob.AddString(materials[i].effectFile));
        if (params[i].empty()) continue;
        const size_t defaults = blob.Reserve(params[i].size() * sizeof(D3DXEFFECTDEFAULT));
        blob.Link(at + offsetof(D3DXEFFECTINSTANCE, pDefaults), defaults);
        for (size_t k = 0; k < params[i].size(); ++k) {
            const EffectParam& p = params[i][k];
            const size_t slot = defaults + k * sizeof(D3DXEFFECTDEFAULT);
            D3DXEFFECTDEFAULT entry{};
            entry.Type = p.type;
            entry.NumBytes = DWORD(p.value.size());
            blob.Put(slot, entry);
            blob.Link(slot + offsetof(D3DXEFFECTDEFAULT, pParamName), blob.AddString(p.name));
            blob.Link(slot + offsetof(D3DXEFFECTDEFAULT, pValue), blob.Add(p.value.data(), p.value.size(), 4));
        }
    }
    return blob.Finish(out);
}

struct Outputs {
    LPD3DXBUFFER* adjacency;
    LPD3DXBUFFER* materials;
    LPD3DXBUFFER* effects;
    DWORD* numMaterials;
    LPD3DXSKININFO* skinInfo;
    LPD3DXMESH* mesh;
};

std::vector<Bone> SkinBones(const XMesh& mesh, const std::vector<uint32_t>& source) {
    // A file vertex moves every vertex made from it.
    std::vector<std::vector<uint32_t>> made(mesh.positions.size());
    for (size_t v = 0; v < source.size(); ++v) made[source[v]].push_back(uint32_t(v));
    std::vector<Bone> bones;
    for (const SkinWeights& w : mesh.bones) {
        Bone bone;
        bone.name = w.bone;
        bone.offset = w.offset;
        for (size_t i = 0; i < w.vertices.size(); ++i)
            for (uint32_t v : made[w.vertices[i]]) {
                bone.vertices.push_back(v);
                bone.weights.push_back(w.weights[i]);
            }
        bones.push_back(std::move(bone));
    }
    return bones;
}

// The buffers of a new mesh locked for writing for the length of a scope.
class MeshLocks {
public:
    explicit MeshLocks(ID3DXMesh* mesh) : mesh_(mesh) {}
    ~MeshLocks() {
        if (attributes_) mesh_->UnlockAttributeBuffer();
        if (indices_) mesh_->UnlockIndexBuffer();
        if (vertices_) mesh_->UnlockVertexBuffer();
    }
    MeshLocks(const MeshLocks&) = delete;
    MeshLocks& operator=(const MeshLocks&) = delete;

    // Takes the three locks; after a failure, those taken are let go with the object.
    HRESULT Lock() {
        HRESULT hr = mesh_->LockVertexBuffer(0, &vertices_);
        if (FAILED(hr)) {
            vertices_ = nullptr;
            return hr;
        }
        if (FAILED(hr = mesh_->LockIndexBuffer(0, &indices_))) {
            indices_ = nullptr;
            return hr;
        }
        if (FAILED(hr = mesh_->LockAttributeBuffer(0, &attributes_))) attributes_ = nullptr;
        return hr;
    }
    uint8_t* Vertices() const { return static_cast<uint8_t*>(vertices_); }
    void* Indices() const { return indices_; }
    DWORD* Attributes() const { return attributes_; }

private:
    ID3DXMesh* mesh_;
    void* vertices_ = nullptr;
    void* indices_ = nullptr;
    DWORD* attributes_ = nullptr;
};

// Builds the mesh and the buffers that were asked for; nothing is handed out unless all of them
// could be made. The parts are let go once written, so that adjacency can use their memory.
HRESULT Finish(std::vector<Placement> parts, DWORD options, IDirect3DDevice9* device, const Outputs& o,
               const XMesh* skinned) {
    try {
        Layout layout;
        HRESULT hr = Plan(parts, &layout);
        if (FAILED(hr)) return hr;
        if (layout.need32) options |= D3DXMESH_32BIT;
        const bool use32 = (options & D3DXMESH_32BIT) != 0;
        const DWORD faces = DWORD(layout.faces);
        Mesh* raw = nullptr;
        hr = Mesh::Create(device, faces, DWORD(layout.vertices), options, layout.format, &raw);
        if (FAILED(hr)) return hr;
        Ref<ID3DXMesh> mesh(raw);

        Ref<ID3DXBuffer> adjacency, materials, effects;
        Ref<ID3DXSkinInfo> skin;
        std::vector<uint32_t> pointReps(o.adjacency ? size_t(layout.vertices) : 0);
        std::vector<uint32_t> source(o.skinInfo ? size_t(layout.vertices) : 0);
        {
            // Written straight into the mesh; adjacency reads the indices there.
            MeshLocks locks(mesh.Get());
            if (FAILED(hr = locks.Lock())) return hr;
            uint32_t* reps = o.adjacency ? pointReps.data() : nullptr;
            uint32_t* from = o.skinInfo ? source.data() : nullptr;
            if (use32)
                Fill(parts, layout, Target<uint32_t>{locks.Vertices(), static_cast<uint32_t*>(locks.Indices()),
                                                     locks.Attributes(), reps, from});
            else
                Fill(parts, layout, Target<uint16_t>{locks.Vertices(), static_cast<uint16_t*>(locks.Indices()),
                                                     locks.Attributes(), reps, from});
            std::vector<Placement>().swap(parts);
            if (o.adjacency) {
                if (FAILED(hr = D3DXCreateBuffer(faces * 3 * sizeof(DWORD), adjacency.Out()))) return hr;
                auto* out = static_cast<DWORD*>(adjacency->GetBufferPointer());
                if (use32)
                    AdjacencyFromPointReps(static_cast<const uint32_t*>(locks.Indices()), faces, pointReps, out);
                else
                    AdjacencyFromPointReps(static_cast<const uint16_t*>(locks.Indices()), faces, pointReps, out);
            }
        }
        // A file without materials gives none (and no effect instances); its faces are all 0.
        if (o.materials && !layout.materials.empty())
            if (FAILED(hr = MaterialBuffer(layout.materials, materials.Out()))) return hr;
        if (o.effects && !layout.materials.empty())
            if (FAILED(hr = EffectBuffer(layout.materials, effects.Out()))) return hr;
        if (o.skinInfo) {
            SkinInfo* info = new SkinInfo(DWORD(layout.vertices), layout.format.fvf,
                                          skinned ? SkinBones(*skinned, source) : std::vector<Bone>());
            *skin.Out() = info;
        }

        *o.mesh = mesh.Detach();
        if (o.adjacency) *o.adjacency = adjacency.Detach();
        if (o.materials) *o.materials = materials.Detach();
        if (o.effects) *o.effects = effects.Detach();
        if (o.numMaterials) *o.numMaterials = DWORD(layout.materials.size());
        if (o.skinInfo) *o.skinInfo = skin.Detach();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

// Collects the meshes of a file with their places in the frame hierarchy.
class Walker {
public:
    std::vector<Placement> parts;

    HRESULT Top(ID3DXFileEnumObject* objects) {
        SIZE_T count = 0;
        HRESULT hr = objects->GetChildren(&count);
        if (FAILED(hr)) return hr;
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        for (SIZE_T i = 0; i < count; ++i) {
            Ref<ID3DXFileData> child;
            if (FAILED(hr = objects->GetChild(i, child.Out()))) return hr;
            if (FAILED(hr = Visit(child.Get(), identity, true, 0))) return hr;
        }
        return D3D_OK;
    }

private:
    // A Mesh is placed where its frame puts it; a Frame (not a reference to one) is entered.
    HRESULT Visit(ID3DXFileData* data, const D3DXMATRIX& world, bool identity, unsigned depth) {
        const GUID type = TypeOf(data);
        if (type == TID_D3DRMMesh) return AddMesh(data, world, identity);
        if (type == TID_D3DRMFrame && !data->IsReference()) return Frame(data, world, identity, depth + 1);
        return D3D_OK;
    }

    HRESULT Frame(ID3DXFileData* frame, const D3DXMATRIX& parent, bool parentIdentity, unsigned depth) {
        if (depth > kMaxFrameDepth) return D3DXERR_INVALIDDATA;
        SIZE_T count = 0;
        HRESULT hr = frame->GetChildren(&count);
        if (FAILED(hr)) return hr;
        // The frame's own transform comes first, wherever it is written among the children.
        D3DXMATRIX world = parent;
        bool identity = parentIdentity;
        for (SIZE_T i = 0; i < count; ++i) {
            Ref<ID3DXFileData> child;
            if (FAILED(hr = frame->GetChild(i, child.Out()))) return hr;
            if (!(TypeOf(child.Get()) == TID_D3DRMFrameTransformMatrix)) continue;
            D3DXMATRIX local;
            if (FAILED(hr = ReadMatrix(child.Get(), &local))) return hr;
            D3DXMatrixMultiply(&world, &local, &parent);
            identity = parentIdentity && D3DXMatrixIsIdentity(&local);
            break;
        }
        for (SIZE_T i = 0; i < count; ++i) {
            Ref<ID3DXFileData> child;
            if (FAILED(hr = frame->GetChild(i, child.Out()))) return hr;
            if (FAILED(hr = Visit(child.Get(), world, identity, depth))) return hr;
        }
        return D3D_OK;
    }

    HRESULT AddMesh(ID3DXFileData* data, const D3DXMATRIX& world, bool identity) {
        // The same object met again (through references) is read once.
        SIZE_T size = 0;
        const void* key = nullptr;
        HRESULT hr = data->Lock(&size, &key);
        if (FAILED(hr)) return hr;
        data->Unlock();
        auto found = cache_.find(key);
        if (found == cache_.end()) {
            auto mesh = std::make_shared<XMesh>();
            if (FAILED(hr = ReadMesh(data, mesh.get()))) return hr;
            found = cache_.emplace(key, Prepare(std::move(mesh))).first;
        }
        parts.push_back(Placement{found->second, world, identity});
        return D3D_OK;
    }

    std::unordered_map<const void*, std::shared_ptr<const Prepared>> cache_;
};

HRESULT LoadOne(ID3DXFileData* data, DWORD options, IDirect3DDevice9* device, const Outputs& o) {
    if (!data || !device || !o.mesh) return D3DERR_INVALIDCALL;
    try {
        auto mesh = std::make_shared<XMesh>();
        HRESULT hr = ReadMesh(data, mesh.get());
        if (FAILED(hr)) return hr;
        Placement placement;
        D3DXMatrixIdentity(&placement.world);
        placement.part = Prepare(mesh);
        return Finish({placement}, options, device, o, mesh.get());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

}  // namespace platform::d3dx9::xmesh

using platform::d3dx9::xmesh::Outputs;

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                  LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                  LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    using namespace platform::d3dx9::xmesh;
    if (!pFilename || !pD3DDevice || !ppMesh) return D3DERR_INVALIDCALL;
    Ref<ID3DXFile> file;
    HRESULT hr = D3DXFileCreate(file.Out());
    if (FAILED(hr)) return hr;
    if (FAILED(hr = file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES))) return hr;
    Ref<ID3DXFileEnumObject> objects;
    if (FAILED(hr = file->CreateEnumObject(pFilename, D3DXF_FILELOAD_FROMFILE, objects.Out()))) return hr;
    try {
        std::vector<Placement> parts;
        {
            Walker walker;
            if (FAILED(hr = walker.Top(objects.Get()))) return hr;
            parts = std::move(walker.parts);
        }
        // The meshes are read: the file's objects go before the mesh is built, which can use their memory.
        objects.Detach()->Release();
        const Outputs o{ppAdjacency, ppMaterials, ppEffectInstances, pNumMaterials, nullptr, ppMesh};
        return Finish(std::move(parts), Options, pD3DDevice, o, nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI D3DXLoadMeshFromXof(ID3DXFileData* pxofMesh, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                   LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                   LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    const Outputs o{ppAdjacency, ppMaterials, ppEffectInstances, pNumMaterials, nullptr, ppMesh};
    return platform::d3dx9::xmesh::LoadOne(pxofMesh, Options, pD3DDevice, o);
}

HRESULT WINAPI D3DXLoadSkinMeshFromXof(ID3DXFileData* pxofMesh, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                       LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                       LPD3DXBUFFER* ppEffectInstances, DWORD* pMatOut,
                                       LPD3DXSKININFO* ppSkinInfo, LPD3DXMESH* ppMesh) {
    if (!ppSkinInfo) return D3DERR_INVALIDCALL;
    const Outputs o{ppAdjacency, ppMaterials, ppEffectInstances, pMatOut, ppSkinInfo, ppMesh};
    return platform::d3dx9::xmesh::LoadOne(pxofMesh, Options, pD3DDevice, o);
}
