// The file forms: headers, text details, binary records, compression, template features.
#include "xsamples.h"

#include <rmxfguid.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>

using namespace xtest;

namespace {

std::string withHeader(const char* header, const std::string& text) {
    return std::string(header, 16) + text.substr(std::strlen(kHeader));
}

TEST(Header, VersionsFormatsAndFloatSizes) {
    const std::string tri = sampleTriangleFile();
    EXPECT_EQ(S_OK, loadResult(withHeader("xof 0302txt 0032", tri)));
    EXPECT_EQ(S_OK, loadResult(withHeader("xof 0303txt 0064", tri)));
    EXPECT_EQ(S_OK, loadResult(withHeader("xof 0302txt 0032", tri).substr(0, 16) + tri.substr(17)));
    EXPECT_EQ(D3DXFERR_BADFILEVERSION, loadResult(withHeader("xof 0304txt 0032", tri)));
    EXPECT_EQ(D3DXFERR_BADFILEVERSION, loadResult(withHeader("xof 0203txt 0032", tri)));
    EXPECT_EQ(D3DXFERR_BADFILETYPE, loadResult(withHeader("xof 0303cmp 0032", tri)));
    EXPECT_EQ(D3DXFERR_BADFILETYPE, loadResult(withHeader("xof 0303TXT 0032", tri)));
    EXPECT_EQ(D3DXFERR_BADFILEFLOATSIZE, loadResult(withHeader("xof 0303txt 0016", tri)));
    EXPECT_EQ(D3DXFERR_BADFILETYPE, loadResult(withHeader("XOF 0303txt 0032", tri)));
    EXPECT_EQ(D3DXFERR_BADFILETYPE, loadResult("xo"));
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult("xof 0303txt"));
    // A header alone is a file with nothing in it.
    const Loaded empty = load("xof 0303bin 0032");
    ASSERT_EQ(S_OK, empty.hr);
    EXPECT_EQ(0u, topCount(empty));
}

TEST(TextForm, CommentsKeywordCaseLaxSeparatorsAndNumbers) {
    const std::string text = std::string(kHeader) +
                             "# a comment\n"
                             "Template Pair { // keywords in any case\n"
                             "  <01234567-89ab-cdef-0123-456789ABCDEF>\n"
                             "  dword n; Float f; ARRAY sword s[2]; string name;\n"
                             "}\n"
                             "Pair P1 { 7, 3; -1 -2; \"x y\", }\n"  // commas for semicolons, an integer for a float
                             "Pair P2 { 4294967295; -1.5e2; 1;2; \"\"; }\n"
                             "Pair P3 { +5; -.5; 0;0; \"C:\\tex\\a.bmp\"; }\n"
                             "Pair P4 { 0; 2.; 0;0; \"#not a comment //\"; }\n";
    const Loaded l = load(text);
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(4u, topCount(l));
    Layout().dw(7).f(3.0f).w(0xFFFF).w(0xFFFE).str("x y").expectMatches(top(l, 0).get());
    Layout().dw(0xFFFFFFFFu).f(-150.0f).w(1).w(2).str("").expectMatches(top(l, 1).get());
    // Strings are taken as written: backslashes stay.
    Layout().dw(5).f(-0.5f).w(0).w(0).str("C:\\tex\\a.bmp").expectMatches(top(l, 2).get());
    Layout().dw(0).f(2.0f).w(0).w(0).str("#not a comment //").expectMatches(top(l, 3).get());
}

