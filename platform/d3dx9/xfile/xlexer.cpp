// Tokenizers for the text and binary .x formats.
#include "d3dx9/xfile/xlexer.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace xfile {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isIdentStart(char c) { return isAlpha(c) || c == '_'; }
// Exporters also put '-' and '.' into names ("Bip01-L.Thigh").
bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c) || c == '-' || c == '.'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hexField(std::string_view s, size_t pos, size_t len, uint32_t& out) {
    uint32_t v = 0;
    for (size_t i = 0; i < len; ++i) {
        const int d = hexDigit(s[pos + i]);
        if (d < 0) return false;
        v = (v << 4) | uint32_t(d);
    }
    out = v;
    return true;
}

// Drops a leading '+', which from_chars does not take.
std::string_view unsign(std::string_view s) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    return s;
}

// A decimal number without an exponent, of at most 19 digits, spelled as lex() reads one
// number token: [sign] digits [. digits].
struct PlainNumber {
    const char* end;
    bool negative;
    bool fraction;
    uint64_t mantissa;  // every digit, the fraction's included
    unsigned scale;     // digits after the point
};

bool scanPlain(const char* p, const char* end, PlainNumber& out) {
    out.negative = false;
    if (p < end && (*p == '-' || *p == '+')) out.negative = *p++ == '-';
    uint64_t m = 0;
    unsigned digits = 0, scale = 0;
    for (; p < end && isDigit(*p); ++p) {
        if (++digits > 19) return false;
        m = m * 10 + unsigned(*p - '0');
    }
    out.fraction = p < end && *p == '.';
    if (out.fraction) {
        for (++p; p < end && isDigit(*p); ++p, ++scale) {
            if (++digits > 19) return false;
            m = m * 10 + unsigned(*p - '0');
        }
        if (scale == 0) return false;
    }
    if (digits == 0 || (p < end && (*p == 'e' || *p == 'E'))) return false;
    out.end = p;
    out.mantissa = m;
    out.scale = scale;
    return true;
}

// Powers of ten that doubles hold exactly: a mantissa below 2^53 divided by one of them is the
// correctly rounded value, as from_chars gives it.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

