// The reader against sample files, in every encoding: object types, names, children,
// references and locked data.
#include "xsamples.h"

#include <rmxfguid.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace xtest;

namespace {

class Reader : public ::testing::TestWithParam<Enc> {
protected:
    Loaded open(const std::string& text) {
        Loaded l = load(encode(text, GetParam()));
        EXPECT_EQ(S_OK, l.hr);
        return l;
    }
};

TEST_P(Reader, MeshWithoutMaterials) {
    const Loaded l = open(sampleTriangleFile());
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(1u, topCount(l));
    auto mesh = top(l, 0);
    EXPECT_EQ(TID_D3DRMMesh, typeOf(mesh.get()));
    EXPECT_EQ("Tri", nameOf(mesh.get()));
    EXPECT_FALSE(mesh->IsReference());
    EXPECT_EQ(0u, childCount(mesh.get()));
    sampleTriangle().layout().expectMatches(mesh.get());
}

TEST_P(Reader, MeshWithNormalsCoordsAndMaterials) {
    const FullMesh m = sampleFullMesh();
    const Loaded l = open(m.file());
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(1u, topCount(l));
    auto mesh = top(l, 0);
    EXPECT_EQ("Box", nameOf(mesh.get()));
    m.mesh.layout().expectMatches(mesh.get());
    // 8 vertices and 12 triangles: 4 + 96 + 4 + 12 * 16 bytes.
    EXPECT_EQ(296u, dataOf(mesh.get()).size());

    ASSERT_EQ(3u, childCount(mesh.get()));
    auto normals = child(mesh.get(), 0);
    auto coords = child(mesh.get(), 1);
    auto list = child(mesh.get(), 2);
    EXPECT_EQ(TID_D3DRMMeshNormals, typeOf(normals.get()));
    EXPECT_EQ(TID_D3DRMMeshTextureCoords, typeOf(coords.get()));
    EXPECT_EQ(TID_D3DRMMeshMaterialList, typeOf(list.get()));
    m.normals.layout().expectMatches(normals.get());
    m.coords.layout().expectMatches(coords.get());
    m.list.layout().expectMatches(list.get());
    EXPECT_EQ(56u, dataOf(list.get()).size());

    ASSERT_EQ(3u, childCount(list.get()));
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto mat = child(list.get(), i);
        EXPECT_EQ(TID_D3DRMMaterial, typeOf(mat.get()));
        EXPECT_EQ(m.materials[i].name, nameOf(mat.get()));
        m.materials[i].layout().expectMatches(mat.get());
        EXPECT_EQ(44u, dataOf(mat.get()).size());
        const bool textured = !m.materials[i].texture.empty();
        ASSERT_EQ(textured ? 1u : 0u, childCount(mat.get()));
        if (textured) {
            auto tex = child(mat.get(), 0);
            EXPECT_EQ(TID_D3DRMTextureFilename, typeOf(tex.get()));
            Layout().str(m.materials[i].texture).expectMatches(tex.get());
        }
    }
}

TEST_P(Reader, PolygonsOfFourAndFiveCorners) {
    const MeshPart p = samplePolygons();
    const Loaded l = open(kHeader + p.text());
    ASSERT_EQ(S_OK, l.hr);
    auto mesh = top(l, 0);
    p.layout().expectMatches(mesh.get());
    // 4 + 7 * 12 + 4 + (4 + 16) + (4 + 20) + (4 + 12)
    EXPECT_EQ(152u, dataOf(mesh.get()).size());
}