// Numbers in every spelling read as the correctly rounded value (DOUBLE members keep it whole),
// DWORDs to the edges of their range.
TEST(TextForm, NumbersReadExactly) {
    std::mt19937 random(12);
    const int count = 3000;
    std::string list;
    Layout floats = Layout().dw(count), doubles;
    for (int i = 0; i < count; ++i) {
        std::string digits = std::to_string(random());
        digits += std::to_string(random()).substr(0, random() % 11);  // up to 20 digits
        const size_t point = random() % (digits.size() + 2);
        std::string number = (random() % 3 == 0 ? "-" : random() % 5 == 0 ? "+" : "") + digits;
        if (point <= digits.size()) number.insert(number.size() - point, ".");
        if (random() % 8 == 0) number += "e" + std::to_string(int(random() % 80) - 40);
        list += number + (i + 1 < count ? ",\n" : ";\n");
        const double d = std::strtod(number.c_str(), nullptr);
        floats.f(std::abs(d) > double(FLT_MAX) ? std::copysign(INFINITY, float(d)) : float(d));
        doubles.d(d);
    }
    const char* const words = "template Words { <01234567-89ab-cdef-0123-456789ABCDEF> DWORD n; array DWORD w[n]; }\n";
    const std::string text = std::string(kHeader) + words +
                             "template Numbers { <01234567-89ab-cdef-0123-456789ABCDEF> DWORD n; "
                             "array FLOAT f[n]; array DOUBLE d[n]; }\n"
                             "Numbers { " + std::to_string(count) + ";\n" + list + list + "}\n"
                             "Words { 5; 4294967295, -2147483648, +7, 0, 012;; }\n";
    const Loaded l = load(text);
    ASSERT_EQ(S_OK, l.hr);
    std::vector<uint8_t> both = floats.bytes(), wide = doubles.bytes();
    both.insert(both.end(), wide.begin(), wide.end());
    EXPECT_EQ(both, dataOf(top(l, 0).get()));
    Layout().dw(5).dw(0xFFFFFFFFu).dw(0x80000000u).dw(7).dw(0).dw(12).expectMatches(top(l, 1).get());
    for (const char* bad : {"4294967296", "-2147483649", "12345678901234567890", "1.5", "1e3"})
        EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(std::string(kHeader) + words + "Words { 1; " + bad + "; }\n"))
            << bad;
}

TEST(TextForm, ReferencesByNameAndGuidWithOrWithoutBrackets) {
    const std::string text = std::string(kHeader) +
                             "Frame A { <11111111-2222-3333-4444-555555555555> }\n"
                             "Frame Bip01-L.Thigh { <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE> }\n"
                             "Frame C {\n"
                             "  { <11111111-2222-3333-4444-555555555555> }\n"
                             "  { aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee }\n"
                             "  { Nobody 11111111-2222-3333-4444-555555555555 }\n"
                             "  { Bip01-L.Thigh }\n"
                             "}\n";
    for (Enc e : {Enc::Text, Enc::Binary}) {
        SCOPED_TRACE(encName(e));
        const Loaded l = load(encode(text, e));
        ASSERT_EQ(S_OK, l.hr);
        GUID id{};
        ASSERT_EQ(S_OK, top(l, 0)->GetId(&id));
        EXPECT_EQ("11111111-2222-3333-4444-555555555555", guidText(id));
        auto c = top(l, 2);
        ASSERT_EQ(S_OK, c->GetId(&id));
        EXPECT_EQ(GUID{}, id);
        const char* expected[] = {"A", "Bip01-L.Thigh", "A", "Bip01-L.Thigh"};
        ASSERT_EQ(4u, childCount(c.get()));
        for (size_t i = 0; i < 4; ++i) {
            auto r = child(c.get(), i);
            EXPECT_TRUE(r->IsReference());
            EXPECT_EQ(expected[i], nameOf(r.get()));
        }
        // A reference reports the instance GUID of the object it names.
        ASSERT_EQ(S_OK, child(c.get(), 1)->GetId(&id));
        EXPECT_EQ("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", guidText(id));
    }
}

TEST(BinaryForm, DocumentedExampleTokens) {
    // A template and an object spelled out token by token.
    const GUID rgb = {0x55b6d780, 0x37ec, 0x11d0, {0xab, 0x39, 0x00, 0x20, 0xaf, 0x71, 0xe4, 0x33}};
    BinWriter w;
    w.token(TOKEN_TEMPLATE).name("RGB").token(TOKEN_OBRACE).guid(rgb);
    for (const char* m : {"r", "g", "b"}) w.token(TOKEN_FLOAT).name(m).token(TOKEN_SEMICOLON);
    w.token(TOKEN_CBRACE);
    w.name("RGB").name("blue").token(TOKEN_OBRACE).floats({0.0f, 0.0f, 1.0f}).token(TOKEN_CBRACE);
    const Loaded l = load(w.str(), false);
    ASSERT_EQ(S_OK, l.hr);
    auto blue = top(l, 0);
    EXPECT_EQ(rgb, typeOf(blue.get()));
    EXPECT_EQ("blue", nameOf(blue.get()));
    Layout().floats({0.0f, 0.0f, 1.0f}).expectMatches(blue.get());
}

