// The animation collection: reading sets, animations and keys, binding frames and playing sets.
#include <rmxfguid.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "animation.h"
#include "fake_xdata.h"
#include "scene_fixture.h"

using scenetest::Encode;
using scenetest::FakeNode;
using scenetest::FakeTree;
using scenetest::Form;
using scenetest::kXHeader;
using scenetest::Scratch;
using scenetest::VectorNear;

namespace {

struct Key {
    DWORD time;
    std::vector<float> values;
};

std::string Num(float f) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.6f", double(f));
    return buf;
}

// An AnimationKey object: "type; count; time;n;v,v,v;;, ...;".
std::string KeyText(DWORD type, const std::vector<Key>& keys) {
    std::string s = "  AnimationKey {\n   " + std::to_string(type) + ";\n   " + std::to_string(keys.size()) + ";\n";
    for (size_t k = 0; k < keys.size(); k++) {
        s += "   " + std::to_string(keys[k].time) + ";" + std::to_string(keys[k].values.size()) + ";";
        for (size_t i = 0; i < keys[k].values.size(); i++)
            s += Num(keys[k].values[i]) + (i + 1 < keys[k].values.size() ? "," : ";");
        s += k + 1 < keys.size() ? ";,\n" : ";;\n";
    }
    return s + "  }\n";
}

std::string Animation(const std::string& frame, const std::string& keys, const std::string& name = "") {
    return " Animation " + name + " {\n  { " + frame + " }\n" + keys + " }\n";
}

std::string Set(const std::string& name, const std::string& animations) {
    return "AnimationSet " + name + " {\n" + animations + "}\n";
}

std::string File(const std::string& body) {
    return std::string(kXHeader) + "Frame Bone {\n}\nFrame Other {\n}\n" + body;
}

std::vector<float> Mat(const D3DXMATRIX& m) { return std::vector<float>(&m._11, &m._11 + 16); }

CHierarchyFrame* Named(const char* name) {
    CHierarchyFrame* f = new CHierarchyFrame();
    f->Name = new char[std::strlen(name) + 1];
    std::strcpy(f->Name, name);
    return f;
}

// A tree of two frames, "Bone" and "Other", for the animations to drive.
class Animated : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = Named("Bone");
        other_ = Named("Other");
        root_->pFrameFirstChild = other_;
    }
    void TearDown() override { delete root_; }

    // Loads a file into the collection and binds it to the tree.
    void Load(const std::string& text, Form form = Form::Text) {
        file_ = scratch_.Write("anim.x", Encode(text, form));
        ASSERT_EQ(anims_.Load(file_.c_str()), TRUE);
        anims_.Map(root_);
    }
    // Where the bone's local matrix takes a point.
    D3DXVECTOR3 Bone(D3DXVECTOR3 p) {
        D3DXVECTOR3 out;
        D3DXVec3TransformCoord(&out, &p, &root_->TransformationMatrix);
        return out;
    }
    D3DXVECTOR3 BoneAt(DWORD t, DWORD loop = 0, D3DXVECTOR3 p = D3DXVECTOR3(0, 0, 0)) {
        anims_.Update(nullptr, t, loop, false);
        return Bone(p);
    }

    Scratch scratch_;
    std::string file_;
    CModelAnimations anims_;
    CHierarchyFrame* root_ = nullptr;
    CHierarchyFrame* other_ = nullptr;
};

// ---- reading

class AnimationRead : public Animated, public ::testing::WithParamInterface<Form> {};

