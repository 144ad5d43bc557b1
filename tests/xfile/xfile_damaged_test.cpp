// Damaged and hostile files: each gives a failure code, never a crash, a hang or a huge
// allocation.
#include "xsamples.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace xtest;

namespace {

// Everything but the header line of a text sample.
std::string body(const std::string& text) { return text.substr(std::strlen(kHeader)); }

HRESULT textResult(const std::string& text, bool standard = true) { return loadResult(kHeader + text, standard); }

TEST(Damaged, EveryTruncationFails) {
    const Hierarchy h = sampleHierarchy();
    const std::vector<std::string> files = {
        sampleFullMesh().file(),
        kHeader + ("Frame Root {\n" + body(h.file()) + "}"),
    };
    for (const std::string& text : files) {
        for (Enc e : {Enc::Text, Enc::Binary, Enc::Binary64}) {
            SCOPED_TRACE(encName(e));
            std::string whole = encode(text, e);
            while (whole.back() == '\n') whole.pop_back();
            ASSERT_EQ(S_OK, loadResult(whole));
            // A header alone is a valid empty file: cut anywhere else.
            const size_t headerEnd = e == Enc::Text ? std::strlen(kHeader) : 16;
            for (size_t n = 0; n < whole.size(); ++n) {
                if (n == 16 || n == headerEnd) continue;
                const HRESULT hr = loadResult(whole.substr(0, n));
                EXPECT_TRUE(FAILED(hr)) << "prefix of " << n << " bytes";
            }
        }
    }
}

TEST(Damaged, CountsLargerThanTheData) {
    const std::string tooMany = "Mesh { 1000; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;; }";
    const std::string allBits = "Mesh { 4294967295; 0.0;0.0;0.0;; 0; }";
    const std::string nestedCount = "Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 4294967295;0,1,2;;; }";
    const std::string oneShort = "Mesh { 4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;; }";
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        EXPECT_EQ(D3DXFERR_BADARRAYSIZE, loadResult(encode(kHeader + tooMany, e)));
        EXPECT_EQ(D3DXFERR_BADARRAYSIZE, loadResult(encode(kHeader + allBits, e)));
        EXPECT_EQ(D3DXFERR_BADARRAYSIZE, loadResult(encode(kHeader + nestedCount, e)));
        EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(encode(kHeader + oneShort, e)));
    }
}

TEST(Damaged, BinaryRecordLengthsBeyondTheFile) {
    const uint32_t big = 0xFFFFFFFFu;
    auto object = [](const std::function<void(BinWriter&)>& inside) {
        BinWriter w;
        w.name("Frame").token(TOKEN_OBRACE);
        inside(w);
        return w.token(TOKEN_CBRACE).str();
    };
    BinWriter longName;
    longName.token(TOKEN_NAME).dword(big).bytes("Frame");
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(longName.str()));
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(object([&](BinWriter& w) { w.token(TOKEN_INTEGER_LIST).dword(big).dword(1); })));
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(object([&](BinWriter& w) { w.token(TOKEN_FLOAT_LIST).dword(big / 2).dword(1); })));
    BinWriter longString;
    longString.name("TextureFilename").token(TOKEN_OBRACE).token(TOKEN_STRING).dword(0x7FFFFFFF).bytes("ab");
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(longString.str()));
    BinWriter badTerminator;
    badTerminator.name("TextureFilename").token(TOKEN_OBRACE).string("a", TOKEN_OBRACE).token(TOKEN_CBRACE);
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(badTerminator.str()));
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(object([](BinWriter& w) { w.token(4); })));   // no such token
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(object([](BinWriter& w) { w.token(48); })));  // VOID
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(BinWriter().name("Frame").token(TOKEN_OBRACE).word(0).str() + "\x01"));
}

TEST(Damaged, HugeArraysOfNothingAndOverflowingDimensions) {
    // Elements without data take no time and no memory, however many there are.
    const std::string decl =
        "template Empty { <00000000-0000-0000-0000-0000000000E0> [...] }\n"
        "template Many { <00000000-0000-0000-0000-0000000000E1> DWORD n; array Empty e[n][n]; }\n"
        "template Cube { <00000000-0000-0000-0000-0000000000E2> array DWORD v[65536][65536][65536]; }\n";
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        const Loaded l = load(encode(kHeader + decl + "Many { 4294967295; }", e), false);
        ASSERT_EQ(S_OK, l.hr);
        Layout().dw(0xFFFFFFFFu).expectMatches(top(l, 0).get());
        EXPECT_EQ(D3DXFERR_BADARRAYSIZE, loadResult(encode(kHeader + decl + "Cube { 1, 2, 3; }", e), false));
    }
}

