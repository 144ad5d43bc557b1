// The .x walkers: the parser base, the mesh-hierarchy parser and the hierarchy frame.
#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <cstring>
#include <map>

#include "fake_xdata.h"
#include "meshcontainer.h"
#include "scene_fixture.h"
#include "xparser.h"

using scenetest::Encode;
using scenetest::FakeNode;
using scenetest::FakeTree;
using scenetest::Form;
using scenetest::kXHeader;
using scenetest::MatrixText;
using scenetest::Scratch;

namespace {

std::string TypeName(const GUID& g) {
    if (g == TID_D3DRMFrame) return "Frame";
    if (g == TID_D3DRMFrameTransformMatrix) return "FrameTransformMatrix";
    if (g == TID_D3DRMMesh) return "Mesh";
    if (g == TID_D3DRMMeshNormals) return "MeshNormals";
    if (g == TID_D3DRMAnimationSet) return "AnimationSet";
    return "?";
}

std::string Str(const char* s) { return s ? s : "-"; }

// Records every object that the walk hands to ParseObject, as "depth type name <parent [ref]".
class Recorder : public CXFileParser {
public:
    BOOL BeginParse(void* pUserData) override {
        begins++;
        beginData = pUserData;
        return beginResult;
    }
    BOOL EndParse(void* pUserData) override {
        ends++;
        endData = pUserData;
        return TRUE;
    }
    BOOL ParseObject(ID3DXFileData* pData, ID3DXFileData* pParent, DWORD depth, void* pUserData,
                     BOOL bReference) override {
        char* name = GetObjectName(pData);
        char* parent = GetObjectName(pParent);
        std::string line = std::to_string(depth) + " " + TypeName(GetObjectGUID(pData)) + " " + Str(name) + " <" +
                           (pParent ? Str(parent) : std::string("top")) + (bReference == TRUE ? " ref" : "");
        visits.push_back(line);
        objectData.push_back(pUserData);
        bool stop = name && stopAt == name;
        delete[] name;
        delete[] parent;
        if (stop) return FALSE;
        return CXFileParser::ParseObject(pData, pParent, depth, pUserData, bReference);
    }

    BOOL beginResult = TRUE;
    std::string stopAt;
    int begins = 0, ends = 0;
    void* beginData = nullptr;
    void* endData = nullptr;
    std::vector<std::string> visits;
    std::vector<void*> objectData;
};

const char* const kMeshBody = " 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n";

std::string WalkFile() {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 1, 2, 3);
    return std::string(kXHeader) + "Mesh Shared {\n" + kMeshBody +
           " MeshNormals {\n 1;\n 0.0;0.0;1.0;;\n 1;\n 3;0,0,0;;\n }\n}\n" +
           "Frame A {\n" + MatrixText(m) + " Frame P {\n }\n Frame Q {\n  { Shared }\n }\n}\n" +
           "Frame B {\n}\n";
}

class ParserWalk : public ::testing::TestWithParam<Form> {};

TEST_P(ParserWalk, EveryObjectInFileOrderWithItsParentDepthAndReferenceFlag) {
    Scratch scratch;
    std::string file = scratch.Write("walk.x", Encode(WalkFile(), GetParam()));
    Recorder r;
    int token = 0;
    EXPECT_EQ(r.Parse(file.c_str(), &token), TRUE);
    std::vector<std::string> expected = {
        "0 Mesh Shared <top",
        "1 MeshNormals - <Shared",
        "0 Frame A <top",
        "1 FrameTransformMatrix - <A",
        "1 Frame P <A",
        "1 Frame Q <A",
        "2 Mesh Shared <Q ref",
        "3 MeshNormals - <Shared ref",  // everything under a reference counts as one
        "0 Frame B <top",
    };
    EXPECT_EQ(r.visits, expected);
    EXPECT_EQ(r.begins, 1);
    EXPECT_EQ(r.ends, 1);
    EXPECT_EQ(r.beginData, &token);
    EXPECT_EQ(r.endData, &token);
    for (void* p : r.objectData) EXPECT_EQ(p, &token);
}

