// Vertex input: vertex and index buffers, base vertices and start indices, user pointers,
// vertex declarations over several streams, flexible vertex formats, and what draws refuse.
#include "draw_fixture.h"

#include "platform/test_hooks.h"

namespace drawtest {
namespace {

using Geometry = DrawTest;

constexpr D3DCOLOR kBack = 0xFF000000;

// A row of eight 8 x 8 squares along y = 0..8, square i at x = 8i, colour i.
const D3DCOLOR kColours[8] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
                              0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF, 0xFF808080};

// Four vertices per square (a strip's order: top left, top right, bottom left, bottom right).
std::vector<TLVertex> Squares() {
    std::vector<TLVertex> v;
    for (int i = 0; i < 8; ++i) {
        float x = float(8 * i);
        v.push_back({x, 0, 0, 1, kColours[i]});
        v.push_back({x + 8, 0, 0, 1, kColours[i]});
        v.push_back({x, 8, 0, 1, kColours[i]});
        v.push_back({x + 8, 8, 0, 1, kColours[i]});
    }
    return v;
}

IDirect3DVertexBuffer9* Buffer(IDirect3DDevice9* device, const std::vector<TLVertex>& v, D3DPOOL pool) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(UINT(v.size() * sizeof(TLVertex)), D3DUSAGE_WRITEONLY,
                                         D3DFVF_XYZRHW | D3DFVF_DIFFUSE, pool, &vb, nullptr),
              D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, v.data(), v.size() * sizeof(TLVertex));
    vb->Unlock();
    return vb;
}

// Which squares show their colour.
std::vector<bool> Shown(const std::vector<DWORD>& px) {
    std::vector<bool> out;
    for (int i = 0; i < 8; ++i) out.push_back(px[size_t(4) * kSize + 8 * i + 4] == kColours[i]);
    return out;
}

TEST_F(Geometry, DrawPrimitiveReadsFromTheStreamAtItsStartVertexAndOffset) {
    for (D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_DEFAULT, D3DPOOL_SYSTEMMEM}) {
        IDirect3DVertexBuffer9* vb = Buffer(device_, Squares(), pool);
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        ASSERT_EQ(device_->SetStreamSource(0, vb, 0, sizeof(TLVertex)), D3D_OK);
        Clear(kBack);
        Begin();
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 8, 2), D3D_OK);  // square 2
        // A byte offset of four vertices and start vertex 16: square 5.
        device_->SetStreamSource(0, vb, 4 * sizeof(TLVertex), sizeof(TLVertex));
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 16, 2), D3D_OK);
        End();
        EXPECT_EQ(Shown(Pixels()), (std::vector<bool>{false, false, true, false, false, true, false, false}))
            << "pool " << pool;
        // Rewriting part of the buffer shows in the next draw.
        TLVertex* v = nullptr;
        ASSERT_EQ(vb->Lock(8 * sizeof(TLVertex), 4 * sizeof(TLVertex), reinterpret_cast<void**>(&v), 0), D3D_OK);
        for (int i = 0; i < 4; ++i) v[i].color = 0xFF102030;
        vb->Unlock();
        device_->SetStreamSource(0, vb, 0, sizeof(TLVertex));
        Begin();
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 8, 2), D3D_OK);
        End();
        EXPECT_EQ(Pixel(20, 4), 0xFF102030u);
        IDirect3DVertexBuffer9* bound = nullptr;
        UINT offset = 1, stride = 0;
        ASSERT_EQ(device_->GetStreamSource(0, &bound, &offset, &stride), D3D_OK);
        EXPECT_EQ(bound, vb);
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(stride, sizeof(TLVertex));
        bound->Release();
        device_->SetStreamSource(0, nullptr, 0, 0);
        vb->Release();
    }
}