float toFloat(double d) {
    if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
    if (d > double(FLT_MAX)) return std::numeric_limits<float>::infinity();
    if (d < -double(FLT_MAX)) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

bool parseGuid(std::string_view s, GUID& out) {
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
    uint32_t a, b, c, v;
    if (!hexField(s, 0, 8, a) || !hexField(s, 9, 4, b) || !hexField(s, 14, 4, c)) return false;
    GUID g{};
    g.Data1 = a;
    g.Data2 = uint16_t(b);
    g.Data3 = uint16_t(c);
    for (int i = 0; i < 2; ++i) {
        if (!hexField(s, 19 + 2 * size_t(i), 2, v)) return false;
        g.Data4[i] = uint8_t(v);
    }
    for (int i = 0; i < 6; ++i) {
        if (!hexField(s, 24 + 2 * size_t(i), 2, v)) return false;
        g.Data4[2 + i] = uint8_t(v);
    }
    out = g;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Text

TextLexer::TextLexer(const uint8_t* data, size_t size)
    : p_(reinterpret_cast<const char*>(data)), end_(reinterpret_cast<const char*>(data) + size) {}

size_t TextLexer::remaining() const {
    // A peeked token has left the stream but not the parser.
    return size_t(end_ - p_) + (hasPeek_ ? 1 : 0);
}

Token TextLexer::lex() {
    for (;;) {
        while (p_ < end_ && isSpace(*p_)) ++p_;
        if (p_ == end_) return Token{};
        if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
            const void* nl = std::memchr(p_, '\n', size_t(end_ - p_));
            p_ = nl ? static_cast<const char*>(nl) + 1 : end_;
            continue;
        }
        break;
    }

    Token t;
    const char c = *p_;
    auto punct = [&](Tok kind) {
        ++p_;
        t.kind = kind;
        return t;
    };
    switch (c) {
    case '{': return punct(Tok::OBrace);
    case '}': return punct(Tok::CBrace);
    case '[': return punct(Tok::OBracket);
    case ']': return punct(Tok::CBracket);
    case '(': return punct(Tok::OParen);
    case ')': return punct(Tok::CParen);
    case ',': return punct(Tok::Comma);
    case ';': return punct(Tok::Semicolon);
    default: break;
    }

    if (c == '<') {
        const char* q = p_ + 1;
        while (q < end_ && isSpace(*q)) ++q;
        if (end_ - q < 36 || !parseGuid(std::string_view(q, 36), t.guid)) fail(D3DXFERR_PARSEERROR);
        q += 36;
        while (q < end_ && isSpace(*q)) ++q;
        if (q == end_ || *q != '>') fail(D3DXFERR_PARSEERROR);
        p_ = q + 1;
        t.kind = Tok::Guid;
        return t;
    }

    if (c == '"') {
        const void* close = std::memchr(p_ + 1, '"', size_t(end_ - p_ - 1));
        if (!close) fail(D3DXFERR_PARSEERROR);
        const char* q = static_cast<const char*>(close);
        t.kind = Tok::String;
        t.text = std::string_view(p_ + 1, size_t(q - p_ - 1));
        p_ = q + 1;
        return t;
    }

    // A GUID without angle brackets, as references often write them.
    if (hexDigit(c) >= 0 && end_ - p_ >= 36 && p_[8] == '-' &&
        (end_ - p_ == 36 || !isIdentChar(p_[36])) && parseGuid(std::string_view(p_, 36), t.guid)) {
        p_ += 36;
        t.kind = Tok::Guid;
        return t;
    }

    const bool signedNumber =
        (c == '-' || c == '+') && p_ + 1 < end_ &&
        (isDigit(p_[1]) || (p_[1] == '.' && p_ + 2 < end_ && isDigit(p_[2])));
    const bool dotNumber = c == '.' && p_ + 1 < end_ && isDigit(p_[1]);
    if (isDigit(c) || signedNumber || dotNumber) {
        const char* q = p_;
        if (*q == '-' || *q == '+') ++q;
        while (q < end_ && isDigit(*q)) ++q;
        bool isFloat = false;
        if (q < end_ && *q == '.') {
            isFloat = true;
            ++q;
            while (q < end_ && isDigit(*q)) ++q;
        }
        if (q < end_ && (*q == 'e' || *q == 'E')) {
            const char* e = q + 1;
            if (e < end_ && (*e == '-' || *e == '+')) ++e;
            if (e < end_ && isDigit(*e)) {
                isFloat = true;
                while (e < end_ && isDigit(*e)) ++e;
                q = e;
            }
        }
        t.kind = isFloat ? Tok::Float : Tok::Integer;
        t.text = std::string_view(p_, size_t(q - p_));
        p_ = q;
        return t;
    }

    if (c == '.') return punct(Tok::Dot);

    if (isIdentStart(c)) {
        const char* q = p_ + 1;
        while (q < end_ && isIdentChar(*q)) ++q;
        t.kind = Tok::Name;
        t.text = std::string_view(p_, size_t(q - p_));
        p_ = q;
        return t;
    }

    fail(D3DXFERR_PARSEERROR);
}

Token TextLexer::next() {
    if (hasPeek_) {
        hasPeek_ = false;
        return peeked_;
    }
    return lex();
}

const Token& TextLexer::peek() {
    if (!hasPeek_) {
        peeked_ = lex();
        hasPeek_ = true;
    }
    return peeked_;
}

Token TextLexer::nextNonSeparator() {
    Token t = next();
    while (t.kind == Tok::Comma || t.kind == Tok::Semicolon) t = next();
    return t;
}

bool TextLexer::atPlainNumber() {
    if (hasPeek_) return false;
    for (;;) {
        while (p_ < end_ && (isSpace(*p_) || *p_ == ',' || *p_ == ';')) ++p_;
        if (p_ < end_ && (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/'))) {
            const void* nl = std::memchr(p_, '\n', size_t(end_ - p_));
            p_ = nl ? static_cast<const char*>(nl) + 1 : end_;
            continue;
        }
        return !(end_ - p_ >= 36 && p_[8] == '-');  // perhaps a GUID
    }
}

uint32_t TextLexer::readInt() {
    PlainNumber n;
    if (atPlainNumber() && scanPlain(p_, end_, n) && !n.fraction && n.mantissa <= UINT32_MAX) {
        if (n.negative && n.mantissa > UINT64_C(2147483648)) fail(D3DXFERR_PARSEERROR);
        p_ = n.end;
        return n.negative ? 0u - uint32_t(n.mantissa) : uint32_t(n.mantissa);
    }
    const Token t = nextNonSeparator();
    if (t.kind != Tok::Integer) fail(D3DXFERR_PARSEERROR);
    const std::string_view s = unsign(t.text);
    int64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) fail(D3DXFERR_PARSEERROR);
    if (v < INT64_C(-2147483648) || v > INT64_C(4294967295)) fail(D3DXFERR_PARSEERROR);
    return uint32_t(v);
}

double TextLexer::readFloat() {
    PlainNumber n;
    if (atPlainNumber() && scanPlain(p_, end_, n) && n.mantissa <= (UINT64_C(1) << 53) && n.scale <= 22) {
        p_ = n.end;
        const double v = double(n.mantissa) / kPowersOfTen[n.scale];
        return n.negative ? -v : v;
    }
    const Token t = nextNonSeparator();
    if (t.kind != Tok::Integer && t.kind != Tok::Float) fail(D3DXFERR_PARSEERROR);
    const std::string_view s = unsign(t.text);
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) fail(D3DXFERR_PARSEERROR);
    return v;
}