TEST_P(Reader, FrameHierarchyWithReference) {
    const Hierarchy h = sampleHierarchy();
    const Loaded l = open(h.file());
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(2u, topCount(l));

    auto world = top(l, 0);
    EXPECT_EQ(TID_D3DRMFrame, typeOf(world.get()));
    EXPECT_EQ("World", nameOf(world.get()));
    EXPECT_EQ(0u, dataOf(world.get()).size());
    ASSERT_EQ(3u, childCount(world.get()));
    auto worldMatrix = child(world.get(), 0);
    EXPECT_EQ(TID_D3DRMFrameTransformMatrix, typeOf(worldMatrix.get()));
    matrixLayout(h.world).expectMatches(worldMatrix.get());

    auto arm = child(world.get(), 1);
    EXPECT_EQ("Arm", nameOf(arm.get()));
    ASSERT_EQ(2u, childCount(arm.get()));
    matrixLayout(h.arm).expectMatches(child(arm.get(), 0).get());
    auto armMesh = child(arm.get(), 1);
    EXPECT_EQ(TID_D3DRMMesh, typeOf(armMesh.get()));
    EXPECT_FALSE(armMesh->IsReference());
    h.armMesh.layout().expectMatches(armMesh.get());

    auto leg = child(world.get(), 2);
    EXPECT_EQ("Leg", nameOf(leg.get()));
    ASSERT_EQ(1u, childCount(leg.get()));
    auto legMesh = child(leg.get(), 0);
    EXPECT_EQ("", nameOf(legMesh.get()));
    h.legMesh.layout().expectMatches(legMesh.get());

    auto other = top(l, 1);
    EXPECT_EQ("Other", nameOf(other.get()));
    ASSERT_EQ(3u, childCount(other.get()));
    matrixLayout(h.other).expectMatches(child(other.get(), 0).get());
    auto ref = child(other.get(), 1);
    EXPECT_TRUE(ref->IsReference());
    EXPECT_EQ(TID_D3DRMMesh, typeOf(ref.get()));
    EXPECT_EQ("ArmMesh", nameOf(ref.get()));
    h.armMesh.layout().expectMatches(ref.get());
    // The reference shows the very object it names, not a copy.
    const void* a = nullptr;
    const void* b = nullptr;
    SIZE_T sa = 0, sb = 0;
    ASSERT_EQ(S_OK, ref->Lock(&sa, &a));
    ASSERT_EQ(S_OK, armMesh->Lock(&sb, &b));
    EXPECT_EQ(a, b);
    ref->Unlock();
    armMesh->Unlock();
    auto inner = child(other.get(), 2);
    EXPECT_EQ("Inner", nameOf(inner.get()));
    EXPECT_FALSE(inner->IsReference());
    EXPECT_EQ(0u, childCount(inner.get()));
}

TEST_P(Reader, AnimationSetsAndKeys) {
    const Animations a = sampleAnimations();
    const Loaded l = open(a.file());
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(4u, topCount(l));
    EXPECT_EQ(TID_D3DRMFrame, typeOf(top(l, 0).get()));
    auto ticks = top(l, 1);
    EXPECT_EQ(DXFILEOBJ_AnimTicksPerSecond, typeOf(ticks.get()));
    Layout().dw(4800).expectMatches(ticks.get());

    auto walk = top(l, 2);
    EXPECT_EQ(TID_D3DRMAnimationSet, typeOf(walk.get()));
    EXPECT_EQ("Walk", nameOf(walk.get()));
    ASSERT_EQ(1u, childCount(walk.get()));
    auto anim = child(walk.get(), 0);
    EXPECT_EQ(TID_D3DRMAnimation, typeOf(anim.get()));
    EXPECT_EQ("WalkBone", nameOf(anim.get()));
    ASSERT_EQ(2u + a.walkKeys.size(), childCount(anim.get()));
    auto bone = child(anim.get(), 0);
    EXPECT_TRUE(bone->IsReference());
    EXPECT_EQ(TID_D3DRMFrame, typeOf(bone.get()));
    EXPECT_EQ("Bone", nameOf(bone.get()));
    ASSERT_EQ(1u, childCount(bone.get()));
    matrixLayout(a.bone).expectMatches(child(bone.get(), 0).get());
    for (size_t i = 0; i < a.walkKeys.size(); ++i) {
        SCOPED_TRACE(a.walkKeys[i].keyType);
        auto key = child(anim.get(), 1 + i);
        EXPECT_EQ(TID_D3DRMAnimationKey, typeOf(key.get()));
        a.walkKeys[i].layout().expectMatches(key.get());
    }
    auto options = child(anim.get(), 1 + a.walkKeys.size());
    EXPECT_EQ(TID_D3DRMAnimationOptions, typeOf(options.get()));
    Layout().dw(1).dw(0).expectMatches(options.get());

    auto run = top(l, 3);
    EXPECT_EQ("Run", nameOf(run.get()));
    auto runAnim = child(run.get(), 0);
    EXPECT_EQ("", nameOf(runAnim.get()));
    ASSERT_EQ(2u, childCount(runAnim.get()));
    EXPECT_TRUE(child(runAnim.get(), 0)->IsReference());
    a.runKey.layout().expectMatches(child(runAnim.get(), 1).get());
}

INSTANTIATE_TEST_SUITE_P(AllEncodings, Reader,
                         ::testing::Values(Enc::Text, Enc::Binary, Enc::Binary64, Enc::BinarySplit,
                                           Enc::TextZip, Enc::BinaryZip),
                         [](const auto& info) { return std::string(encName(info.param)); });

}  // namespace
