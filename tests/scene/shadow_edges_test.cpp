// The shadow volume's edge list and its drawing call.
#include <vector>

#include "scene_fixture.h"
#include "shadowvolume.h"

namespace {

typedef std::vector<std::pair<WORD, WORD>> Edges;

Edges List(const WORD* edges, DWORD count) {
    Edges out;
    for (DWORD i = 0; i < count; i++) out.push_back({edges[2 * i], edges[2 * i + 1]});
    return out;
}

TEST(ShadowEdges, OneTriangleGivesItsThreeEdgesInOrder) {
    WORD edges[6];
    DWORD count = 0;
    AddEdge(edges, &count, 0, 1);
    AddEdge(edges, &count, 1, 2);
    AddEdge(edges, &count, 2, 0);
    EXPECT_EQ(List(edges, count), (Edges{{0, 1}, {1, 2}, {2, 0}}));
}

TEST(ShadowEdges, ASharedEdgeCancelsInEitherDirectionAndTheLastEdgeFillsItsSlot) {
    for (bool reversed : {false, true}) {
        WORD edges[12];
        DWORD count = 0;
        AddEdge(edges, &count, 0, 1);
        AddEdge(edges, &count, 1, 2);
        AddEdge(edges, &count, 2, 0);
        // The second triangle (0, 2, 3) shares the edge 2-0.
        if (reversed) {
            AddEdge(edges, &count, 2, 0);
        } else {
            AddEdge(edges, &count, 0, 2);
        }
        EXPECT_EQ(List(edges, count), (Edges{{0, 1}, {1, 2}}));
        AddEdge(edges, &count, 2, 3);
        AddEdge(edges, &count, 3, 0);
        EXPECT_EQ(List(edges, count), (Edges{{0, 1}, {1, 2}, {2, 3}, {3, 0}}));
        // Removing the first edge moves the last one into its place.
        AddEdge(edges, &count, 1, 0);
        EXPECT_EQ(List(edges, count), (Edges{{3, 0}, {1, 2}, {2, 3}}));
    }
}

TEST(ShadowEdges, AnEdgeSeenAnOddNumberOfTimesStaysInItsLatestDirection) {
    WORD edges[6];
    DWORD count = 0;
    AddEdge(edges, &count, 4, 5);
    AddEdge(edges, &count, 5, 4);
    EXPECT_EQ(count, 0u);
    AddEdge(edges, &count, 5, 4);
    EXPECT_EQ(List(edges, count), (Edges{{5, 4}}));
}

TEST(ShadowVolumeCore, StartsEmptyAndResetEmptiesIt) {
    CShadowVolume* volume = new CShadowVolume();
    EXPECT_EQ(volume->m_NumVertices, 0u);
    volume->m_NumVertices = 12;
    volume->Reset();
    EXPECT_EQ(volume->m_NumVertices, 0u);
    EXPECT_EQ(volume->BuildFromMesh(nullptr, D3DXVECTOR3(0, 1, 0)), E_FAIL);
    EXPECT_EQ(volume->Render(nullptr), E_FAIL);
    delete volume;
}

class ShadowVolumeDraw : public scenetest::DeviceTest {};

TEST_F(ShadowVolumeDraw, RenderDrawsWholeTrianglesOfPositionsOnly) {
    CShadowVolume* volume = new CShadowVolume();
    for (int i = 0; i < 7; i++) volume->m_Vertices[i] = D3DXVECTOR3(float(i), 0, 0);
    volume->m_NumVertices = 7;
    platform::hooks::StartD3DTrace();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(volume->Render(device_), D3D_OK);
    volume->Reset();
    EXPECT_EQ(volume->Render(device_), D3D_OK);  // drawn also when empty
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    std::vector<std::string> trace = TakeTrace();
    const std::string base = std::to_string(reinterpret_cast<intptr_t>(volume->m_Vertices));
    std::vector<std::string> expected = {
        "SetFVF(2)", "DrawPrimitiveUP(4, 2, " + base + ", 12)",
        "SetFVF(2)", "DrawPrimitiveUP(4, 0, " + base + ", 12)",
    };
    EXPECT_EQ(trace, expected);
    delete volume;
}

}  // namespace
