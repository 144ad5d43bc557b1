// The COM side: names, lookups, locks, reference counts and the ways of naming a source.
#include "xsamples.h"

#include <rmxfguid.h>
#include <rmxftmpl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace xtest;

namespace {

TEST(DataObject, GetNameConventions) {
    const Loaded l = load(sampleHierarchy().file());
    ASSERT_EQ(S_OK, l.hr);
    auto world = top(l, 0);
    SIZE_T size = 0;
    ASSERT_EQ(S_OK, world->GetName(nullptr, &size));
    EXPECT_EQ(6u, size);  // "World" and its terminator
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    size = 5;
    EXPECT_EQ(D3DXFERR_BADVALUE, world->GetName(buf, &size));
    EXPECT_EQ('x', buf[0]);
    size = 6;
    ASSERT_EQ(S_OK, world->GetName(buf, &size));
    EXPECT_STREQ("World", buf);
    EXPECT_EQ(6u, size);
    size = sizeof buf;
    ASSERT_EQ(S_OK, world->GetName(buf, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(D3DXFERR_BADVALUE, world->GetName(buf, nullptr));

    // An unnamed object needs no room at all and gives an empty string.
    auto legMesh = child(child(world.get(), 2).get(), 0);
    ASSERT_EQ(S_OK, legMesh->GetName(nullptr, &size));
    EXPECT_EQ(0u, size);
    size = sizeof buf;
    ASSERT_EQ(S_OK, legMesh->GetName(buf, &size));
    EXPECT_EQ(0u, size);
    EXPECT_STREQ("", buf);
}

TEST(DataObject, ChildrenLookupsAndBadArguments) {
    const Loaded l = load(sampleHierarchy().file());
    ASSERT_EQ(S_OK, l.hr);
    Ref<ID3DXFileData> d;
    EXPECT_EQ(D3DXFERR_NOMOREOBJECTS, l.objects->GetChild(2, d.out()));
    EXPECT_FALSE(d);
    EXPECT_EQ(D3DXFERR_BADVALUE, l.objects->GetChild(0, nullptr));
    EXPECT_EQ(D3DXFERR_BADVALUE, l.objects->GetChildren(nullptr));

    ASSERT_EQ(S_OK, l.objects->GetDataObjectByName("Other", d.out()));
    EXPECT_EQ("Other", nameOf(d.get()));
    Ref<ID3DXFileData> nested;
    EXPECT_EQ(D3DXFERR_NOMOREOBJECTS, d->GetChild(3, nested.out()));
    EXPECT_FALSE(nested);
    // Only top-level objects are found by name.
    EXPECT_EQ(D3DXFERR_NOTFOUND, l.objects->GetDataObjectByName("Arm", nested.out()));
    EXPECT_EQ(D3DXFERR_BADVALUE, l.objects->GetDataObjectByName(nullptr, nested.out()));

    const std::string withIds = std::string(kHeader) + "Frame A { }\nFrame B { <0A0B0C0D-0102-0304-0506-0708090A0B0C> }\n";
    const Loaded ids = load(withIds);
    ASSERT_EQ(S_OK, ids.hr);
    const GUID id = {0x0A0B0C0D, 0x0102, 0x0304, {5, 6, 7, 8, 9, 10, 11, 12}};
    ASSERT_EQ(S_OK, ids.objects->GetDataObjectById(id, d.out()));
    EXPECT_EQ("B", nameOf(d.get()));
    EXPECT_EQ(D3DXFERR_BADVALUE, d->GetType(nullptr));
    EXPECT_EQ(D3DXFERR_BADVALUE, d->GetId(nullptr));
    EXPECT_EQ(D3DXFERR_NOTFOUND, ids.objects->GetDataObjectById(TID_D3DRMFrame, nested.out()));
    EXPECT_FALSE(nested);
}

TEST(DataObject, LockAndUnlockBalance) {
    const Loaded l = load(sampleHierarchy().file());
    ASSERT_EQ(S_OK, l.hr);
    auto world = top(l, 0);
    SIZE_T size = 99;
    const void* p = nullptr;
    EXPECT_EQ(D3DXFERR_BADVALUE, world->Unlock());
    ASSERT_EQ(S_OK, world->Lock(&size, &p));
    EXPECT_EQ(0u, size);  // a Frame has no members
    EXPECT_NE(nullptr, p);
    ASSERT_EQ(S_OK, world->Lock(&size, &p));
    EXPECT_EQ(S_OK, world->Unlock());
    EXPECT_EQ(S_OK, world->Unlock());
    EXPECT_EQ(D3DXFERR_BADVALUE, world->Unlock());
    EXPECT_EQ(D3DXFERR_BADVALUE, world->Lock(nullptr, &p));
    EXPECT_EQ(D3DXFERR_BADVALUE, world->Lock(&size, nullptr));
}

TEST(DataObject, ObjectsKeepWhatTheyNeedAlive) {
    ID3DXFile* file = nullptr;
    ASSERT_EQ(S_OK, D3DXFileCreate(&file));
    const std::string text = sampleHierarchy().file();
    D3DXF_FILELOADMEMORY mem{text.data(), text.size()};
    ID3DXFileEnumObject* objects = nullptr;
    ASSERT_EQ(S_OK, file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES));
    ASSERT_EQ(S_OK, file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, &objects));
    ID3DXFileData* other = nullptr;
    ASSERT_EQ(S_OK, objects->GetChild(1, &other));
    ID3DXFileData* ref = nullptr;
    ASSERT_EQ(S_OK, other->GetChild(1, &ref));

    // Only the data objects are held from here on.
    EXPECT_EQ(1u, file->Release());     // the enumerator holds the file
    EXPECT_EQ(2u, objects->Release());  // both data objects hold the enumerator
    EXPECT_EQ(0u, other->Release());
    EXPECT_EQ("ArmMesh", nameOf(ref));
    EXPECT_EQ(sampleHierarchy().armMesh.layout().size(), dataOf(ref).size());

    ID3DXFileEnumObject* back = nullptr;
    ASSERT_EQ(S_OK, ref->GetEnum(&back));
    EXPECT_EQ(objects, back);
    ID3DXFile* backFile = nullptr;
    ASSERT_EQ(S_OK, back->GetFile(&backFile));
    EXPECT_EQ(file, backFile);
    EXPECT_EQ(1u, backFile->Release());

    void* unknown = nullptr;
    ASSERT_EQ(S_OK, ref->QueryInterface(IID_IUnknown, &unknown));
    EXPECT_EQ(static_cast<IUnknown*>(ref), unknown);
    ASSERT_EQ(S_OK, ref->QueryInterface(IID_ID3DXFileData, &unknown));
    EXPECT_EQ(E_NOINTERFACE, ref->QueryInterface(IID_ID3DXFile, &unknown));
    EXPECT_EQ(nullptr, unknown);
    EXPECT_EQ(2u, ref->Release());
    EXPECT_EQ(1u, ref->Release());
    EXPECT_EQ(1u, back->Release());
    EXPECT_EQ(0u, ref->Release());  // the last one: everything goes
}

TEST(FileObject, CreationAndUnsupportedCalls) {
    EXPECT_EQ(E_POINTER, D3DXFileCreate(nullptr));
    Ref<ID3DXFile> file;
    ASSERT_EQ(S_OK, D3DXFileCreate(file.out()));
    ID3DXFileSaveObject* save = nullptr;
    EXPECT_EQ(E_NOTIMPL, file->CreateSaveObject("out.x", D3DXF_FILESAVE_TOFILE, D3DXF_FILEFORMAT_TEXT, &save));
    EXPECT_EQ(nullptr, save);
    Ref<ID3DXFileEnumObject> e;
    D3DXF_FILELOADRESOURCE res{nullptr, "MODEL", "XFILE"};
    EXPECT_EQ(D3DXFERR_RESOURCENOTFOUND, file->CreateEnumObject(&res, D3DXF_FILELOAD_FROMRESOURCE, e.out()));
    EXPECT_EQ(D3DXFERR_BADVALUE, file->CreateEnumObject("a.x", 7, e.out()));
    EXPECT_EQ(D3DXFERR_BADVALUE, file->CreateEnumObject(nullptr, D3DXF_FILELOAD_FROMFILE, e.out()));
    EXPECT_EQ(D3DXFERR_BADVALUE, file->CreateEnumObject("a.x", D3DXF_FILELOAD_FROMFILE, nullptr));
    D3DXF_FILELOADMEMORY none{nullptr, 10};
    EXPECT_EQ(D3DXFERR_BADVALUE, file->CreateEnumObject(&none, D3DXF_FILELOAD_FROMMEMORY, e.out()));
    EXPECT_EQ(D3DXFERR_BADVALUE, file->RegisterTemplates(nullptr, 10));
    EXPECT_EQ(D3DXFERR_BADVALUE, file->RegisterEnumTemplates(nullptr));
}

class FromFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/xfile_test_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
        ASSERT_EQ(0, mkdir((dir_ + "/Models").c_str(), 0700));
        std::ofstream(dir_ + "/Models/Board.x", std::ios::binary) << textToBinary(sampleTriangleFile());
    }
    void TearDown() override {
        std::remove((dir_ + "/Models/Board.x").c_str());
        std::remove((dir_ + "/Models/Large.x").c_str());
        rmdir((dir_ + "/Models").c_str());
        rmdir(dir_.c_str());
    }
    HRESULT open(const void* source, DWORD flags) {
        Ref<ID3DXFile> file;
        EXPECT_EQ(S_OK, D3DXFileCreate(file.out()));
        EXPECT_EQ(S_OK, file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES));
        Ref<ID3DXFileEnumObject> e;
        const HRESULT hr = file->CreateEnumObject(source, flags, e.out());
        if (SUCCEEDED(hr)) {
            SIZE_T n = 0;
            e->GetChildren(&n);
            EXPECT_EQ(1u, n);
        }
        return hr;
    }
    std::string dir_;
};