TEST_P(AnimationRead, KeysOfEveryTypeAreReadAndOthersIgnored) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 3, 4, 5);
    std::string walk = Animation("Bone",
                                 KeyText(0, {{0, {1, 0, 0, 0}}, {40, {0.5f, 0.25f, 0.75f, -0.5f}}}) +
                                     KeyText(1, {{0, {1, 1, 1}}, {80, {2, 0.5f, 1}}}) +
                                     KeyText(2, {{0, {0, 0, 0}}, {10, {10, 0, 0}}}) +
                                     KeyText(4, {{20, Mat(m)}}) + KeyText(3, {{100, {9, 9, 9}}}),
                                 "WalkBone");
    std::string second = Animation("Other", KeyText(2, {{5, {1, 2, 3}}}));
    Load(File(Set("Walk", walk + second)), GetParam());

    ASSERT_EQ(anims_.NumSets, 1u);
    CAnimationSet* set = anims_.Sets;
    ASSERT_NE(set, nullptr);
    EXPECT_STREQ(set->Name, "Walk");
    EXPECT_EQ(set->Length, 80u);  // the ignored key at 100 does not count
    ASSERT_EQ(set->NumAnimations, 2u);

    // The animation read last comes first.
    CAnimation* other = set->Animations;
    ASSERT_NE(other, nullptr);
    EXPECT_STREQ(other->FrameName, "Other");
    EXPECT_EQ(other->Frame, other_);
    CAnimation* walkBone = other->Next;
    ASSERT_NE(walkBone, nullptr);
    EXPECT_STREQ(walkBone->FrameName, "Bone");
    EXPECT_EQ(walkBone->Frame, root_);
    EXPECT_EQ(walkBone->Next, nullptr);

    ASSERT_EQ(walkBone->NumRotationKeys, 2u);
    EXPECT_EQ(walkBone->RotationKeys[0].Time, 0u);
    EXPECT_EQ(walkBone->RotationKeys[0].Value, D3DXQUATERNION(0, 0, 0, 1));
    EXPECT_EQ(walkBone->RotationKeys[1].Time, 40u);
    EXPECT_EQ(walkBone->RotationKeys[1].Value, D3DXQUATERNION(0.25f, 0.75f, -0.5f, 0.5f));  // w came first
    ASSERT_EQ(walkBone->NumScaleKeys, 2u);
    EXPECT_EQ(walkBone->ScaleKeys[1].Time, 80u);
    EXPECT_EQ(walkBone->ScaleKeys[1].Value, D3DXVECTOR3(2, 0.5f, 1));
    ASSERT_EQ(walkBone->NumTranslationKeys, 2u);
    EXPECT_EQ(walkBone->TranslationKeys[1].Value, D3DXVECTOR3(10, 0, 0));
    ASSERT_EQ(walkBone->NumMatrixKeys, 1u);
    EXPECT_EQ(walkBone->MatrixKeys[0].Time, 20u);
    EXPECT_EQ(walkBone->MatrixKeys[0].Value, m);

    ASSERT_EQ(other->NumTranslationKeys, 1u);
    EXPECT_EQ(other->TranslationKeys[0].Value, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(other->NumRotationKeys, 0u);
    EXPECT_EQ(other->RotationKeys, nullptr);
}

TEST_P(AnimationRead, SetsComeOutInReverseOrderAndAreFoundIgnoringCase) {
    Load(File(Set("Alpha", Animation("Bone", KeyText(2, {{0, {1, 0, 0}}}))) +
              Set("Beta", Animation("Bone", KeyText(2, {{0, {2, 0, 0}}})))),
         GetParam());
    ASSERT_EQ(anims_.NumSets, 2u);
    EXPECT_STREQ(anims_.Sets->Name, "Beta");
    EXPECT_STREQ(anims_.Sets->Next->Name, "Alpha");

    anims_.Update(nullptr, 0, 0, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(2, 0, 0)));
    anims_.Update("aLPHA", 0, 0, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 0, 0)));
    root_->TransformationMatrix._42 = 7;
    anims_.Update("Gamma", 0, 0, false);  // no such set: nothing moves
    EXPECT_EQ(root_->TransformationMatrix._42, 7.0f);
}

INSTANTIATE_TEST_SUITE_P(Forms, AnimationRead, ::testing::Values(Form::Text, Form::Binary),
                         [](const ::testing::TestParamInfo<Form>& i) { return scenetest::FormName(i.param); });

TEST_F(Animated, AnUnnamedSetMatchesNoNameButPlaysWhenNoneIsAsked) {
    Load(File(Set("Alpha", Animation("Bone", KeyText(2, {{0, {1, 0, 0}}}))) +
              Set("", Animation("Bone", KeyText(2, {{0, {5, 0, 0}}})))));
    ASSERT_EQ(anims_.NumSets, 2u);
    EXPECT_EQ(anims_.Sets->Name, nullptr);
    anims_.Update("Alpha", 0, 0, false);  // passes the unnamed set on its way
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 0, 0)));
    anims_.Update("", 0, 0, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(1, 0, 0)));
    anims_.Update(nullptr, 0, 0, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(5, 0, 0)));
}

