// Mesh optimisation: faces sorted by attribute, vertices compacted and grouped by attribute.
#include "d3dx9/buffer.h"
#include "d3dx9/mesh/mesh.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::d3dx9 {

namespace {

constexpr DWORD kNone = 0xFFFFFFFF;
constexpr DWORD kLevels =
    D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER;
// The creation options that an Optimize call may carry in its low bits.
constexpr DWORD kMeshOptionBits = 0x00FFFFFF;

struct Plan {
    std::vector<uint32_t> faceOrder;    // new face -> old face
    std::vector<uint32_t> vertexOrder;  // new vertex -> old vertex
    bool verticesMoved = false;
    MeshContents contents;  // the new contents, vertices left empty
    bool sorted = false;
    std::vector<D3DXATTRIBUTERANGE> table;
};

// Works out the new order of faces and vertices.
//  - Every level sorts the faces by attribute (stably) except COMPACT alone; a call naming no
//    level sorts as ATTRSORT does.
//  - Vertices: DONOTSPLIT and IGNOREVERTS leave them exactly as they are. Otherwise unused
//    vertices are dropped (COMPACT, part of every level) and, when sorting, each attribute
//    group gets its own run of vertices in order of first use, a vertex used by several groups
//    being copied into each.
HRESULT MakePlan(DWORD flags, const MeshContents& in, DWORD numVertices, bool use32, Plan* plan) {
    if ((flags & D3DXMESHOPT_VERTEXCACHE) && (flags & D3DXMESHOPT_STRIPREORDER)) return D3DERR_INVALIDCALL;
    const DWORD levels = flags & kLevels;
    const bool sort = levels == 0 || (levels & ~DWORD(D3DXMESHOPT_COMPACT)) != 0;
    const bool frozen = (flags & (D3DXMESHOPT_DONOTSPLIT | D3DXMESHOPT_IGNOREVERTS)) != 0;
    const bool compact = !frozen && levels != 0;
    const size_t numFaces = in.attributes.size();
    for (uint32_t index : in.indices)
        if (index >= numVertices) return D3DXERR_INVALIDMESH;

    plan->faceOrder.resize(numFaces);
    for (size_t f = 0; f < numFaces; ++f) plan->faceOrder[f] = uint32_t(f);
    if (sort) {
        std::stable_sort(plan->faceOrder.begin(), plan->faceOrder.end(),
                         [&](uint32_t a, uint32_t b) { return in.attributes[a] < in.attributes[b]; });
    }
    plan->sorted = sort;
    MeshContents& out = plan->contents;
    out.attributes.resize(numFaces);
    for (size_t f = 0; f < numFaces; ++f) out.attributes[f] = in.attributes[plan->faceOrder[f]];
    out.indices.resize(numFaces * 3);

    if (!compact) {
        plan->vertexOrder.resize(numVertices);
        for (uint32_t v = 0; v < numVertices; ++v) plan->vertexOrder[v] = v;
        for (size_t f = 0; f < numFaces; ++f)
            for (int k = 0; k < 3; ++k) out.indices[f * 3 + k] = in.indices[size_t(plan->faceOrder[f]) * 3 + k];
    } else if (!sort) {
        std::vector<uint32_t> newIndex(numVertices, kNone);
        for (uint32_t index : in.indices) newIndex[index] = 0;
        for (uint32_t v = 0; v < numVertices; ++v) {
            if (newIndex[v] == kNone) continue;
            newIndex[v] = uint32_t(plan->vertexOrder.size());
            plan->vertexOrder.push_back(v);
        }
        for (size_t i = 0; i < out.indices.size(); ++i) out.indices[i] = newIndex[in.indices[i]];
    } else {
        std::vector<uint32_t> group(numVertices, kNone), newIndex(numVertices, kNone);
        uint32_t g = 0;
        for (size_t f = 0; f < numFaces; ++f) {
            if (f > 0 && out.attributes[f] != out.attributes[f - 1]) ++g;
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = in.indices[size_t(plan->faceOrder[f]) * 3 + k];
                if (group[v] != g) {
                    group[v] = g;
                    newIndex[v] = uint32_t(plan->vertexOrder.size());
                    plan->vertexOrder.push_back(v);
                }
                out.indices[f * 3 + k] = newIndex[v];
            }
        }
    }
    if (!use32 && plan->vertexOrder.size() > kMax16BitVertices) return D3DXERR_CANNOTATTRSORT;
    plan->verticesMoved = plan->vertexOrder.size() != numVertices;
    for (size_t v = 0; v < plan->vertexOrder.size() && !plan->verticesMoved; ++v)
        plan->verticesMoved = plan->vertexOrder[v] != v;