TEST_F(Geometry, IndexedDrawingAddsTheBaseVertexToEachIndex) {
    IDirect3DVertexBuffer9* vb = Buffer(device_, Squares(), D3DPOOL_MANAGED);
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        // Two triangles of a square, as a list: 0 1 2, 1 3 2; then the same for the next square.
        const uint32_t list[12] = {0, 1, 2, 1, 3, 2, 4, 5, 6, 5, 7, 6};
        UINT size = format == D3DFMT_INDEX16 ? 2 : 4;
        IDirect3DIndexBuffer9* ib = nullptr;
        ASSERT_EQ(device_->CreateIndexBuffer(12 * size, 0, format, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
        BYTE* data = nullptr;
        ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&data), 0), D3D_OK);
        for (int i = 0; i < 12; ++i) {
            if (size == 2) {
                uint16_t v = uint16_t(list[i]);
                std::memcpy(data + 2 * i, &v, 2);
            } else {
                std::memcpy(data + 4 * i, &list[i], 4);
            }
        }
        ib->Unlock();
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device_->SetStreamSource(0, vb, 0, sizeof(TLVertex));
        ASSERT_EQ(device_->SetIndices(ib), D3D_OK);
        Clear(kBack);
        Begin();
        // Base vertex 12 (square 3), indices from 0.
        ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 12, 0, 4, 0, 2), D3D_OK);
        // Base vertex 20 and start index 6: indices 4..7 relative to square 5, that is square 6.
        ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 20, 4, 4, 6, 2), D3D_OK);
        End();
        EXPECT_EQ(Shown(Pixels()), (std::vector<bool>{false, false, false, true, false, false, true, false}))
            << "format " << format;
        // Indices past the end of the index buffer, or vertices past the vertex buffer, are refused.
        Begin();
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 6, 3), D3DERR_INVALIDCALL);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 28, 0, 8, 0, 4), D3DERR_INVALIDCALL);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
        // Within the drawn indices the base vertex may reach the last square.
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 28, 0, 4, 0, 2), D3D_OK);
        End();
        IDirect3DIndexBuffer9* bound = nullptr;
        ASSERT_EQ(device_->GetIndices(&bound), D3D_OK);
        EXPECT_EQ(bound, ib);
        bound->Release();
        device_->SetIndices(nullptr);
        ib->Release();
    }
    Begin();
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // no indices
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 30, 2), D3DERR_INVALIDCALL);  // past the vertices
    End();
    device_->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
}

TEST_F(Geometry, UserPointerDrawsAndTheStateTheyLeave) {
    auto v = Squares();
    const uint16_t indices[6] = {4, 5, 6, 5, 7, 6};
    IDirect3DVertexBuffer9* vb = Buffer(device_, v, D3DPOOL_MANAGED);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    device_->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    device_->SetIndices(ib);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 4, 4, 2, indices, D3DFMT_INDEX16, v.data(),
                                              sizeof(TLVertex)),
              D3D_OK);
    // Indices beyond MinVertexIndex + NumVertices are refused.
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, indices, D3DFMT_INDEX16, v.data(),
                                              sizeof(TLVertex)),
              D3DERR_INVALIDCALL);
    End();
    EXPECT_EQ(Shown(Pixels()), (std::vector<bool>{false, true, false, false, false, false, false, false}));
    // A user-pointer draw leaves stream 0 and the indices unset.
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 0, stride = 0;
    device_->GetStreamSource(0, &stream, &offset, &stride);
    EXPECT_EQ(stream, nullptr);
    IDirect3DIndexBuffer9* bound = nullptr;
    device_->GetIndices(&bound);
    EXPECT_EQ(bound, nullptr);
    ib->Release();
    vb->Release();
}

TEST_F(Geometry, ManyUserPointerDrawsOfDifferentStridesInOneFrame) {
    // Vertices of 20 and of 32 bytes, plain and indexed, one after another in one scene.
    struct Wide {
        float x, y, z, rhw;
        D3DCOLOR color;
        float pad[3];
    };
    const WORD quad[6] = {0, 1, 2, 2, 1, 3};
    Clear(kBack);
    Begin();
    for (int i = 0; i < 64; ++i) {
        float x = float(i % 8) * 8, y = float(i / 8) * 8;
        D3DCOLOR c = D3DCOLOR(0xFF000000u | DWORD(i * 4) << 16 | DWORD(255 - i * 4));
        if (i % 3 == 0) {
            DrawRect(x, y, x + 8, y + 8, c);
            continue;
        }
        const Wide w[4] = {{x, y, 0, 1, c, {}}, {x + 8, y, 0, 1, c, {}}, {x, y + 8, 0, 1, c, {}}, {x + 8, y + 8, 0, 1, c, {}}};
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0));
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, quad, D3DFMT_INDEX16, w, sizeof(Wide)),
                  D3D_OK);
    }
    End();
    std::vector<DWORD> pixels = Pixels();
    for (int i = 0; i < 64; ++i) {
        int x = (i % 8) * 8 + 4, y = (i / 8) * 8 + 4;
        EXPECT_EQ(pixels[size_t(y) * kSize + x], 0xFF000000u | DWORD(i * 4) << 16 | DWORD(255 - i * 4)) << "quad " << i;
    }
}