TEST_F(Animated, KeysWhoseValueCountDoesNotFitTheirTypeAreIgnored) {
    std::string keys = KeyText(2, {{0, {1, 2, 3, 4}}}) +       // a position with four values
                       KeyText(0, {{0, {1, 0, 0}}}) +          // a rotation with three
                       KeyText(4, {{0, {1, 0, 0, 0}}}) +       // a matrix with four
                       KeyText(1, {{0, {2, 2, 2}}, {30, {1, 2}}}) +  // one bad key spoils the block
                       KeyText(1, {{7, {3, 3, 3}}});
    Load(File(Set("S", Animation("Bone", keys))));
    CAnimation* a = anims_.Sets->Animations;
    EXPECT_EQ(a->NumTranslationKeys, 0u);
    EXPECT_EQ(a->NumRotationKeys, 0u);
    EXPECT_EQ(a->NumMatrixKeys, 0u);
    ASSERT_EQ(a->NumScaleKeys, 1u);
    EXPECT_EQ(a->ScaleKeys[0].Time, 7u);
    EXPECT_EQ(anims_.Sets->Length, 7u);
}

TEST_F(Animated, ALaterBlockOfTheSameTypeReplacesTheEarlierOne) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{0, {1, 0, 0}}, {5, {2, 0, 0}}}) +
                                             KeyText(2, {{3, {9, 0, 0}}})))));
    CAnimation* a = anims_.Sets->Animations;
    ASSERT_EQ(a->NumTranslationKeys, 1u);
    EXPECT_EQ(a->TranslationKeys[0].Value, D3DXVECTOR3(9, 0, 0));
    EXPECT_EQ(anims_.Sets->Length, 5u);
}

TEST_F(Animated, ObjectsOutsideAnySetAndFrameReferencesOutsideAnAnimationAreIgnored) {
    std::string text = std::string(kXHeader) + "Frame Bone {\n}\n" +
                       " Animation {\n  { Bone }\n" + KeyText(2, {{0, {1, 0, 0}}}) + " }\n" +
                       Set("S", " Animation {\n  Frame Inner {\n   { Bone }\n  }\n" +
                                    KeyText(2, {{4, {1, 0, 0}}}) + " }\n");
    Load(text);
    ASSERT_EQ(anims_.NumSets, 1u);
    ASSERT_EQ(anims_.Sets->NumAnimations, 1u);
    CAnimation* a = anims_.Sets->Animations;
    EXPECT_EQ(a->FrameName, nullptr);  // the reference sat in a frame, not in the animation
    EXPECT_EQ(a->Frame, nullptr);
    EXPECT_EQ(a->NumTranslationKeys, 1u);
    EXPECT_EQ(anims_.Sets->Length, 4u);
}

TEST(AnimationKeyData, BlocksShorterThanTheirCountsAreIgnored) {
    FakeTree tree;
    FakeNode* set = tree.Add(TID_D3DRMAnimationSet, "S");
    FakeNode* anim = tree.Add(TID_D3DRMAnimation);
    FakeTree::Link(set, anim);
    std::vector<uint8_t> oneKey = scenetest::Dwords({2, 1, 5, 3});
    std::vector<uint8_t> values = scenetest::Floats({1, 2, 3});
    oneKey.insert(oneKey.end(), values.begin(), values.end());

    std::vector<uint8_t> claimsMore = oneKey;
    claimsMore[4] = 2;  // two keys, one present
    std::vector<uint8_t> claimsAll = oneKey;
    std::memset(&claimsAll[4], 0xFF, 4);  // 4,294,967,295 keys
    std::vector<uint8_t> cut(oneKey.begin(), oneKey.end() - 2);
    for (const std::vector<uint8_t>& data :
         {claimsMore, claimsAll, cut, std::vector<uint8_t>{2, 0, 0}, std::vector<uint8_t>{}})
        FakeTree::Link(anim, tree.Add(TID_D3DRMAnimationKey, "", data));
    FakeNode* locked = tree.Add(TID_D3DRMAnimationKey, "", oneKey);
    locked->lockFails = true;
    FakeTree::Link(anim, locked);

    CAnimationCollection anims;
    ID3DXFileData* d = tree.Open(set);
    EXPECT_EQ(anims.ParseObject(d, nullptr, 0, nullptr, FALSE), TRUE);
    d->Release();
    ASSERT_EQ(anims.NumSets, 1u);
    CAnimation* a = anims.Sets->Animations;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->NumTranslationKeys, 0u);
    EXPECT_EQ(a->TranslationKeys, nullptr);
    EXPECT_EQ(anims.Sets->Length, 0u);

    // The same block whole is taken.
    FakeTree::Link(anim, tree.Add(TID_D3DRMAnimationKey, "", oneKey));
    CAnimationCollection again;
    d = tree.Open(set);
    again.ParseObject(d, nullptr, 0, nullptr, FALSE);
    d->Release();
    ASSERT_EQ(again.Sets->Animations->NumTranslationKeys, 1u);
    EXPECT_EQ(again.Sets->Animations->TranslationKeys[0].Value, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(tree.Alive(), 0);
}