void TextLexer::readInts(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t v = readInt();
        std::memcpy(out + 4 * i, &v, 4);
    }
}

void TextLexer::readFloats(uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const float v = toFloat(readFloat());
        std::memcpy(out + 4 * i, &v, 4);
    }
}

std::string_view TextLexer::readString() {
    const Token t = nextNonSeparator();
    if (t.kind != Tok::String) fail(D3DXFERR_PARSEERROR);
    return t.text;
}

// ---------------------------------------------------------------------------------------------
// Binary

namespace {

enum BinToken : uint16_t {
    kName = 1,
    kString = 2,
    kInteger = 3,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOBrace = 10,
    kCBrace = 11,
    kOParen = 12,
    kCParen = 13,
    kOBracket = 14,
    kCBracket = 15,
    kOAngle = 16,
    kCAngle = 17,
    kDot = 18,
    kComma = 19,
    kSemicolon = 20,
    kTemplate = 31,
    kWord = 40,
    kDword = 41,
    kFloat = 42,
    kDouble = 43,
    kChar = 44,
    kUchar = 45,
    kSword = 46,
    kSdword = 47,
    kVoid = 48,
    kLpstr = 49,
    kUnicode = 50,
    kCstring = 51,
    kArray = 52,
};

}  // namespace

BinaryLexer::BinaryLexer(const uint8_t* data, size_t size, unsigned floatBytes)
    : p_(data), end_(data + size), floatBytes_(floatBytes) {}

size_t BinaryLexer::remaining() const { return size_t(end_ - p_) + (hasPeek_ ? 2 : 0); }

void BinaryLexer::need(size_t n) const {
    if (size_t(end_ - p_) < n) fail(D3DXFERR_PARSEERROR);
}