TEST_P(ParserWalk, AFalseResultStopsTheWholeWalkButTheParseSucceeds) {
    Scratch scratch;
    std::string file = scratch.Write("walk.x", Encode(WalkFile(), GetParam()));
    Recorder r;
    r.stopAt = "P";
    EXPECT_EQ(r.Parse(file.c_str(), nullptr), TRUE);
    std::vector<std::string> expected = {
        "0 Mesh Shared <top", "1 MeshNormals - <Shared", "0 Frame A <top", "1 FrameTransformMatrix - <A",
        "1 Frame P <A",
    };
    EXPECT_EQ(r.visits, expected);
    EXPECT_EQ(r.ends, 1);
}

INSTANTIATE_TEST_SUITE_P(Forms, ParserWalk, ::testing::Values(Form::Text, Form::Binary),
                         [](const ::testing::TestParamInfo<Form>& i) { return scenetest::FormName(i.param); });

TEST(ParserBase, BeginParseOtherThanTrueWalksNothingButEndParseStillRuns) {
    Scratch scratch;
    std::string file = scratch.Write("walk.x", WalkFile());
    for (BOOL answer : {FALSE, 2}) {
        Recorder r;
        r.beginResult = answer;
        EXPECT_EQ(r.Parse(file.c_str(), nullptr), TRUE);
        EXPECT_TRUE(r.visits.empty());
        EXPECT_EQ(r.begins, 1);
        EXPECT_EQ(r.ends, 1);
    }
}

TEST(ParserBase, FilesThatCannotBeOpenedGiveFalseWithoutBeginOrEnd) {
    Scratch scratch;
    std::string good = WalkFile();
    std::string truncated = scratch.Write("cut.x", good.substr(0, good.size() / 2));
    std::string unknown = scratch.Write("unknown.x", std::string(kXHeader) + "Gizmo G {\n 1;\n}\n");
    std::string unresolved = scratch.Write("unresolved.x", std::string(kXHeader) + "Frame F {\n { Nowhere }\n}\n");
    std::string cycle = scratch.Write("cycle.x", std::string(kXHeader) + "Frame F {\n Frame G {\n  { F }\n }\n}\n");
    const char* names[] = {nullptr, "no_such_file.x", truncated.c_str(), unknown.c_str(), unresolved.c_str(),
                           cycle.c_str()};
    for (const char* name : names) {
        Recorder r;
        EXPECT_EQ(r.Parse(name, nullptr), FALSE) << Str(name);
        EXPECT_EQ(r.begins, 0);
        EXPECT_EQ(r.ends, 0);
        EXPECT_TRUE(r.visits.empty());
    }
}

// ---- references that lead back: trees the platform's reader refuses, built by hand

TEST(ParserReferences, AReferenceIntoItselfOrAnAncestorIsNotFollowed) {
    FakeTree tree;
    FakeNode* a = tree.Add(TID_D3DRMFrame, "A");
    FakeNode* b = tree.Add(TID_D3DRMFrame, "B");
    FakeNode* self = tree.Add(TID_D3DRMFrame, "S");
    FakeTree::Link(a, b);
    FakeTree::Link(b, a, true);     // back to the grandparent
    FakeTree::Link(b, b, true);     // back to itself
    FakeTree::Link(self, self, true);

    Recorder r;
    ID3DXFileData* top = tree.Open(a);
    EXPECT_EQ(r.ParseObject(top, nullptr, 0, nullptr, FALSE), TRUE);
    EXPECT_EQ(r.visits, (std::vector<std::string>{"0 Frame A <top", "1 Frame B <A"}));
    top->Release();

    r.visits.clear();
    top = tree.Open(self);
    EXPECT_EQ(r.ParseObject(top, nullptr, 0, nullptr, FALSE), TRUE);
    EXPECT_EQ(r.visits, (std::vector<std::string>{"0 Frame S <top"}));
    top->Release();
    EXPECT_EQ(tree.Alive(), 0) << "a data object of the walk was not released";
}

TEST(ParserReferences, OtherReferencesAreFollowedEvenUnderTheSameName) {
    FakeTree tree;
    FakeNode* a = tree.Add(TID_D3DRMFrame, "A", {1});
    FakeNode* twin = tree.Add(TID_D3DRMFrame, "A", {2});  // another object that happens to share the name
    FakeNode* leaf = tree.Add(TID_D3DRMFrame, "Leaf");
    FakeTree::Link(a, twin, true);
    FakeTree::Link(twin, leaf, true);
    FakeTree::Link(a, leaf, true);

    Recorder r;
    ID3DXFileData* top = tree.Open(a);
    EXPECT_EQ(r.ParseObject(top, nullptr, 0, nullptr, FALSE), TRUE);
    top->Release();
    EXPECT_EQ(r.visits, (std::vector<std::string>{"0 Frame A <top", "1 Frame A <A ref", "2 Frame Leaf <A ref",
                                                   "1 Frame Leaf <A ref"}));
}