// ---- loading and freeing

TEST_F(Animated, LoadFreesWhatWasHeldWhileParseAddsInFront) {
    std::string a = scratch_.Write("a.x", File(Set("A", Animation("Bone", KeyText(2, {{0, {1, 0, 0}}})))));
    std::string b = scratch_.Write("b.x", File(Set("B1", Animation("Bone", "")) + Set("B2", Animation("Bone", ""))));
    ASSERT_EQ(anims_.Load(a.c_str()), TRUE);
    ASSERT_EQ(anims_.Load(b.c_str()), TRUE);
    EXPECT_EQ(anims_.NumSets, 2u);
    EXPECT_STREQ(anims_.Sets->Name, "B2");
    EXPECT_EQ(anims_.Parse(a.c_str(), nullptr), TRUE);
    EXPECT_EQ(anims_.NumSets, 3u);
    EXPECT_STREQ(anims_.Sets->Name, "A");

    EXPECT_EQ(anims_.Load("no_such_file.x"), FALSE);
    EXPECT_EQ(anims_.NumSets, 0u);
    EXPECT_EQ(anims_.Sets, nullptr);
    anims_.Free();
    anims_.Free();
    EXPECT_EQ(anims_.NumSets, 0u);
    anims_.Update(nullptr, 10, 1, false);  // nothing to play
    anims_.UpdateBlended("A", 10, 1, 1.0f, false);
}

TEST_F(Animated, MapBindsByNameAndLeavesUnknownFramesUnbound) {
    Load(File(Set("S", Animation("Bone", "") + Animation("Other", ""))));
    delete[] anims_.Sets->Animations->FrameName;
    anims_.Sets->Animations->FrameName = nullptr;
    anims_.Sets->Animations->Next->FrameName[0] = 'X';  // "Xone": no such frame
    anims_.Map(root_);
    EXPECT_EQ(anims_.Sets->Animations->Frame, nullptr);
    EXPECT_EQ(anims_.Sets->Animations->Next->Frame, nullptr);
    anims_.Update(nullptr, 0, 0, false);  // unbound animations are skipped

    Load(File(Set("S", Animation("Bone", ""))));
    anims_.Map(nullptr);
    EXPECT_EQ(anims_.Sets->Animations->Frame, nullptr);
}

// ---- playing

TEST_F(Animated, PositionsAreInterpolatedBetweenTheKeysAroundTheTime) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{0, {0, 0, 0}}, {10, {10, 0, 0}}})))));
    EXPECT_TRUE(VectorNear(BoneAt(5), D3DXVECTOR3(5, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(0), D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(10), D3DXVECTOR3(10, 0, 0)));
}

TEST_F(Animated, BeforeTheFirstKeyTheFirstKeyHoldsAndAfterTheLastTheLastOne) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{10, {1, 0, 0}}, {20, {2, 0, 0}}})))));
    EXPECT_TRUE(VectorNear(BoneAt(0), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(9), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(15), D3DXVECTOR3(1.5f, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(20), D3DXVECTOR3(2, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(25), D3DXVECTOR3(2, 0, 0)));  // beyond the set: played as its length
}

TEST_F(Animated, TimesPastTheLengthLoopOrStop) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{0, {0, 0, 0}}, {40, {40, 0, 0}}, {80, {80, 0, 0}}})))));
    ASSERT_EQ(anims_.Sets->Length, 80u);
    EXPECT_TRUE(VectorNear(BoneAt(100, 1), D3DXVECTOR3(19, 0, 0)));  // 100 mod 81
    EXPECT_TRUE(VectorNear(BoneAt(100, 0), D3DXVECTOR3(80, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(100, 2), D3DXVECTOR3(80, 0, 0)));  // only 1 means loop
    EXPECT_TRUE(VectorNear(BoneAt(81, 1), D3DXVECTOR3(0, 0, 0)));
}