    if (sort) {
        for (size_t f = 0; f < numFaces;) {
            size_t end = f;
            uint32_t lo = kNone, hi = 0;
            while (end < numFaces && out.attributes[end] == out.attributes[f]) {
                for (int k = 0; k < 3; ++k) {
                    lo = std::min(lo, out.indices[end * 3 + k]);
                    hi = std::max(hi, out.indices[end * 3 + k]);
                }
                ++end;
            }
            plan->table.push_back(
                D3DXATTRIBUTERANGE{out.attributes[f], DWORD(f), DWORD(end - f), lo, hi - lo + 1});
            f = end;
        }
    }
    return D3D_OK;
}

bool ValidAdjacency(const DWORD* adjacency, size_t numFaces) {
    if (!adjacency) return true;
    for (size_t i = 0; i < numFaces * 3; ++i)
        if (adjacency[i] != kNone && adjacency[i] >= numFaces) return false;
    return true;
}

std::vector<uint8_t> GatherVertices(const std::vector<uint8_t>& vertices, const std::vector<uint32_t>& order,
                                    UINT stride) {
    std::vector<uint8_t> out(order.size() * size_t(stride));
    for (size_t v = 0; v < order.size(); ++v)
        std::memcpy(out.data() + v * stride, vertices.data() + size_t(order[v]) * stride, stride);
    return out;
}

// Fills the optional outputs of an optimisation.
HRESULT WriteOutputs(const Plan& plan, const VertexFormat& format, const std::vector<uint8_t>& newVertices,
                     const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                     LPD3DXBUFFER* vertexRemap) {
    const size_t numFaces = plan.faceOrder.size();
    if (adjacencyOut) {
        std::vector<DWORD> adjacency(numFaces * 3);
        if (adjacencyIn) {
            std::vector<uint32_t> newFace(numFaces);
            for (size_t f = 0; f < numFaces; ++f) newFace[plan.faceOrder[f]] = uint32_t(f);
            for (size_t f = 0; f < numFaces; ++f)
                for (int k = 0; k < 3; ++k) {
                    const DWORD old = adjacencyIn[size_t(plan.faceOrder[f]) * 3 + k];
                    adjacency[f * 3 + k] = old == kNone ? kNone : newFace[old];
                }
        } else {
            const int position = format.Float3Offset(D3DDECLUSAGE_POSITION);
            std::vector<uint32_t> reps;
            const size_t numVertices = plan.vertexOrder.size();
            if (position >= 0) {
                reps = PointRepsByPosition(newVertices.data(), DWORD(numVertices), format.stride,
                                           UINT(position), 0.0f);
            } else {
                reps.resize(numVertices);
                for (size_t v = 0; v < numVertices; ++v) reps[v] = uint32_t(v);
            }
            AdjacencyFromPointReps(plan.contents.indices.data(), DWORD(numFaces), reps, adjacency.data());
        }
        std::copy(adjacency.begin(), adjacency.end(), adjacencyOut);
    }
    if (faceRemap) std::copy(plan.faceOrder.begin(), plan.faceOrder.end(), faceRemap);
    if (vertexRemap) {
        *vertexRemap = nullptr;
        HRESULT hr = platform::d3dx::CopyToBuffer(plan.vertexOrder.data(), plan.vertexOrder.size() * sizeof(DWORD),
                                                  vertexRemap);
        if (FAILED(hr)) return hr;
    }
    return D3D_OK;
}

}  // namespace