TEST_F(Geometry, DeclarationsFeedTheFixedFunctionFromSeveralStreams) {
    // Positions in stream 0, colours in stream 1.
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
                                          {1, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    // Pre-transformed positions must come from stream 0 alone.
    EXPECT_EQ(device_->CreateVertexDeclaration(elements, &decl), D3DERR_INVALIDCALL);
    // Transformed ones may share.
    const D3DVERTEXELEMENT9 split[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                       {1, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                       D3DDECL_END()};
    ASSERT_EQ(device_->CreateVertexDeclaration(split, &decl), D3D_OK);
    D3DVERTEXELEMENT9 back[4];
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(decl->GetDeclaration(back, &count), D3D_OK);
    EXPECT_EQ(back[1].Stream, 1);
    EXPECT_EQ(back[2].Stream, 0xFF);

    const float pos[4][3] = {{-1, 1, 0.5f}, {0, 1, 0.5f}, {-1, 0, 0.5f}, {0, 0, 0.5f}};
    const DWORD col[4] = {0xFF336699, 0xFF336699, 0xFF336699, 0xFF336699};
    IDirect3DVertexBuffer9 *p = nullptr, *c = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof pos, 0, 0, D3DPOOL_MANAGED, &p, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof col, 0, 0, D3DPOOL_MANAGED, &c, nullptr), D3D_OK);
    void* d = nullptr;
    p->Lock(0, 0, &d, 0);
    std::memcpy(d, pos, sizeof pos);
    p->Unlock();
    c->Lock(0, 0, &d, 0);
    std::memcpy(d, col, sizeof col);
    c->Unlock();
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device_->SetVertexDeclaration(decl), D3D_OK);
    DWORD fvf = 1;
    device_->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);  // the declaration replaced the vertex format
    device_->SetStreamSource(0, p, 0, 12);
    device_->SetStreamSource(1, c, 0, 4);
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF336699u);
    EXPECT_EQ(Pixel(40, 10), kBack);
    // A stride of 0 repeats the first element for every vertex.
    const DWORD two[2] = {0xFF00FF00, 0xFFFF0000};
    IDirect3DVertexBuffer9* single = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof two, 0, 0, D3DPOOL_MANAGED, &single, nullptr), D3D_OK);
    single->Lock(0, 0, &d, 0);
    std::memcpy(d, two, sizeof two);
    single->Unlock();
    device_->SetStreamSource(1, single, 0, 0);
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    End();
    EXPECT_EQ(Pixel(10, 10), 0xFF00FF00u);
    // SetFVF replaces the declaration.
    device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    IDirect3DVertexDeclaration9* current = nullptr;
    device_->GetVertexDeclaration(&current);
    EXPECT_EQ(current, nullptr);
    device_->SetStreamSource(0, nullptr, 0, 0);
    device_->SetStreamSource(1, nullptr, 0, 0);
    single->Release();
    p->Release();
    c->Release();
    decl->Release();
}