TEST(BinaryForm, ListsRunAcrossMembersAndStringsEndEitherWay) {
    // One integer list for both members of two MeshFaces, then single integer records.
    BinWriter w;
    w.name("MeshFace").token(TOKEN_OBRACE).ints({3, 7, 8}).integer(9).token(TOKEN_CBRACE);
    w.name("TextureFilename").token(TOKEN_OBRACE).string("a.bmp", TOKEN_SEMICOLON, true).token(TOKEN_CBRACE);
    w.name("TextureFilename").token(TOKEN_OBRACE).string("b.bmp", TOKEN_COMMA).token(TOKEN_CBRACE);
    const Loaded l = load(w.str());
    ASSERT_EQ(S_OK, l.hr);
    ASSERT_EQ(3u, topCount(l));
    Layout().dw(3).dw(7).dw(8).dw(9).expectMatches(top(l, 0).get());
    Layout().str("a.bmp").expectMatches(top(l, 1).get());
    Layout().str("b.bmp").expectMatches(top(l, 2).get());
}

TEST(BinaryForm, SixtyFourBitFloatsArriveAsFloats) {
    BinWriter w("xof 0303bin 0064");
    w.name("Vector").token(TOKEN_OBRACE).doubles({0.1, -1e39, 2.5}).token(TOKEN_CBRACE);
    const Loaded l = load(w.str());
    ASSERT_EQ(S_OK, l.hr);
    const auto data = dataOf(top(l, 0).get());
    ASSERT_EQ(12u, data.size());
    float v[3];
    std::memcpy(v, data.data(), 12);
    EXPECT_EQ(0.1f, v[0]);
    EXPECT_TRUE(std::isinf(v[1]) && v[1] < 0);
    EXPECT_EQ(2.5f, v[2]);
}

TEST(BinaryForm, NumberListOfTheWrongKindFails) {
    BinWriter floatsForDword;
    floatsForDword.name("Boolean").token(TOKEN_OBRACE).floats({1.0f}).token(TOKEN_CBRACE);
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(floatsForDword.str()));
    BinWriter intsForFloat;
    intsForFloat.name("Coords2d").token(TOKEN_OBRACE).ints({1, 2}).token(TOKEN_CBRACE);
    EXPECT_EQ(D3DXFERR_PARSEERROR, loadResult(intsForFloat.str()));
}

TEST(Templates, PrimitiveSizesMultiDimensionalArraysAndNesting) {
    const std::string text = std::string(kHeader) +
                             "template Cell { <00000000-0000-0000-0000-000000000001>\n"
                             "  CHAR c; UCHAR u; WORD w; DOUBLE d; }\n"
                             "template Grid { <00000000-0000-0000-0000-000000000002>\n"
                             "  DWORD rows; DWORD cols;\n"
                             "  array WORD cells[rows][cols];\n"
                             "  array Cell corner[2];\n"
                             "  array FLOAT fixed[2][3];\n"
                             "}\n"
                             "Grid G {\n"
                             "  2; 3;\n"
                             "  1, 2, 3, 4, 5, 6;\n"
                             "  -1; 200; 65535; 0.25;;, 66; 300; 70000; -8.0;;;\n"
                             "  1.0, 2.0, 3.0, 4.0, 5.0, 6.0;\n"
                             "}\n";
    for (Enc e : {Enc::Text, Enc::Binary, Enc::Binary64, Enc::BinarySplit}) {
        SCOPED_TRACE(encName(e));
        const Loaded l = load(encode(text, e), false);
        ASSERT_EQ(S_OK, l.hr);
        Layout want;
        want.dw(2).dw(3);
        for (uint16_t i = 1; i <= 6; ++i) want.w(i);
        // CHAR and WORD members keep the low bits of the value written.
        want.b(0xFF).b(200).w(65535).d(0.25);
        want.b(66).b(300 & 0xFF).w(70000 & 0xFFFF).d(-8.0);
        want.floats({1, 2, 3, 4, 5, 6});
        want.expectMatches(top(l, 0).get());
    }
}