HRESULT Mesh::Optimize(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut, DWORD* pFaceRemap,
                       LPD3DXBUFFER* ppVertexRemap, ID3DXMesh** ppOptMesh) {
    if (!ppOptMesh) return D3DERR_INVALIDCALL;
    *ppOptMesh = nullptr;
    if (ppVertexRemap) *ppVertexRemap = nullptr;
    if (!ValidAdjacency(pAdjacencyIn, numFaces_)) return D3DERR_INVALIDCALL;
    try {
        MeshContents contents;
        HRESULT hr = Read(&contents);
        if (FAILED(hr)) return hr;
        Plan plan;
        hr = MakePlan(Flags, contents, numVertices_, Uses32BitIndices(), &plan);
        if (FAILED(hr)) return hr;
        plan.contents.vertices = GatherVertices(contents.vertices, plan.vertexOrder, format_.stride);

        // The new mesh takes the creation options given with the flags, else this mesh's; the
        // index size is always this mesh's.
        DWORD options = Flags & kMeshOptionBits & ~DWORD(D3DXMESH_32BIT);
        if (options == 0) options = options_ & ~DWORD(D3DXMESH_32BIT);
        options |= options_ & D3DXMESH_32BIT;
        Mesh* mesh = nullptr;
        hr = CreateWith(device_, options, format_, plan.contents, &mesh);
        if (FAILED(hr)) return hr;
        ComPtr<Mesh> hold(mesh);
        if (plan.sorted) mesh->table_ = plan.table;
        hr = WriteOutputs(plan, format_, plan.contents.vertices, pAdjacencyIn, pAdjacencyOut, pFaceRemap,
                          ppVertexRemap);
        if (FAILED(hr)) return hr;
        mesh->AddRef();
        *ppOptMesh = mesh;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Mesh::OptimizeInplace(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut, DWORD* pFaceRemap,
                              LPD3DXBUFFER* ppVertexRemap) {
    if (ppVertexRemap) *ppVertexRemap = nullptr;
    if (Locked()) return D3DERR_INVALIDCALL;
    // Vertices shared with another mesh may only stay where they are.
    if (vbShare_.use_count() > 1 && !(Flags & D3DXMESHOPT_IGNOREVERTS)) return D3DERR_INVALIDCALL;
    if (!ValidAdjacency(pAdjacencyIn, numFaces_)) return D3DERR_INVALIDCALL;
    try {
        MeshContents contents;
        HRESULT hr = Read(&contents);
        if (FAILED(hr)) return hr;
        Plan plan;
        hr = MakePlan(Flags, contents, numVertices_, Uses32BitIndices(), &plan);
        if (FAILED(hr)) return hr;
        plan.contents.vertices = plan.verticesMoved
                                     ? GatherVertices(contents.vertices, plan.vertexOrder, format_.stride)
                                     : std::move(contents.vertices);

        const DWORD newCount = DWORD(plan.vertexOrder.size());
        if (newCount != numVertices_) {
            D3DVERTEXBUFFER_DESC desc;
            if (FAILED(hr = vb_->GetDesc(&desc))) return hr;
            IDirect3DVertexBuffer9* vb = nullptr;
            hr = device_->CreateVertexBuffer(UINT(size_t(newCount) * format_.stride), desc.Usage, desc.FVF,
                                             desc.Pool, &vb, nullptr);
            if (FAILED(hr)) return hr;
            vb_ = ComPtr<IDirect3DVertexBuffer9>(vb);
            numVertices_ = newCount;
        }
        hr = Write(plan.verticesMoved ? &plan.contents.vertices : nullptr, plan.contents.indices,
                   plan.contents.attributes);
        if (FAILED(hr)) return hr;
        if (plan.sorted) table_ = plan.table;
        else table_.clear();
        return WriteOutputs(plan, format_, plan.contents.vertices, pAdjacencyIn, pAdjacencyOut, pFaceRemap,
                            ppVertexRemap);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace platform::d3dx9