TEST(Damaged, UnknownTemplates) {
    EXPECT_EQ(D3DXFERR_NOTFOUND, textResult("Bogus { 1; }"));
    EXPECT_EQ(D3DXFERR_NOTFOUND, textResult("template T { <00000000-0000-0000-0000-000000000001> Bogus b; }"));
    // Without the standard templates even a Mesh is unknown.
    EXPECT_EQ(D3DXFERR_NOTFOUND, loadResult(sampleTriangleFile(), false));
    EXPECT_EQ(D3DXFERR_NOTFOUND, loadResult(textToBinary(sampleTriangleFile()), false));
}

TEST(Damaged, UnresolvedReferencesAndCycles) {
    const struct {
        const char* text;
        HRESULT hr;
    } cases[] = {
        {"Frame A { { Missing } }", D3DXFERR_BADDATAREFERENCE},
        {"Frame A { { <01234567-0123-0123-0123-0123456789AB> } }", D3DXFERR_BADDATAREFERENCE},
        {"Frame A { { A } }", D3DXFERR_BADDATAREFERENCE},
        {"Frame A { Frame B { Frame C { { A } } } }", D3DXFERR_BADDATAREFERENCE},
        {"Frame A { { B } } Frame B { { A } }", D3DXFERR_BADDATAREFERENCE},
        {"Frame A { { B } } Frame B { Frame C { { D } } } Frame D { { A } }", D3DXFERR_BADDATAREFERENCE},
        // Shared objects are fine: only loops are refused.
        {"Frame M { } Frame A { { M } { M } } Frame B { { A } { M } Frame C { { A } } }", S_OK},
        {"Frame A { Frame B { } { B } }", S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (Enc e : {Enc::Text, Enc::Binary}) EXPECT_EQ(c.hr, loadResult(encode(kHeader + std::string(c.text), e))) << encName(e);
    }
}

TEST(Damaged, NestingTooDeep) {
    auto frames = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += "Frame {\n";
        for (int i = 0; i < depth; ++i) s += "}\n";
        return s;
    };
    auto templates = [](int depth) {
        std::string s = "template T0 { <00000000-0000-0000-0000-000000000000> DWORD v; }\n";
        for (int i = 1; i < depth; ++i) {
            char guid[40];
            std::snprintf(guid, sizeof guid, "00000000-0000-0000-0000-%012d", i);
            s += "template T" + std::to_string(i) + " { <" + guid + "> T" + std::to_string(i - 1) + " t; }\n";
        }
        return s;
    };
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        EXPECT_EQ(S_OK, loadResult(encode(kHeader + frames(100), e)));
        EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(encode(kHeader + frames(20000), e)));
        EXPECT_EQ(S_OK, loadResult(encode(kHeader + templates(20) + "T19 { 5; }", e), false));
        EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(encode(kHeader + templates(200), e), false));
    }
}

TEST(Damaged, SyntaxErrors) {
    const char* const text[] = {
        "Boolean { 1; 2; }",                 // more values than members
        "Boolean { 1.5; }",                  // a float for a DWORD
        "Boolean { 4294967296; }",           // too large for 32 bits
        "Boolean { ",                        // no end
        "Frame { ] }",                       // stray token
        "Frame A B { }",                     // two names
        "TextureFilename { \"open ; }",      // unterminated string
        "Frame { <1234> }",                  // not a GUID
        "{ A }",                             // a reference outside any object
        "Frame { { } }",                     // a reference to nothing
        "template T { DWORD a; }",           // no GUID
        "template T { <00000000-0000-0000-0000-000000000001> array DWORD a; }",
        "template T { <00000000-0000-0000-0000-000000000001> FLOAT n; array DWORD a[n]; }",
        "template T { <00000000-0000-0000-0000-000000000001> array DWORD a[n]; DWORD n; }",
        "template T { <00000000-0000-0000-0000-000000000001> DWORD a; [ ] }",
        "template T { <00000000-0000-0000-0000-000000000001> DWORD a; [ .. ] }",
        "Frame { @ }",
    };
    for (const char* t : text) {
        SCOPED_TRACE(t);
        EXPECT_EQ(D3DXFERR_PARSEERROR, textResult(t));
    }
    // Wide strings can be declared but not read.
    const std::string wide = "template W { <00000000-0000-0000-0000-000000000001> UNICODE s; }\n";
    EXPECT_EQ(S_OK, textResult(wide));
    EXPECT_EQ(D3DXFERR_BADTYPE, textResult(wide + "W { \"a\"; }"));
}

TEST(Damaged, FailureHandsBackNoObject) {
    Ref<ID3DXFile> file;
    ASSERT_EQ(S_OK, D3DXFileCreate(file.out()));
    const std::string bad = kHeader + std::string("Frame {");
    D3DXF_FILELOADMEMORY mem{bad.data(), bad.size()};
    ID3DXFileEnumObject* e = reinterpret_cast<ID3DXFileEnumObject*>(&mem);  // anything but null
    EXPECT_EQ(D3DXFERR_NOTFOUND, file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, &e));
    EXPECT_EQ(nullptr, e);
}

}  // namespace