TEST(Templates, RestrictionsDecideWhichChildrenMayAppear) {
    const std::string decl = std::string(kHeader) +
                             "template Closed { <00000000-0000-0000-0000-00000000000A> DWORD v; }\n"
                             "template OnlyClosed { <00000000-0000-0000-0000-00000000000B>\n"
                             "  [ Closed <00000000-0000-0000-0000-00000000000A> ] }\n"
                             "template ByName { <00000000-0000-0000-0000-00000000000C> [ Closed, Other ] }\n"
                             "template Other { <00000000-0000-0000-0000-00000000000D> [...] }\n";
    const struct {
        const char* body;
        HRESULT hr;
    } cases[] = {
        {"OnlyClosed { Closed { 1; } Closed { 2; } }", S_OK},
        {"ByName { Closed { 1; } Other { } }", S_OK},
        {"Other { Closed { 1; } OnlyClosed { } ByName { } }", S_OK},
        {"OnlyClosed { Other { } }", D3DXFERR_BADOBJECT},
        {"Closed { 1; Closed { 2; } }", D3DXFERR_BADOBJECT},
        {"Other O { } OnlyClosed { { O } }", D3DXFERR_BADOBJECT},
        {"Closed C { 1; } OnlyClosed { { C } }", S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        for (Enc e : {Enc::Text, Enc::Binary}) {
            EXPECT_EQ(c.hr, loadResult(encode(decl + c.body, e), false)) << encName(e);
        }
    }
}

TEST(Compressed, BlocksReachBackIntoEarlierBlocks) {
    // A body much larger than a block, and repetitive, so that blocks refer to earlier output.
    MeshPart big{"Big", {}, {}};
    for (int i = 0; i < 8000; ++i) big.vertices.push_back({float(i % 7), float(i % 5) * 0.5f, 1.0f});
    for (uint32_t i = 0; i + 2 < 8000; i += 3) big.faces.push_back({i, i + 1, i + 2});
    const std::string text = kHeader + big.text();
    for (bool binary : {false, true}) {
        for (bool totalWithHeader : {true, false}) {
            SCOPED_TRACE(std::to_string(binary) + std::to_string(totalWithHeader));
            const std::string plain = binary ? textToBinary(text) : text;
            const std::string zipped = compress(plain, 32768, totalWithHeader);
            ASSERT_GT(plain.size(), 2u * 32768);
            EXPECT_EQ(binary ? "bzip" : "tzip", zipped.substr(8, 4));
            const Loaded l = load(zipped);
            ASSERT_EQ(S_OK, l.hr);
            big.layout().expectMatches(top(l, 0).get());
        }
    }
}

TEST(Compressed, DamagedStreamsFail) {
    const std::string good = compress(sampleTriangleFile(), 64);
    ASSERT_EQ(S_OK, loadResult(good));
    auto patched = [&](size_t at, char c) {
        std::string s = good;
        s[at] = c;
        return s;
    };
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(patched(16, char(good[16] + 1))));  // total size
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(patched(24, 'X')));                 // "CK"
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(patched(20, char(good[20] + 1))));  // block size
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(patched(22, char(0xFF))));          // packed size
    EXPECT_TRUE(FAILED(loadResult(patched(27, char(good[27] ^ 0x5A)))));  // deflate data
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(good.substr(0, good.size() - 3)));
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(good.substr(0, 18)));
    // A total far beyond what the data could hold.
    std::string huge = good;
    huge[19] = char(0x7F);
    EXPECT_EQ(D3DXFERR_BADFILE, loadResult(huge));
}

}  // namespace