TEST_F(Geometry, DeclarationsAreValidated) {
    IDirect3DVertexDeclaration9* decl = nullptr;
    const D3DVERTEXELEMENT9 twice[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device_->CreateVertexDeclaration(twice, &decl), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 unaligned[] = {{0, 2, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device_->CreateVertexDeclaration(unaligned, &decl), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 badType[] = {{0, 0, 40, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device_->CreateVertexDeclaration(badType, &decl), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 badStream[] = {{16, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device_->CreateVertexDeclaration(badStream, &decl), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexDeclaration(nullptr, &decl), D3DERR_INVALIDCALL);
    EXPECT_EQ(decl, nullptr);
}

TEST_F(Geometry, FlexibleVertexFormatsLayOutTheirParts) {
    // Position, normal, point size, diffuse, specular, then two texture sets of 1 and 3 floats:
    // with lighting off, the diffuse colour must be found after the normal and point size.
    struct V {
        float x, y, z, nx, ny, nz, psize;
        DWORD diffuse, specular;
        float t0, t1[3];
    };
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 |
                      D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(4 * sizeof(V), 0, fvf, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    V q[4] = {{-1, 1, 0.5f, 0, 0, -1, 1, 0xFF405060, 0, 0, {0, 0, 0}}, {1, 1, 0.5f, 0, 0, -1, 1, 0xFF405060, 0, 0, {0, 0, 0}},
              {-1, -1, 0.5f, 0, 0, -1, 1, 0xFF405060, 0, 0, {0, 0, 0}}, {1, -1, 0.5f, 0, 0, -1, 1, 0xFF405060, 0, 0, {0, 0, 0}}};
    void* d = nullptr;
    vb->Lock(0, 0, &d, 0);
    std::memcpy(d, q, sizeof q);
    vb->Unlock();
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetFVF(fvf);
    device_->SetStreamSource(0, vb, 0, sizeof(V));
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    End();
    EXPECT_EQ(Pixel(32, 32), 0xFF405060u);
    // Blend weights come between the position and the normal: XYZB2 holds two floats there.
    struct B {
        float x, y, z, w0, w1;
        DWORD diffuse;
    } b[4] = {{-1, 1, 0.5f, 0, 0, 0xFF0A0B0C}, {1, 1, 0.5f, 0, 0, 0xFF0A0B0C}, {-1, -1, 0.5f, 0, 0, 0xFF0A0B0C},
              {1, -1, 0.5f, 0, 0, 0xFF0A0B0C}};
    device_->SetStreamSource(0, nullptr, 0, 0);
    device_->SetFVF(D3DFVF_XYZB2 | D3DFVF_DIFFUSE);
    Clear(kBack);
    Begin();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, b, sizeof(B)), D3D_OK);
    // A format without a position cannot be drawn.
    device_->SetFVF(D3DFVF_DIFFUSE);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, b, sizeof(B)), D3DERR_INVALIDCALL);
    End();
    EXPECT_EQ(Pixel(32, 32), 0xFF0A0B0Cu);
    vb->Release();
}

TEST_F(Geometry, VertexBlendingMixesWorldMatrices) {
    // Two world matrices: identity and a shift right by 1 (half the screen). Weight 0.5 moves the
    // quad by a quarter of the screen.
    D3DMATRIX shift = {};
    shift._11 = shift._22 = shift._33 = shift._44 = 1;
    shift._41 = 1.0f;
    device_->SetTransform(D3DTS_WORLD1, &shift);
    device_->SetRenderState(D3DRS_VERTEXBLEND, 1);  // D3DVBF_1WEIGHTS
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    struct B {
        float x, y, z, w0;
        DWORD diffuse;
    } b[4] = {{-1, 1, 0.5f, 0.5f, 0xFFFF0000}, {-0.5f, 1, 0.5f, 0.5f, 0xFFFF0000}, {-1, -1, 0.5f, 0.5f, 0xFFFF0000},
              {-0.5f, -1, 0.5f, 0.5f, 0xFFFF0000}};
    Clear(kBack);
    Begin();
    device_->SetFVF(D3DFVF_XYZB1 | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, b, sizeof(B)), D3D_OK);
    End();
    // x from -0.5 to 0: pixels 16..31.
    EXPECT_EQ(Pixel(14, 32), kBack);
    EXPECT_EQ(Pixel(17, 32), 0xFFFF0000u);
    EXPECT_EQ(Pixel(30, 32), 0xFFFF0000u);
    EXPECT_EQ(Pixel(33, 32), kBack);
}

TEST_F(Geometry, LostDevicesDrawNothingAndSucceed) {
    Clear(0xFF0000FF);
    platform::hooks::LoseDevice(device_);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    TLVertex v[3] = {{0, 0, 0, 1, 0xFFFF0000}, {60, 0, 0, 1, 0xFFFF0000}, {0, 60, 0, 1, 0xFFFF0000}};
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex)), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);  // nothing bound, still silent
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // Locks still work: neither the clear nor the draw reached the back buffer.
    EXPECT_EQ(Pixel(10, 10), 0xFF0000FFu);
    platform::hooks::RegainDevice(device_);
    ASSERT_EQ(device_->Reset(&pp_), D3D_OK);
}

}  // namespace
}  // namespace drawtest