TEST(ParserReferences, AnEndlesslyNestedTreeIsWalkedOnlyToABoundedDepth) {
    FakeTree tree;
    FakeNode* top = tree.Add(TID_D3DRMFrame, "F0");
    FakeNode* n = top;
    for (int i = 1; i < 5000; i++) {
        FakeNode* c = tree.Add(TID_D3DRMFrame, "F" + std::to_string(i));
        FakeTree::Link(n, c);
        n = c;
    }
    Recorder r;
    ID3DXFileData* d = tree.Open(top);
    EXPECT_EQ(r.ParseObject(d, nullptr, 0, nullptr, FALSE), TRUE);
    d->Release();
    EXPECT_GT(r.visits.size(), 200u);
    EXPECT_LT(r.visits.size(), 5000u);
}

// ---- accessors

TEST(ParserAccessors, NamesTypesAndDataCopies) {
    Scratch scratch;
    std::string file = scratch.Write("walk.x", WalkFile());
    ID3DXFile* x = nullptr;
    ASSERT_EQ(D3DXFileCreate(&x), S_OK);
    ASSERT_EQ(x->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES), S_OK);
    ID3DXFileEnumObject* e = nullptr;
    ASSERT_EQ(x->CreateEnumObject(file.c_str(), D3DXF_FILELOAD_FROMFILE, &e), S_OK);
    ID3DXFileData* frameA = nullptr;
    ASSERT_EQ(e->GetChild(1, &frameA), S_OK);
    ID3DXFileData* matrix = nullptr;
    ASSERT_EQ(frameA->GetChild(0, &matrix), S_OK);

    CXFileParser p;
    char* name = p.GetObjectName(frameA);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "A");
    delete[] name;
    EXPECT_EQ(p.GetObjectName(matrix), nullptr);  // unnamed
    EXPECT_EQ(p.GetObjectName(nullptr), nullptr);
    EXPECT_TRUE(p.GetObjectGUID(frameA) == TID_D3DRMFrame);
    EXPECT_TRUE(p.GetObjectGUID(matrix) == TID_D3DRMFrameTransformMatrix);
    GUID none;
    std::memset(&none, 0, sizeof none);
    EXPECT_TRUE(p.GetObjectGUID(nullptr) == none);

    DWORD size = 1234;
    BYTE* copy = p.GetObjectData(matrix, &size);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(size, 64u);
    D3DXMATRIX expected, got;
    D3DXMatrixTranslation(&expected, 1, 2, 3);
    std::memcpy(&got, copy, 64);
    EXPECT_EQ(got, expected);
    delete[] copy;
    copy = p.GetObjectData(matrix, nullptr);  // no size wanted: still a copy
    EXPECT_NE(copy, nullptr);
    delete[] copy;
    // The copy left nothing locked: an unlock has nothing to undo.
    EXPECT_TRUE(FAILED(p.UnlockObjectData(matrix)));
    EXPECT_EQ(p.UnlockObjectData(nullptr), E_FAIL);
    EXPECT_EQ(p.GetObjectData(nullptr, &size), nullptr);

    matrix->Release();
    frameA->Release();
    e->Release();
    x->Release();
}

TEST(ParserAccessors, DataThatCannotBeLockedGivesNoCopy) {
    FakeTree tree;
    FakeNode* n = tree.Add(TID_D3DRMFrameTransformMatrix, "", scenetest::Floats(std::vector<float>(16, 1.0f)));
    n->lockFails = true;
    ID3DXFileData* d = tree.Open(n);
    CXFileParser p;
    DWORD size = 99;
    EXPECT_EQ(p.GetObjectData(d, &size), nullptr);
    EXPECT_EQ(size, 0u);
    d->Release();
}

// ---- the hierarchy frame

