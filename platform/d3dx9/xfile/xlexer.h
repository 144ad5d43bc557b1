// Tokenizers for the text and binary .x formats.
//
// Both hand the parser the same structural tokens (names, braces, GUIDs, ...) and read member
// values one at a time through readInt / readFloat / readString, so that the parser does not care
// how the file spells its numbers: the text form writes them one by one with separators, the
// binary form packs them into lists that may run across members and nested structures.
#pragma once

#include "d3dx9/xfile/xtypes.h"

#include <cstdint>
#include <string_view>

namespace xfile {

enum class Tok : uint8_t {
    End,
    Name,
    String,
    Integer,
    Float,
    Guid,
    OBrace,
    CBrace,
    OBracket,
    CBracket,
    OParen,
    CParen,
    OAngle,
    CAngle,
    Dot,
    Comma,
    Semicolon,
    Template,  // binary keyword; the text form spells it as a Name
    Array,     // binary keyword
    Type,      // binary primitive type keyword (prim says which)
    Values,    // binary: a list of numbers where a structural token was expected
};

struct Token {
    Tok kind = Tok::End;
    std::string_view text;  // Name, String, Integer and Float (text form)
    uint32_t integer = 0;   // Integer (binary form)
    GUID guid{};            // Guid
    Prim prim = Prim::Dword;  // Type
};

class TextLexer {
public:
    TextLexer(const uint8_t* data, size_t size);

    Token next();
    const Token& peek();

    // Member values; separators before a value are skipped.
    uint32_t readInt();
    double readFloat();
    std::string_view readString();
    // n DWORD or FLOAT values, stored as the locked data holds them.
    void readInts(uint8_t* out, size_t n);
    void readFloats(uint8_t* out, size_t n);
    bool valuesPending() const { return false; }

    // Bytes not yet read: every further value needs at least one.
    size_t remaining() const;

private:
    Token lex();
    Token nextNonSeparator();
    // Skips spaces, comments and separators; false where a plain number cannot start here
    // (a peeked token, a GUID), which leaves the value to the tokenizer.
    bool atPlainNumber();

    const char* p_;
    const char* end_;
    Token peeked_;
    bool hasPeek_ = false;
};

class BinaryLexer {
public:
    BinaryLexer(const uint8_t* data, size_t size, unsigned floatBytes);

    Token next();
    const Token& peek();

    uint32_t readInt();
    double readFloat();
    std::string_view readString();
    void readInts(uint8_t* out, size_t n);
    void readFloats(uint8_t* out, size_t n);
    // True while a number list still holds values that no member has taken.
    bool valuesPending() const { return listLeft_ != 0; }

    size_t remaining() const;

private:
    enum class List : uint8_t { None, Ints, Floats };

    Token lex();
    void need(size_t n) const;
    uint16_t u16();
    uint32_t u32();
    // Takes the next number list, skipping stray separators and empty lists.
    void openList();

    const uint8_t* p_;
    const uint8_t* end_;
    unsigned floatBytes_;
    List list_ = List::None;
    uint32_t listLeft_ = 0;
    Token peeked_;
    bool hasPeek_ = false;
};

// A value read for a FLOAT member: out of range gives an infinity, every NaN the quiet NaN.
float toFloat(double d);

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (exactly 36 characters).
bool parseGuid(std::string_view s, GUID& out);

}  // namespace xfile