TEST_F(FromFile, WindowsPathsAndCaseDifferences) {
    EXPECT_EQ(S_OK, open((dir_ + "/Models/Board.x").c_str(), D3DXF_FILELOAD_FROMFILE));
    EXPECT_EQ(S_OK, open((dir_ + "\\models\\BOARD.X").c_str(), D3DXF_FILELOAD_FROMFILE));
    const std::wstring wide(dir_.begin(), dir_.end());
    EXPECT_EQ(S_OK, open((wide + L"\\MODELS\\board.x").c_str(), D3DXF_FILELOAD_FROMWFILE));

    // Relative to the working directory, as the game names its files.
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir_.c_str()));
    const HRESULT relative = open("models\\board.X", D3DXF_FILELOAD_FROMFILE);
    ASSERT_EQ(0, chdir(cwd));
    EXPECT_EQ(S_OK, relative);
}

// Files are read into a buffer kept from one file to the next: each gives its own bytes, also
// when cut short since it was last read and after a larger file.
TEST_F(FromFile, FilesOfChangingSizes) {
    const std::string large = dir_ + "/Models/Large.x", text = sampleTriangleFile();
    std::ofstream(large, std::ios::binary) << text << "\n// " << std::string(3 << 20, 'x') << "\n";
    EXPECT_EQ(S_OK, open(large.c_str(), D3DXF_FILELOAD_FROMFILE));
    ASSERT_EQ(0, truncate(large.c_str(), off_t(text.size() / 2)));
    EXPECT_EQ(D3DXFERR_PARSEERROR, open(large.c_str(), D3DXF_FILELOAD_FROMFILE));
    EXPECT_EQ(S_OK, open((dir_ + "/Models/Board.x").c_str(), D3DXF_FILELOAD_FROMFILE));
}

TEST_F(FromFile, MissingFilesAndFolders) {
    EXPECT_EQ(D3DXFERR_FILENOTFOUND, open((dir_ + "/Models/Missing.x").c_str(), D3DXF_FILELOAD_FROMFILE));
    EXPECT_EQ(D3DXFERR_FILENOTFOUND, open((dir_ + "/Nowhere/Board.x").c_str(), D3DXF_FILELOAD_FROMFILE));
    EXPECT_EQ(D3DXFERR_FILENOTFOUND, open((dir_ + "/models").c_str(), D3DXF_FILELOAD_FROMFILE));
    EXPECT_EQ(D3DXFERR_FILENOTFOUND, open("", D3DXF_FILELOAD_FROMFILE));
}

}  // namespace
