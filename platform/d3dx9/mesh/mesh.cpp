#include "d3dx9/mesh/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>

namespace platform::d3dx9 {

namespace {

constexpr DWORD kNone = 0xFFFFFFFF;

D3DPOOL VertexPool(DWORD options) {
    if (options & D3DXMESH_VB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
    if (options & D3DXMESH_VB_MANAGED) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

D3DPOOL IndexPool(DWORD options) {
    if (options & D3DXMESH_IB_SYSTEMMEM) return D3DPOOL_SYSTEMMEM;
    if (options & D3DXMESH_IB_MANAGED) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

DWORD CommonUsage(DWORD options) {
    DWORD usage = 0;
    if (options & D3DXMESH_DONOTCLIP) usage |= D3DUSAGE_DONOTCLIP;
    if (options & D3DXMESH_POINTS) usage |= D3DUSAGE_POINTS;
    return usage;
}

DWORD VertexUsage(DWORD options) {
    DWORD usage = CommonUsage(options);
    if (options & D3DXMESH_VB_WRITEONLY) usage |= D3DUSAGE_WRITEONLY;
    if (options & D3DXMESH_VB_DYNAMIC) usage |= D3DUSAGE_DYNAMIC;
    if (options & D3DXMESH_VB_SOFTWAREPROCESSING) usage |= D3DUSAGE_SOFTWAREPROCESSING;
    return usage;
}

DWORD IndexUsage(DWORD options) {
    DWORD usage = CommonUsage(options);
    if (options & D3DXMESH_IB_WRITEONLY) usage |= D3DUSAGE_WRITEONLY;
    if (options & D3DXMESH_IB_DYNAMIC) usage |= D3DUSAGE_DYNAMIC;
    if (options & D3DXMESH_IB_SOFTWAREPROCESSING) usage |= D3DUSAGE_SOFTWAREPROCESSING;
    return usage;
}

// Holds a lock on a device buffer for the length of a scope.
template <class Buffer>
class ScopedLock {
public:
    ScopedLock(Buffer* buffer, DWORD flags) : buffer_(buffer) {
        hr_ = buffer_->Lock(0, 0, &data_, flags);
        if (FAILED(hr_)) data_ = nullptr;
    }
    ~ScopedLock() {
        if (data_) buffer_->Unlock();
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    HRESULT Result() const { return hr_; }
    uint8_t* Data() const { return static_cast<uint8_t*>(data_); }

private:
    Buffer* buffer_;
    void* data_ = nullptr;
    HRESULT hr_;
};

}  // namespace

Mesh* AsMesh(ID3DXBaseMesh* mesh) { return dynamic_cast<Mesh*>(mesh); }

Mesh::Mesh(IDirect3DDevice9* device, DWORD options, const VertexFormat& format)
    : device_(device), options_(options), format_(format) {
    device_->AddRef();
}

Mesh::~Mesh() {
    declaration_.Reset();
    vb_.Reset();
    ib_.Reset();
    device_->Release();
}

HRESULT Mesh::Create(IDirect3DDevice9* device, DWORD numFaces, DWORD numVertices, DWORD options,
                     const VertexFormat& format, Mesh** out, IDirect3DVertexBuffer9* sharedVb,
                     std::shared_ptr<const char> shareToken) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!device || numFaces == 0 || numVertices == 0 || format.stride == 0) return D3DERR_INVALIDCALL;
    const bool use32 = (options & D3DXMESH_32BIT) != 0;
    if (!use32 && numVertices > kMax16BitVertices) return D3DERR_INVALIDCALL;
    const uint64_t vbBytes = uint64_t(numVertices) * format.stride;
    const uint64_t ibBytes = uint64_t(numFaces) * 3 * (use32 ? 4 : 2);
    if (vbBytes > kMaxMeshBufferBytes || ibBytes > kMaxMeshBufferBytes) return E_OUTOFMEMORY;

    ComPtr<Mesh> mesh(new (std::nothrow) Mesh(device, options, format));
    if (!mesh) return E_OUTOFMEMORY;
    try {
        mesh->attributes_.assign(numFaces, 0);
        mesh->vbShare_ = shareToken ? std::move(shareToken) : std::make_shared<const char>(0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    mesh->numFaces_ = numFaces;
    mesh->numVertices_ = numVertices;

    if (sharedVb) {
        sharedVb->AddRef();
        mesh->vb_ = ComPtr<IDirect3DVertexBuffer9>(sharedVb);
    } else {
        IDirect3DVertexBuffer9* vb = nullptr;
        HRESULT hr = device->CreateVertexBuffer(UINT(vbBytes), VertexUsage(options), format.fvf,
                                                VertexPool(options), &vb, nullptr);
        if (FAILED(hr)) return hr;
        mesh->vb_ = ComPtr<IDirect3DVertexBuffer9>(vb);
    }
    IDirect3DIndexBuffer9* ib = nullptr;
    HRESULT hr = device->CreateIndexBuffer(UINT(ibBytes), IndexUsage(options),
                                           use32 ? D3DFMT_INDEX32 : D3DFMT_INDEX16, IndexPool(options), &ib,
                                           nullptr);
    if (FAILED(hr)) return hr;
    mesh->ib_ = ComPtr<IDirect3DIndexBuffer9>(ib);

    mesh->AddRef();
    *out = mesh.Get();
    return D3D_OK;
}

HRESULT Mesh::CreateWith(IDirect3DDevice9* device, DWORD options, const VertexFormat& format,
                         const MeshContents& contents, Mesh** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (format.stride == 0 || contents.vertices.size() % format.stride != 0 ||
        contents.indices.size() % 3 != 0 || contents.attributes.size() * 3 != contents.indices.size())
        return D3DERR_INVALIDCALL;
    const uint64_t numVertices = contents.vertices.size() / format.stride;
    const uint64_t numFaces = contents.attributes.size();
    if (numVertices > 0xFFFFFFFFu || numFaces > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    for (uint32_t index : contents.indices)
        if (index >= numVertices) return D3DERR_INVALIDCALL;
    Mesh* mesh = nullptr;
    HRESULT hr = Create(device, DWORD(numFaces), DWORD(numVertices), options, format, &mesh);
    if (FAILED(hr)) return hr;
    hr = mesh->Write(&contents.vertices, contents.indices, contents.attributes);
    if (FAILED(hr)) {
        mesh->Release();
        return hr;
    }
    *out = mesh;
    return D3D_OK;
}

HRESULT Mesh::Read(MeshContents* out) {
    try {
        ScopedLock<IDirect3DVertexBuffer9> v(vb_.Get(), D3DLOCK_READONLY);
        if (FAILED(v.Result())) return v.Result();
        out->vertices.assign(v.Data(), v.Data() + size_t(numVertices_) * format_.stride);
        ScopedLock<IDirect3DIndexBuffer9> i(ib_.Get(), D3DLOCK_READONLY);
        if (FAILED(i.Result())) return i.Result();
        out->indices.resize(size_t(numFaces_) * 3);
        if (Uses32BitIndices()) {
            std::memcpy(out->indices.data(), i.Data(), out->indices.size() * 4);
        } else {
            for (size_t k = 0; k < out->indices.size(); ++k) {
                uint16_t value;
                std::memcpy(&value, i.Data() + 2 * k, 2);
                out->indices[k] = value;
            }
        }
        out->attributes = attributes_;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Mesh::Write(const std::vector<uint8_t>* vertices, const std::vector<uint32_t>& indices,
                    const std::vector<DWORD>& attributes) {
    if (vertices) {
        ScopedLock<IDirect3DVertexBuffer9> v(vb_.Get(), 0);
        if (FAILED(v.Result())) return v.Result();
        std::memcpy(v.Data(), vertices->data(), size_t(numVertices_) * format_.stride);
    }
    ScopedLock<IDirect3DIndexBuffer9> i(ib_.Get(), 0);
    if (FAILED(i.Result())) return i.Result();
    if (Uses32BitIndices()) {
        std::memcpy(i.Data(), indices.data(), size_t(numFaces_) * 3 * 4);
    } else {
        for (size_t k = 0; k < size_t(numFaces_) * 3; ++k) {
            const uint16_t value = uint16_t(indices[k]);
            std::memcpy(i.Data() + 2 * k, &value, 2);
        }
    }
    std::copy(attributes.begin(), attributes.begin() + numFaces_, attributes_.begin());
    return D3D_OK;
}

HRESULT Mesh::DrawSubset(DWORD AttribId) {
    // Drawing reads the buffers: not while the program holds one of them.
    if (Locked()) return D3DERR_INVALIDCALL;
    HRESULT hr;
    if (format_.fvf) {
        hr = device_->SetFVF(format_.fvf);
    } else {
        if (!declaration_) {
            std::vector<D3DVERTEXELEMENT9> elements(format_.elements.size() + 1);
            format_.CopyDeclaration(elements.data());
            IDirect3DVertexDeclaration9* declaration = nullptr;
            hr = device_->CreateVertexDeclaration(elements.data(), &declaration);
            if (FAILED(hr)) return hr;
            declaration_ = ComPtr<IDirect3DVertexDeclaration9>(declaration);
        }
        hr = device_->SetVertexDeclaration(declaration_.Get());
    }
    if (FAILED(hr)) return hr;
    if (FAILED(hr = device_->SetStreamSource(0, vb_.Get(), 0, format_.stride))) return hr;
    if (FAILED(hr = device_->SetIndices(ib_.Get()))) return hr;

    if (!table_.empty()) {
        for (const D3DXATTRIBUTERANGE& range : table_) {
            if (range.AttribId != AttribId || range.FaceCount == 0) continue;
            hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                               range.FaceStart * 3, range.FaceCount);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    }
    // No table: draw every run of faces with the attribute.
    for (DWORD face = 0; face < numFaces_;) {
        if (attributes_[face] != AttribId) {
            ++face;
            continue;
        }
        DWORD end = face;
        while (end < numFaces_ && attributes_[end] == AttribId) ++end;
        hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, numVertices_, face * 3, end - face);
        if (FAILED(hr)) return hr;
        face = end;
    }
    return D3D_OK;
}

HRESULT Mesh::GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAXD3DDECLLENGTH]) {
    if (!Declaration) return D3DERR_INVALIDCALL;
    format_.CopyDeclaration(Declaration);
    return D3D_OK;
}

HRESULT Mesh::GetDevice(LPDIRECT3DDEVICE9* ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD Options, DWORD FVF, LPDIRECT3DDEVICE9 pD3DDevice, ID3DXMesh** ppCloneMesh) {
    if (!ppCloneMesh) return D3DERR_INVALIDCALL;
    *ppCloneMesh = nullptr;
    VertexFormat format;
    if (!format.FromFvf(FVF)) return D3DERR_INVALIDCALL;
    return CloneWith(Options, format, pD3DDevice, ppCloneMesh);
}

HRESULT Mesh::CloneMesh(DWORD Options, const D3DVERTEXELEMENT9* pDeclaration, LPDIRECT3DDEVICE9 pD3DDevice,
                        ID3DXMesh** ppCloneMesh) {
    if (!ppCloneMesh) return D3DERR_INVALIDCALL;
    *ppCloneMesh = nullptr;
    VertexFormat format;
    if (!format.FromDeclaration(pDeclaration)) return D3DERR_INVALIDCALL;
    return CloneWith(Options, format, pD3DDevice, ppCloneMesh);
}

HRESULT Mesh::CloneWith(DWORD options, const VertexFormat& format, IDirect3DDevice9* device, ID3DXMesh** out) {
    if (!device) return D3DERR_INVALIDCALL;
    const bool share = (options & D3DXMESH_VB_SHARE) != 0;
    if (share && (device != device_ || !format.SameLayout(format_))) return D3DERR_INVALIDCALL;

    MeshContents contents;
    HRESULT hr = Read(&contents);
    if (FAILED(hr)) return hr;
    Mesh* clone = nullptr;
    hr = Create(device, numFaces_, numVertices_, options, format, &clone, share ? vb_.Get() : nullptr,
                share ? vbShare_ : nullptr);
    if (FAILED(hr)) return hr;
    ComPtr<Mesh> hold(clone);
    std::vector<uint8_t> converted;
    if (!share) {
        try {
            converted.resize(size_t(numVertices_) * format.stride);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        VertexConverter converter(format_, format);
        for (DWORD v = 0; v < numVertices_; ++v)
            converter.Convert(contents.vertices.data() + size_t(v) * format_.stride,
                              converted.data() + size_t(v) * format.stride);
    }
    hr = clone->Write(share ? nullptr : &converted, contents.indices, contents.attributes);
    if (FAILED(hr)) return hr;
    clone->table_ = table_;
    clone->AddRef();
    *out = clone;
    return D3D_OK;
}

HRESULT Mesh::GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) {
    if (!ppVB) return D3DERR_INVALIDCALL;
    vb_->AddRef();
    *ppVB = vb_.Get();
    return D3D_OK;
}

HRESULT Mesh::GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) {
    if (!ppIB) return D3DERR_INVALIDCALL;
    ib_->AddRef();
    *ppIB = ib_.Get();
    return D3D_OK;
}

HRESULT Mesh::LockVertexBuffer(DWORD Flags, LPVOID* ppData) {
    if (!ppData) return D3DERR_INVALIDCALL;
    HRESULT hr = vb_->Lock(0, 0, ppData, Flags);
    if (SUCCEEDED(hr)) ++vbLocks_;
    return hr;
}

HRESULT Mesh::UnlockVertexBuffer() {
    if (vbLocks_ == 0) return D3DERR_INVALIDCALL;
    --vbLocks_;
    return vb_->Unlock();
}

HRESULT Mesh::LockIndexBuffer(DWORD Flags, LPVOID* ppData) {
    if (!ppData) return D3DERR_INVALIDCALL;
    HRESULT hr = ib_->Lock(0, 0, ppData, Flags);
    if (SUCCEEDED(hr)) ++ibLocks_;
    return hr;
}

HRESULT Mesh::UnlockIndexBuffer() {
    if (ibLocks_ == 0) return D3DERR_INVALIDCALL;
    --ibLocks_;
    return ib_->Unlock();
}

HRESULT Mesh::LockAttributeBuffer(DWORD Flags, DWORD** ppData) {
    if (!ppData) return D3DERR_INVALIDCALL;
    *ppData = attributes_.data();
    ++attribLocks_;
    if (!(Flags & D3DLOCK_READONLY)) attributesWritten_ = true;
    return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
    if (attribLocks_ == 0) return D3DERR_INVALIDCALL;
    if (--attribLocks_ == 0 && attributesWritten_) {
        // The faces may have new attributes: the old ranges no longer describe them.
        table_.clear();
        attributesWritten_ = false;
    }
    return D3D_OK;
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) {
    if (!pAttribTable) {
        if (!pAttribTableSize) return D3DERR_INVALIDCALL;
        *pAttribTableSize = DWORD(table_.size());
        return D3D_OK;
    }
    size_t count = table_.size();
    if (pAttribTableSize) {
        count = std::min<size_t>(count, *pAttribTableSize);
        *pAttribTableSize = DWORD(count);
    }
    std::copy(table_.begin(), table_.begin() + count, pAttribTable);
    return D3D_OK;
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable, DWORD cAttribTableSize) {
    if (cAttribTableSize > 0 && !pAttribTable) return D3DERR_INVALIDCALL;
    for (DWORD i = 0; i < cAttribTableSize; ++i) {
        const D3DXATTRIBUTERANGE& r = pAttribTable[i];
        if (uint64_t(r.FaceStart) + r.FaceCount > numFaces_ ||
            uint64_t(r.VertexStart) + r.VertexCount > numVertices_)
            return D3DERR_INVALIDCALL;
    }
    try {
        table_.assign(pAttribTable, pAttribTable + cAttribTableSize);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Mesh::GenerateAdjacency(FLOAT Epsilon, DWORD* pAdjacency) {
    if (!pAdjacency || !(Epsilon >= 0.0f)) return D3DERR_INVALIDCALL;
    const D3DVERTEXELEMENT9* position = format_.Find(D3DDECLUSAGE_POSITION);
    if (!position) position = format_.Find(D3DDECLUSAGE_POSITIONT);
    if (!position || (position->Type != D3DDECLTYPE_FLOAT3 && position->Type != D3DDECLTYPE_FLOAT4))
        return D3DERR_INVALIDCALL;
    try {
        MeshContents contents;
        HRESULT hr = Read(&contents);
        if (FAILED(hr)) return hr;
        const auto reps = PointRepsByPosition(contents.vertices.data(), numVertices_, format_.stride,
                                              position->Offset, Epsilon);
        AdjacencyFromPointReps(contents.indices.data(), numFaces_, reps, pAdjacency);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

std::vector<uint32_t> PointRepsByPosition(const uint8_t* vertices, DWORD count, UINT stride,
                                          UINT positionOffset, float epsilon) {
    std::vector<uint32_t> reps(count);
    auto position = [&](uint32_t v, float out[3]) {
        std::memcpy(out, vertices + size_t(v) * stride + positionOffset, 12);
        for (int i = 0; i < 3; ++i)
            if (out[i] == 0.0f) out[i] = 0.0f;  // -0 and +0 are one position
    };
    if (epsilon == 0.0f) {
        // Exact positions: the first vertex with the same bits.
        struct Key {
            uint32_t bits[3];
            bool operator==(const Key& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
        };
        struct KeyHash {
            size_t operator()(const Key& k) const {
                return (size_t(k.bits[0]) * 0x9E3779B1u) ^ (size_t(k.bits[1]) * 0x85EBCA77u) ^
                       (size_t(k.bits[2]) * 0xC2B2AE3Du);
            }
        };
        std::unordered_map<Key, uint32_t, KeyHash> first;
        first.reserve(count);
        for (uint32_t v = 0; v < count; ++v) {
            float p[3];
            position(v, p);
            Key key;
            std::memcpy(key.bits, p, sizeof key.bits);
            reps[v] = first.emplace(key, v).first->second;
        }
        return reps;
    }
    // Within epsilon: sweep the vertices in order of x, joining each with those less than
    // epsilon behind it; every group is represented by its lowest-numbered vertex.
    std::vector<uint32_t> order(count);
    std::vector<float> xs(count);
    for (uint32_t v = 0; v < count; ++v) {
        float p[3];
        position(v, p);
        xs[v] = std::isnan(p[0]) ? INFINITY : p[0];  // keeps the sort order strict
        order[v] = v;
        reps[v] = v;
    }
    auto root = [&](uint32_t v) {
        while (reps[v] != v) {
            reps[v] = reps[reps[v]];
            v = reps[v];
        }
        return v;
    };
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        if (xs[a] != xs[b]) return xs[a] < xs[b];
        return a < b;
    });
    const double eps2 = double(epsilon) * epsilon;
    size_t windowStart = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const uint32_t v = order[i];
        float p[3];
        position(v, p);
        while (windowStart < i && double(xs[v]) - xs[order[windowStart]] > epsilon) ++windowStart;
        for (size_t j = windowStart; j < i; ++j) {
            const uint32_t w = order[j];
            float q[3];
            position(w, q);
            const double dx = double(p[0]) - q[0], dy = double(p[1]) - q[1], dz = double(p[2]) - q[2];
            if (!(dx * dx + dy * dy + dz * dz <= eps2)) continue;  // NaN positions join nothing
            const uint32_t a = root(v), b = root(w);
            if (a < b) reps[b] = a;
            else if (b < a) reps[a] = b;
        }
    }
    for (uint32_t v = 0; v < count; ++v) reps[v] = root(v);
    return reps;
}

namespace {

template <class Index>
void Adjacency(const Index* indices, DWORD numFaces, const std::vector<uint32_t>& reps, DWORD* out) {
    const size_t corners = size_t(numFaces) * 3;
    std::fill(out, out + corners, kNone);
    auto rep = [&](size_t face, size_t k) { return reps[indices[face * 3 + k % 3]]; };
    // The corners at each representative, in order: those at v are corner[start[v]] up to
    // corner[start[v + 1]]. Counted one place further on, so that placing them leaves the starts.
    const size_t count = reps.empty() ? 0 : size_t(*std::max_element(reps.begin(), reps.end())) + 1;
    std::vector<uint32_t> start(count + 2, 0);
    for (size_t c = 0; c < corners; ++c) ++start[reps[indices[c]] + 2];
    for (size_t v = 2; v < start.size(); ++v) start[v] += start[v - 1];
    const std::unique_ptr<uint32_t[]> corner(new uint32_t[corners]);  // every entry written below
    for (size_t c = 0; c < corners; ++c) corner[start[reps[indices[c]] + 1]++] = uint32_t(c);
    // Where the corners of later faces begin at each representative, moved on as faces are done.
    std::vector<uint32_t> later(start.begin(), start.end() - 1);

    // Each edge, in face order, is paired with the first later unpaired edge between the same two
    // representatives running the other way (a consistently wound neighbour), else with the first
    // later unpaired one at all; never with its own face. A collapsed edge has no neighbour.
    // Edge k of a face runs from its corner k to corner k + 1; a triangle has at most one edge
    // into a representative from another and one out of it, so the corners there name them.
    for (size_t f = 0; f < numFaces; ++f) {
        for (size_t k = 0; k < 3; ++k) {
            if (out[f * 3 + k] != kNone) continue;
            const uint32_t a = rep(f, k), b = rep(f, k + 1);
            if (a == b) continue;
            size_t opposite = kNone, same = kNone;
            uint32_t& first = later[a];
            while (first < start[a + 1] && corner[first] / 3 <= f) ++first;
            for (uint32_t i = first; i < start[a + 1]; ++i) {
                const size_t c = corner[i], g = c / 3, j = c % 3;
                const size_t into = g * 3 + (j + 2) % 3;  // the edge ending at this corner
                if (out[into] == kNone && rep(g, j + 2) == b) {
                    opposite = into;
                    break;
                }
                if (same == kNone && out[c] == kNone && rep(g, j + 1) == b) same = c;
            }
            const size_t pick = opposite != kNone ? opposite : same;
            if (pick == kNone) continue;
            out[f * 3 + k] = DWORD(pick / 3);
            out[pick] = DWORD(f);
        }
    }
}

}  // namespace

void AdjacencyFromPointReps(const uint32_t* indices, DWORD numFaces, const std::vector<uint32_t>& reps,
                            DWORD* out) {
    Adjacency(indices, numFaces, reps, out);
}

void AdjacencyFromPointReps(const uint16_t* indices, DWORD numFaces, const std::vector<uint32_t>& reps,
                            DWORD* out) {
    Adjacency(indices, numFaces, reps, out);
}

}  // namespace platform::d3dx9

HRESULT WINAPI D3DXCreateMeshFVF(DWORD NumFaces, DWORD NumVertices, DWORD Options, DWORD FVF,
                                 LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXMESH* ppMesh) {
    if (!ppMesh) return D3DERR_INVALIDCALL;
    *ppMesh = nullptr;
    platform::d3dx9::VertexFormat format;
    if (!format.FromFvf(FVF)) return D3DERR_INVALIDCALL;
    platform::d3dx9::Mesh* mesh = nullptr;
    HRESULT hr = platform::d3dx9::Mesh::Create(pD3DDevice, NumFaces, NumVertices, Options, format, &mesh);
    if (SUCCEEDED(hr)) *ppMesh = mesh;
    return hr;
}