TEST(HierarchyFrame, StartsEmptyWithIdentityMatrices) {
    CHierarchyFrame f;
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_EQ(f.Name, nullptr);
    EXPECT_EQ(f.pMeshContainer, nullptr);
    EXPECT_EQ(f.pFrameSibling, nullptr);
    EXPECT_EQ(f.pFrameFirstChild, nullptr);
    EXPECT_EQ(f.TransformationMatrix, id);
    EXPECT_EQ(f.matCombined, id);
    EXPECT_EQ(f.matOriginal, id);
}

CHierarchyFrame* Named(const char* name) {
    CHierarchyFrame* f = new CHierarchyFrame();
    if (name) {
        f->Name = new char[std::strlen(name) + 1];
        std::strcpy(f->Name, name);
    }
    return f;
}

TEST(HierarchyFrame, FindSearchesSiblingsBeforeChildren) {
    // root -> sibling, root's child "dup", sibling's child "dup" with a child "deep".
    CHierarchyFrame* root = Named("root");
    CHierarchyFrame* sibling = Named("sibling");
    CHierarchyFrame* rootChild = Named("dup");
    CHierarchyFrame* siblingChild = Named("dup");
    CHierarchyFrame* deep = Named("deep");
    CHierarchyFrame* unnamed = Named(nullptr);
    root->pFrameSibling = sibling;
    root->pFrameFirstChild = rootChild;
    rootChild->pFrameSibling = unnamed;
    sibling->pFrameFirstChild = siblingChild;
    siblingChild->pFrameFirstChild = deep;

    EXPECT_EQ(root->Find("root"), root);
    EXPECT_EQ(root->Find("sibling"), sibling);
    EXPECT_EQ(root->Find("deep"), deep);
    EXPECT_EQ(root->Find("dup"), siblingChild);  // the sibling's subtree comes first
    EXPECT_EQ(rootChild->Find("dup"), rootChild);
    EXPECT_EQ(root->Find("none"), nullptr);
    EXPECT_EQ(root->Find(nullptr), nullptr);
    EXPECT_EQ(unnamed->Find(""), nullptr);
    delete root;  // the whole tree, siblings and children
}

TEST(HierarchyFrame, ALongSiblingChainIsSearchedAndFreedWithoutDeepRecursion) {
    CHierarchyFrame* root = Named("f0");
    CHierarchyFrame* last = root;
    for (int i = 1; i < 200000; i++) {
        CHierarchyFrame* f = Named(("f" + std::to_string(i)).c_str());
        last->pFrameSibling = f;
        last = f;
    }
    last->pFrameFirstChild = Named("child");
    EXPECT_EQ(root->Find("f199999"), last);
    EXPECT_EQ(root->Find("child"), last->pFrameFirstChild);
    delete root;
}

// ---- the mesh-hierarchy parser

std::string HierarchyFile(const D3DXMATRIX& ma, const D3DXMATRIX& mq) {
    return std::string(kXHeader) + "Mesh ArmMesh {\n" + kMeshBody + "}\n" +
           "Frame A {\n" + MatrixText(ma) + " Frame P {\n }\n Frame Q {\n" + MatrixText(mq) +
           "  Mesh {\n" + kMeshBody + "  }\n }\n}\n" +
           "Frame B {\n { A }\n { ArmMesh }\n}\n" + "Frame {\n}\n";
}

class HierarchyParse : public ::testing::TestWithParam<Form> {
protected:
    void SetUp() override {
        D3DXMatrixTranslation(&ma_, 1, 2, 3);
        D3DXMatrixRotationY(&mq_, 0.5f);
        file_ = scratch_.Write("h.x", Encode(HierarchyFile(ma_, mq_), GetParam()));
    }
    Scratch scratch_;
    std::string file_;
    D3DXMATRIX ma_, mq_;
};