uint16_t BinaryLexer::u16() {
    need(2);
    const uint16_t v = uint16_t(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
}

uint32_t BinaryLexer::u32() {
    need(4);
    const uint32_t v = uint32_t(p_[0]) | (uint32_t(p_[1]) << 8) | (uint32_t(p_[2]) << 16) |
                       (uint32_t(p_[3]) << 24);
    p_ += 4;
    return v;
}

Token BinaryLexer::lex() {
    Token t;
    for (;;) {
        if (p_ == end_) return t;  // End
        const uint16_t code = u16();
        switch (code) {
        case kName:
        case kString: {
            const uint32_t n = u32();
            need(n);
            t.kind = code == kName ? Tok::Name : Tok::String;
            t.text = std::string_view(reinterpret_cast<const char*>(p_), n);
            p_ += n;
            if (code == kString) {
                // The terminating separator: a WORD token, sometimes written as a DWORD.
                const uint16_t term = u16();
                if (term != kComma && term != kSemicolon) fail(D3DXFERR_PARSEERROR);
                if (end_ - p_ >= 2 && p_[0] == 0 && p_[1] == 0) p_ += 2;
            }
            return t;
        }
        case kInteger:
            t.kind = Tok::Integer;
            t.integer = u32();
            return t;
        case kGuid: {
            need(16);
            t.kind = Tok::Guid;
            t.guid.Data1 = u32();
            t.guid.Data2 = u16();
            t.guid.Data3 = u16();
            std::memcpy(t.guid.Data4, p_, 8);
            p_ += 8;
            return t;
        }
        case kIntegerList:
        case kFloatList: {
            const uint32_t n = u32();
            const size_t width = code == kIntegerList ? 4 : floatBytes_;
            if (n > size_t(end_ - p_) / width) fail(D3DXFERR_PARSEERROR);
            if (n == 0) continue;
            list_ = code == kIntegerList ? List::Ints : List::Floats;
            listLeft_ = n;
            t.kind = Tok::Values;
            return t;
        }
        case kOBrace: t.kind = Tok::OBrace; return t;
        case kCBrace: t.kind = Tok::CBrace; return t;
        case kOParen: t.kind = Tok::OParen; return t;
        case kCParen: t.kind = Tok::CParen; return t;
        case kOBracket: t.kind = Tok::OBracket; return t;
        case kCBracket: t.kind = Tok::CBracket; return t;
        case kOAngle: t.kind = Tok::OAngle; return t;
        case kCAngle: t.kind = Tok::CAngle; return t;
        case kDot: t.kind = Tok::Dot; return t;
        case kComma: t.kind = Tok::Comma; return t;
        case kSemicolon: t.kind = Tok::Semicolon; return t;
        case kTemplate: t.kind = Tok::Template; return t;
        case kArray: t.kind = Tok::Array; return t;
        case kWord: t.kind = Tok::Type; t.prim = Prim::Word; return t;
        case kDword: t.kind = Tok::Type; t.prim = Prim::Dword; return t;
        case kFloat: t.kind = Tok::Type; t.prim = Prim::Float; return t;
        case kDouble: t.kind = Tok::Type; t.prim = Prim::Double; return t;
        case kChar: t.kind = Tok::Type; t.prim = Prim::Char; return t;
        case kUchar: t.kind = Tok::Type; t.prim = Prim::Uchar; return t;
        case kSword: t.kind = Tok::Type; t.prim = Prim::Sword; return t;
        case kSdword: t.kind = Tok::Type; t.prim = Prim::Sdword; return t;
        case kLpstr: t.kind = Tok::Type; t.prim = Prim::String; return t;
        case kUnicode: t.kind = Tok::Type; t.prim = Prim::Unicode; return t;
        case kCstring: t.kind = Tok::Type; t.prim = Prim::Cstring; return t;
        case kVoid:
        default: fail(D3DXFERR_PARSEERROR);
        }
    }
}

Token BinaryLexer::next() {
    if (hasPeek_) {
        hasPeek_ = false;
        return peeked_;
    }
    if (listLeft_ != 0) {
        Token t;
        t.kind = Tok::Values;
        return t;
    }
    return lex();
}

const Token& BinaryLexer::peek() {
    if (!hasPeek_) {
        peeked_ = next();
        hasPeek_ = true;
    }
    return peeked_;
}

void BinaryLexer::openList() {
    if (hasPeek_ && peeked_.kind == Tok::Values) hasPeek_ = false;
    if (listLeft_ != 0) return;
    Token t = next();
    while (t.kind == Tok::Comma || t.kind == Tok::Semicolon) t = next();
    if (t.kind == Tok::Integer) {
        // A lone integer record: hand it out as a one-value list.
        peeked_ = t;
        hasPeek_ = true;
        return;
    }
    if (t.kind != Tok::Values) fail(D3DXFERR_PARSEERROR);
}

uint32_t BinaryLexer::readInt() {
    openList();
    if (hasPeek_) {  // a lone integer record
        hasPeek_ = false;
        return peeked_.integer;
    }
    if (list_ != List::Ints) fail(D3DXFERR_PARSEERROR);
    --listLeft_;
    return u32();
}

double BinaryLexer::readFloat() {
    openList();
    if (hasPeek_ || list_ != List::Floats) fail(D3DXFERR_PARSEERROR);
    --listLeft_;
    if (floatBytes_ == 8) {
        const uint32_t lo = u32();
        const uint64_t bits = uint64_t(lo) | (uint64_t(u32()) << 32);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    const uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// The file's little-endian values are copied as they are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "binary values are read as little-endian words");

void BinaryLexer::readInts(uint8_t* out, size_t n) {
    while (n > 0) {
        openList();
        if (hasPeek_) {  // a lone integer record
            hasPeek_ = false;
            std::memcpy(out, &peeked_.integer, 4);
            out += 4;
            --n;
            continue;
        }
        if (list_ != List::Ints) fail(D3DXFERR_PARSEERROR);
        const size_t k = std::min<size_t>(n, listLeft_);  // the list's bytes were checked when it began
        std::memcpy(out, p_, k * 4);
        p_ += k * 4;
        listLeft_ -= uint32_t(k);
        out += k * 4;
        n -= k;
    }
}

void BinaryLexer::readFloats(uint8_t* out, size_t n) {
    while (n > 0) {
        openList();
        if (hasPeek_ || list_ != List::Floats) fail(D3DXFERR_PARSEERROR);
        const size_t k = std::min<size_t>(n, listLeft_);
        for (size_t i = 0; i < k; ++i) {
            float v;
            if (floatBytes_ == 8) {
                double d;
                std::memcpy(&d, p_ + 8 * i, 8);
                v = toFloat(d);
            } else {
                std::memcpy(&v, p_ + 4 * i, 4);
                v = toFloat(v);
            }
            std::memcpy(out + 4 * i, &v, 4);
        }
        p_ += k * floatBytes_;
        listLeft_ -= uint32_t(k);
        out += k * 4;
        n -= k;
    }
}

std::string_view BinaryLexer::readString() {
    if (listLeft_ != 0) fail(D3DXFERR_PARSEERROR);
    Token t = next();
    while (t.kind == Tok::Comma || t.kind == Tok::Semicolon) t = next();
    if (t.kind != Tok::String) fail(D3DXFERR_PARSEERROR);
    return t.text;
}

}  // namespace xfile