TEST_F(Animated, TheLongestLengthDoesNotDivideByZero) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{0, {0, 0, 0}}, {4294967295u, {1, 0, 0}}})))));
    ASSERT_EQ(anims_.Sets->Length, 0xFFFFFFFFu);
    EXPECT_TRUE(VectorNear(BoneAt(0xFFFFFFFFu, 1), D3DXVECTOR3(1, 0, 0)));
    EXPECT_TRUE(VectorNear(BoneAt(0, 1), D3DXVECTOR3(0, 0, 0)));
}

TEST_F(Animated, KeysAtTheSameTimeTakeTheLaterOne) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{10, {1, 0, 0}}, {10, {2, 0, 0}}})))));
    EXPECT_TRUE(VectorNear(BoneAt(10), D3DXVECTOR3(2, 0, 0)));
}

TEST_F(Animated, RotationsAreReadWFirstAndCanBeInverted) {
    const float h = std::sqrt(0.5f);
    Load(File(Set("Id", Animation("Bone", KeyText(0, {{0, {1, 0, 0, 0}}}))) +
              Set("Turn", Animation("Bone", KeyText(0, {{0, {h, 0, h, 0}}})))));
    anims_.Update("Id", 0, 0, false);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_TRUE(scenetest::MatrixNear(root_->TransformationMatrix, id));

    // +90 degrees about y takes x to -z; inverted, to +z.
    anims_.Update("Turn", 0, 0, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(0, 0, -1)));
    anims_.Update("Turn", 0, 0, true);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(0, 0, 1)));
}

TEST_F(Animated, ScaleThenRotationThenTranslationThenMatrix) {
    const float h = std::sqrt(0.5f);
    D3DXMATRIX twice;
    D3DXMatrixScaling(&twice, 2, 2, 2);
    Load(File(Set("S", Animation("Bone", KeyText(4, {{0, Mat(twice)}}) + KeyText(2, {{0, {0, 0, 5}}}) +
                                             KeyText(0, {{0, {h, 0, h, 0}}}) + KeyText(1, {{0, {2, 1, 1}}})))));
    // (1,0,0) scaled to (2,0,0), turned to (0,0,-2), moved to (0,0,3), doubled to (0,0,6).
    EXPECT_TRUE(VectorNear(BoneAt(0, 0, D3DXVECTOR3(1, 0, 0)), D3DXVECTOR3(0, 0, 6)));
}

TEST_F(Animated, MatrixKeysAreInterpolatedElementByElement) {
    D3DXMATRIX a, b;
    D3DXMatrixTranslation(&a, 0, 0, 0);
    D3DXMatrixTranslation(&b, 10, -4, 0);
    Load(File(Set("S", Animation("Bone", KeyText(4, {{0, Mat(a)}, {10, Mat(b)}})))));
    EXPECT_TRUE(VectorNear(BoneAt(5), D3DXVECTOR3(5, -2, 0)));
}

TEST_F(Animated, AnAnimationWithoutKeysLeavesItsFrameAtIdentity) {
    Load(File(Set("S", Animation("Bone", ""))));
    D3DXMatrixTranslation(&root_->TransformationMatrix, 4, 4, 4);
    D3DXMatrixTranslation(&other_->TransformationMatrix, 4, 4, 4);
    anims_.Update(nullptr, 3, 0, false);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_EQ(root_->TransformationMatrix, id);
    EXPECT_NE(other_->TransformationMatrix, id);  // not animated: untouched
}

TEST_F(Animated, BlendingAddsTheWeightedDifferenceFromTheOriginal) {
    Load(File(Set("S", Animation("Bone", KeyText(2, {{0, {4, 0, 0}}})))));
    D3DXMATRIX id, start;
    D3DXMatrixIdentity(&id);
    D3DXMatrixTranslation(&start, 0, 1, 0);

    root_->matOriginal = id;
    root_->TransformationMatrix = start;
    anims_.UpdateBlended(nullptr, 0, 0, 0.0f, false);
    EXPECT_EQ(root_->TransformationMatrix, start);

    anims_.UpdateBlended(nullptr, 0, 0, 0.5f, false);
    EXPECT_TRUE(VectorNear(Bone(D3DXVECTOR3(0, 0, 0)), D3DXVECTOR3(2, 1, 0)));

    D3DXMatrixTranslation(&root_->matOriginal, 9, 9, 9);
    root_->TransformationMatrix = root_->matOriginal;
    anims_.UpdateBlended("s", 0, 0, 1.0f, false);
    D3DXMATRIX expected;
    D3DXMatrixTranslation(&expected, 4, 0, 0);
    EXPECT_TRUE(scenetest::MatrixNear(root_->TransformationMatrix, expected));
}

}  // namespace