TEST_P(HierarchyParse, FramesComeOutInReverseOrderWithTheirMatrices) {
    CMeshHierarchyParser p;
    p.ParseFlags = XPARSE_BUILD_FRAMES;
    EXPECT_EQ(p.Parse(file_.c_str(), nullptr), TRUE);

    // Top level: the unnamed frame (read last), then B, then A.
    CHierarchyFrame* unnamed = p.RootFrame;
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->Name, nullptr);
    CHierarchyFrame* b = static_cast<CHierarchyFrame*>(unnamed->pFrameSibling);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->Name, "B");
    CHierarchyFrame* a = static_cast<CHierarchyFrame*>(b->pFrameSibling);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->Name, "A");
    EXPECT_EQ(a->pFrameSibling, nullptr);

    // A's children: Q then P.
    CHierarchyFrame* q = static_cast<CHierarchyFrame*>(a->pFrameFirstChild);
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(q->Name, "Q");
    CHierarchyFrame* pf = static_cast<CHierarchyFrame*>(q->pFrameSibling);
    ASSERT_NE(pf, nullptr);
    EXPECT_STREQ(pf->Name, "P");

    EXPECT_TRUE(scenetest::MatrixNear(a->TransformationMatrix, ma_));
    EXPECT_EQ(a->matOriginal, a->TransformationMatrix);
    EXPECT_TRUE(scenetest::MatrixNear(q->TransformationMatrix, mq_));
    EXPECT_EQ(q->matOriginal, q->TransformationMatrix);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_EQ(pf->TransformationMatrix, id);
    EXPECT_EQ(a->matCombined, id);

    // The referenced frame A inside B is not built again, and its matrix does not reach B.
    EXPECT_EQ(b->pFrameFirstChild, nullptr);
    EXPECT_EQ(b->TransformationMatrix, id);
    // Without the mesh flag no mesh is loaded.
    EXPECT_EQ(p.RootMesh, nullptr);
    EXPECT_EQ(q->pMeshContainer, nullptr);
}

TEST_P(HierarchyParse, WithoutTheFrameFlagNoFrameIsBuilt) {
    CMeshHierarchyParser p;
    EXPECT_EQ(p.Parse(file_.c_str(), nullptr), TRUE);
    EXPECT_EQ(p.RootFrame, nullptr);
    EXPECT_EQ(p.RootMesh, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Forms, HierarchyParse, ::testing::Values(Form::Text, Form::Binary),
                         [](const ::testing::TestParamInfo<Form>& i) { return scenetest::FormName(i.param); });

// The parser loads the meshes it meets through the device.
class HierarchyMeshes : public scenetest::DeviceTest, public ::testing::WithParamInterface<Form> {};

TEST_P(HierarchyMeshes, MeshesAreLoadedIntoTheListAndAReferenceFindsTheContainerOfItsName) {
    Scratch scratch;
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    std::string file = scratch.Write("h.x", Encode(HierarchyFile(id, id), GetParam()));
    CMeshHierarchyParser p;
    p.Device = device_;
    p.TexturePath = "";
    p.NewFVF = 0;
    p.LoadFlags = D3DXMESH_SYSTEMMEM;
    p.ParseFlags = XPARSE_BUILD_FRAMES | XPARSE_LOAD_MESHES;
    CMeshContainerEx* earlier = new CMeshContainerEx();
    earlier->Name = new char[8];
    std::strcpy(earlier->Name, "ArmMesh");
    p.RootMesh = earlier;
    EXPECT_EQ(p.Parse(file.c_str(), nullptr), TRUE);

    // The list in reverse file order: Q's unnamed mesh, ArmMesh, then what was there before.
    CMeshContainerEx* qMesh = p.RootMesh;
    ASSERT_NE(qMesh, nullptr);
    EXPECT_EQ(qMesh->Name, nullptr);
    ASSERT_NE(qMesh->MeshData.pMesh, nullptr);
    EXPECT_EQ(qMesh->MeshData.pMesh->GetNumFaces(), 1u);
    CMeshContainerEx* arm = static_cast<CMeshContainerEx*>(qMesh->pNextMeshContainer);
    ASSERT_NE(arm, nullptr);
    EXPECT_STREQ(arm->Name, "ArmMesh");
    EXPECT_NE(arm->MeshData.pMesh, nullptr);
    EXPECT_EQ(arm->pSkinInfo, nullptr);  // a skin of no bones is not kept
    EXPECT_EQ(arm->pSkinnedMesh, nullptr);
    EXPECT_EQ(arm->pNextMeshContainer, earlier);

    EXPECT_EQ(p.RootFrame->Find("Q")->pMeshContainer, qMesh);
    EXPECT_EQ(p.RootFrame->Find("B")->pMeshContainer, arm);  // the first of that name in the list
    EXPECT_EQ(p.RootFrame->Find("A")->pMeshContainer, nullptr);
    // The parser still holds both lists; its destructor frees them.

    CMeshHierarchyParser meshesOnly;
    meshesOnly.Device = device_;
    meshesOnly.TexturePath = "";
    meshesOnly.ParseFlags = XPARSE_LOAD_MESHES;
    EXPECT_EQ(meshesOnly.Parse(file.c_str(), nullptr), TRUE);
    EXPECT_EQ(meshesOnly.RootFrame, nullptr);
    ASSERT_NE(meshesOnly.RootMesh, nullptr);
    EXPECT_NE(meshesOnly.RootMesh->Find("ArmMesh"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Forms, HierarchyMeshes, ::testing::Values(Form::Text, Form::Binary),
                         [](const ::testing::TestParamInfo<Form>& i) { return scenetest::FormName(i.param); });

TEST(HierarchyParser, AMatrixOutsideAnyFrameBuildsNothing) {
    Scratch scratch;
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 2, 2, 2);
    std::string file = scratch.Write("loose.x", std::string(kXHeader) + MatrixText(m) + "Frame F {\n}\n");
    CMeshHierarchyParser p;
    p.ParseFlags = XPARSE_BUILD_FRAMES;
    EXPECT_EQ(p.Parse(file.c_str(), nullptr), TRUE);
    ASSERT_NE(p.RootFrame, nullptr);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    EXPECT_EQ(p.RootFrame->TransformationMatrix, id);
}

TEST(HierarchyParser, FailuresToOpenGiveFalseAndBuildNothing) {
    CMeshHierarchyParser p;
    p.ParseFlags = XPARSE_BUILD_FRAMES | XPARSE_LOAD_MESHES;
    EXPECT_EQ(p.Parse(nullptr, nullptr), FALSE);
    EXPECT_EQ(p.Parse("no_such_file.x", nullptr), FALSE);
    EXPECT_EQ(p.RootFrame, nullptr);
}

TEST(HierarchyParser, AMatrixShorterThanSixteenFloatsIsIgnored) {
    FakeTree tree;
    FakeNode* frame = tree.Add(TID_D3DRMFrame, "F");
    FakeNode* shortMatrix = tree.Add(TID_D3DRMFrameTransformMatrix, "", scenetest::Floats(std::vector<float>(15, 3.0f)));
    FakeTree::Link(frame, shortMatrix);
    FakeNode* frame2 = tree.Add(TID_D3DRMFrame, "G");
    FakeNode* locked = tree.Add(TID_D3DRMFrameTransformMatrix, "", scenetest::Floats(std::vector<float>(16, 3.0f)));
    locked->lockFails = true;
    FakeTree::Link(frame2, locked);

    CMeshHierarchyParser p;
    p.ParseFlags = XPARSE_BUILD_FRAMES;
    for (FakeNode* n : {frame, frame2}) {
        ID3DXFileData* d = tree.Open(n);
        EXPECT_EQ(p.ParseObject(d, nullptr, 0, nullptr, FALSE), TRUE);
        d->Release();
    }
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    ASSERT_NE(p.RootFrame, nullptr);
    EXPECT_STREQ(p.RootFrame->Name, "G");
    EXPECT_EQ(p.RootFrame->TransformationMatrix, id);
    EXPECT_EQ(static_cast<CHierarchyFrame*>(p.RootFrame->pFrameSibling)->TransformationMatrix, id);
}

TEST(HierarchyParser, ABackReferenceDoesNotBuildFramesForever) {
    FakeTree tree;
    FakeNode* a = tree.Add(TID_D3DRMFrame, "A");
    FakeNode* b = tree.Add(TID_D3DRMFrame, "B");
    FakeTree::Link(a, b);
    FakeTree::Link(b, a, true);
    CMeshHierarchyParser p;
    p.ParseFlags = XPARSE_BUILD_FRAMES | XPARSE_LOAD_MESHES;
    ID3DXFileData* d = tree.Open(a);
    EXPECT_EQ(p.ParseObject(d, nullptr, 0, nullptr, FALSE), TRUE);
    d->Release();
    ASSERT_NE(p.RootFrame, nullptr);
    ASSERT_NE(p.RootFrame->pFrameFirstChild, nullptr);
    EXPECT_EQ(p.RootFrame->pFrameFirstChild->pFrameFirstChild, nullptr);
    EXPECT_EQ(tree.Alive(), 0);
}

}  // namespace
