#include "xtest_util.h"

#include <rmxftmpl.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace xtest {

// ---------------------------------------------------------------------------------------------
// BinWriter

BinWriter& BinWriter::word(uint16_t v) {
    out_ += char(v & 0xFF);
    out_ += char(v >> 8);
    return *this;
}
BinWriter& BinWriter::dword(uint32_t v) {
    word(uint16_t(v & 0xFFFF));
    return word(uint16_t(v >> 16));
}
BinWriter& BinWriter::token(uint16_t code) { return word(code); }
BinWriter& BinWriter::name(const std::string& s) {
    token(TOKEN_NAME).dword(uint32_t(s.size()));
    out_ += s;
    return *this;
}
BinWriter& BinWriter::string(const std::string& s, uint16_t terminator, bool dwordTerminator) {
    token(TOKEN_STRING).dword(uint32_t(s.size()));
    out_ += s;
    return dwordTerminator ? dword(terminator) : word(terminator);
}
BinWriter& BinWriter::integer(uint32_t v) { return token(TOKEN_INTEGER).dword(v); }
BinWriter& BinWriter::guid(const GUID& g) {
    token(TOKEN_GUID).dword(g.Data1).word(g.Data2).word(g.Data3);
    out_.append(reinterpret_cast<const char*>(g.Data4), 8);
    return *this;
}
BinWriter& BinWriter::ints(const std::vector<uint32_t>& v) {
    token(TOKEN_INTEGER_LIST).dword(uint32_t(v.size()));
    for (uint32_t x : v) dword(x);
    return *this;
}
BinWriter& BinWriter::floats(const std::vector<float>& v) {
    token(TOKEN_FLOAT_LIST).dword(uint32_t(v.size()));
    for (float x : v) {
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        dword(bits);
    }
    return *this;
}
BinWriter& BinWriter::doubles(const std::vector<double>& v) {
    token(TOKEN_FLOAT_LIST).dword(uint32_t(v.size()));
    for (double x : v) {
        uint64_t bits;
        std::memcpy(&bits, &x, 8);
        dword(uint32_t(bits));
        dword(uint32_t(bits >> 32));
    }
    return *this;
}
BinWriter& BinWriter::bytes(const std::string& raw) {
    out_ += raw;
    return *this;
}

// ---------------------------------------------------------------------------------------------
// Text to binary

namespace {

struct TextToken {
    enum Kind { End, Punct, Guid, String, Number, Name } kind = End;
    std::string text;
    bool isFloat = false;
};

bool guidAt(const std::string& s, size_t i) {
    if (s.size() - i < 36) return false;
    for (size_t k = 0; k < 36; ++k) {
        const char c = s[i + k];
        if (k == 8 || k == 13 || k == 18 || k == 23) {
            if (c != '-') return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

class TextTokens {
public:
    explicit TextTokens(const std::string& s) : s_(s) {}

    TextToken next() {
        TextToken t;
        for (;;) {
            while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
            if (i_ < s_.size() && (s_[i_] == '#' || s_.compare(i_, 2, "//") == 0)) {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
                continue;
            }
            break;
        }
        if (i_ >= s_.size()) return t;
        const char c = s_[i_];
        if (c == '<') {
            const size_t close = s_.find('>', i_);
            t.kind = TextToken::Guid;
            t.text = s_.substr(i_ + 1, close - i_ - 1);
            i_ = close + 1;
        } else if (std::isxdigit(static_cast<unsigned char>(c)) && guidAt(s_, i_)) {
            t.kind = TextToken::Guid;
            t.text = s_.substr(i_, 36);
            i_ += 36;
        } else if (c == '"') {
            const size_t close = s_.find('"', i_ + 1);
            t.kind = TextToken::String;
            t.text = s_.substr(i_ + 1, close - i_ - 1);
            i_ = close + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' ||
                   (c == '.' && i_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_ + 1])))) {
            size_t j = i_ + 1;
            while (j < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[j])) || s_[j] == '.' ||
                                     s_[j] == 'e' || s_[j] == 'E' ||
                                     ((s_[j] == '-' || s_[j] == '+') && (s_[j - 1] == 'e' || s_[j - 1] == 'E'))))
                ++j;
            t.kind = TextToken::Number;
            t.text = s_.substr(i_, j - i_);
            t.isFloat = t.text.find_first_of(".eE") != std::string::npos;
            i_ = j;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i_ + 1;
            while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_' || s_[j] == '-' ||
                                     s_[j] == '.'))
                ++j;
            t.kind = TextToken::Name;
            t.text = s_.substr(i_, j - i_);
            i_ = j;
        } else {
            t.kind = TextToken::Punct;
            t.text = std::string(1, c);
            ++i_;
        }
        return t;
    }

private:
    const std::string& s_;
    size_t i_ = 0;
};

GUID guidFrom(const std::string& s) {
    GUID g{};
    g.Data1 = uint32_t(std::stoul(s.substr(0, 8), nullptr, 16));
    g.Data2 = uint16_t(std::stoul(s.substr(9, 4), nullptr, 16));
    g.Data3 = uint16_t(std::stoul(s.substr(14, 4), nullptr, 16));
    g.Data4[0] = uint8_t(std::stoul(s.substr(19, 2), nullptr, 16));
    g.Data4[1] = uint8_t(std::stoul(s.substr(21, 2), nullptr, 16));
    for (int k = 0; k < 6; ++k) g.Data4[2 + k] = uint8_t(std::stoul(s.substr(24 + 2 * k, 2), nullptr, 16));
    return g;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int typeKeyword(const std::string& word) {
    const std::string u = upper(word);
    if (u == "WORD") return TOKEN_WORD;
    if (u == "DWORD") return TOKEN_DWORD;
    if (u == "FLOAT") return TOKEN_FLOAT;
    if (u == "DOUBLE") return TOKEN_DOUBLE;
    if (u == "CHAR") return TOKEN_CHAR;
    if (u == "UCHAR" || u == "BYTE") return TOKEN_UCHAR;
    if (u == "STRING") return TOKEN_LPSTR;
    if (u == "ARRAY") return TOKEN_ARRAY;
    return 0;
}

}  // namespace

std::string textToBinary(const std::string& text, bool doubles, size_t split) {
    if (text.compare(0, 4, "xof ") != 0 || text.compare(8, 4, "txt ") != 0)
        throw std::invalid_argument("not a text .x file");
    std::string header = text.substr(0, 16);
    header.replace(8, 4, "bin ");
    header.replace(12, 4, doubles ? "0064" : "0032");
    BinWriter w(header.c_str());

    const std::string body = text.substr(16);
    TextTokens tokens(body);
    std::vector<std::string> run;
    bool runFloat = false;
    auto flush = [&] {
        size_t at = 0;
        while (at < run.size()) {
            const size_t n = split ? std::min(split, run.size() - at) : run.size() - at;
            if (runFloat) {
                std::vector<double> v;
                for (size_t k = 0; k < n; ++k) v.push_back(std::stod(run[at + k]));
                if (doubles) {
                    w.doubles(v);
                } else {
                    w.floats(std::vector<float>(v.begin(), v.end()));
                }
            } else {
                std::vector<uint32_t> v;
                for (size_t k = 0; k < n; ++k) v.push_back(uint32_t(std::stoll(run[at + k])));
                w.ints(v);
            }
            at += n;
        }
        run.clear();
    };

    int templateDepth = -1;  // brace depth inside a template declaration, -1 outside
    TextToken t = tokens.next();
    while (t.kind != TextToken::End) {
        TextToken after;
        bool haveAfter = false;
        if (templateDepth >= 0) {
            switch (t.kind) {
            case TextToken::Guid: w.guid(guidFrom(t.text)); break;
            case TextToken::Number: w.integer(uint32_t(std::stoul(t.text))); break;
            case TextToken::Name:
                if (int k = typeKeyword(t.text)) {
                    w.token(uint16_t(k));
                } else {
                    w.name(t.text);
                }
                break;
            default: {
                const char c = t.text[0];
                if (c == '{') {
                    ++templateDepth;
                    w.token(TOKEN_OBRACE);
                } else if (c == '}') {
                    w.token(TOKEN_CBRACE);
                    if (--templateDepth == 0) templateDepth = -1;
                } else if (c == '[') {
                    w.token(TOKEN_OBRACKET);
                } else if (c == ']') {
                    w.token(TOKEN_CBRACKET);
                } else if (c == ';') {
                    w.token(TOKEN_SEMICOLON);
                } else if (c == '.') {
                    w.token(TOKEN_DOT);
                }  // commas are not written in binary templates
            }
            }
        } else if (t.kind == TextToken::Number) {
            if (!run.empty() && runFloat != t.isFloat) flush();
            runFloat = t.isFloat;
            run.push_back(t.text);
        } else if (t.kind == TextToken::Punct && (t.text == ";" || t.text == ",")) {
            // separators of numbers are implied by the lists
        } else {
            flush();
            if (t.kind == TextToken::String) {
                after = tokens.next();
                haveAfter = true;
                uint16_t term = TOKEN_SEMICOLON;
                if (after.kind == TextToken::Punct && (after.text == ";" || after.text == ",")) {
                    term = after.text == ";" ? TOKEN_SEMICOLON : TOKEN_COMMA;
                    haveAfter = false;
                }
                w.string(t.text, term);
            } else if (t.kind == TextToken::Guid) {
                w.guid(guidFrom(t.text));
            } else if (t.kind == TextToken::Name) {
                if (upper(t.text) == "TEMPLATE") {
                    w.token(TOKEN_TEMPLATE);
                    templateDepth = 0;
                } else {
                    w.name(t.text);
                }
            } else if (t.text == "{") {
                w.token(TOKEN_OBRACE);
            } else if (t.text == "}") {
                w.token(TOKEN_CBRACE);
            } else {
                throw std::invalid_argument("unexpected text token " + t.text);
            }
        }
        t = haveAfter ? after : tokens.next();
    }
    flush();
    return w.str();
}

// ---------------------------------------------------------------------------------------------
// Compression

std::string compress(const std::string& file, size_t blockSize, bool totalWithHeader) {
    std::string header = file.substr(0, 16);
    header.replace(8, 4, file.compare(8, 4, "txt ") == 0 ? "tzip" : "bzip");
    const std::string body = file.substr(16);

    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    BinWriter w(header.c_str());
    w.dword(uint32_t(body.size() + (totalWithHeader ? 16 : 0)));
    std::vector<unsigned char> buf(blockSize * 2 + 1024);
    for (size_t at = 0; at < body.size(); at += blockSize) {
        const size_t n = std::min(blockSize, body.size() - at);
        deflateReset(&zs);
        const size_t dict = std::min<size_t>(at, 32768);
        if (dict)
            deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(body.data() + at - dict), uInt(dict));
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + at));
        zs.avail_in = uInt(n);
        zs.next_out = buf.data();
        zs.avail_out = uInt(buf.size());
        if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        const size_t packed = buf.size() - zs.avail_out;
        w.word(uint16_t(n)).word(uint16_t(packed + 2)).bytes("CK");
        w.bytes(std::string(reinterpret_cast<const char*>(buf.data()), packed));
    }
    deflateEnd(&zs);
    return w.str();
}

const char* encName(Enc e) {
    switch (e) {
    case Enc::Text: return "Text";
    case Enc::Binary: return "Binary";
    case Enc::Binary64: return "Binary64";
    case Enc::BinarySplit: return "BinarySplit";
    case Enc::TextZip: return "TextZip";
    case Enc::BinaryZip: return "BinaryZip";
    }
    return "?";
}

std::string encode(const std::string& text, Enc e) {
    switch (e) {
    case Enc::Text: return text;
    case Enc::Binary: return textToBinary(text);
    case Enc::Binary64: return textToBinary(text, true);
    case Enc::BinarySplit: return textToBinary(text, false, 3);
    case Enc::TextZip: return compress(text, 4096);
    case Enc::BinaryZip: return compress(textToBinary(text), 4096);
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Loading

Loaded load(const std::string& bytes, bool registerStandard) {
    Loaded l;
    l.hr = D3DXFileCreate(l.file.out());
    if (FAILED(l.hr)) return l;
    if (registerStandard) {
        l.hr = l.file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
        if (FAILED(l.hr)) return l;
    }
    D3DXF_FILELOADMEMORY mem{bytes.data(), bytes.size()};
    l.hr = l.file->CreateEnumObject(&mem, D3DXF_FILELOAD_FROMMEMORY, l.objects.out());
    return l;
}

HRESULT loadResult(const std::string& bytes, bool registerStandard) {
    return load(bytes, registerStandard).hr;
}

Ref<ID3DXFileData> top(const Loaded& l, size_t i) {
    Ref<ID3DXFileData> d;
    EXPECT_EQ(S_OK, l.objects->GetChild(i, d.out()));
    return d;
}

Ref<ID3DXFileData> child(ID3DXFileData* d, size_t i) {
    Ref<ID3DXFileData> c;
    EXPECT_EQ(S_OK, d->GetChild(i, c.out()));
    return c;
}

size_t topCount(const Loaded& l) {
    SIZE_T n = 0;
    EXPECT_EQ(S_OK, l.objects->GetChildren(&n));
    return n;
}

size_t childCount(ID3DXFileData* d) {
    SIZE_T n = 0;
    EXPECT_EQ(S_OK, d->GetChildren(&n));
    return n;
}

std::string nameOf(ID3DXFileData* d) {
    SIZE_T n = 0;
    EXPECT_EQ(S_OK, d->GetName(nullptr, &n));
    if (n == 0) return {};
    std::string s(n, '?');
    EXPECT_EQ(S_OK, d->GetName(s.data(), &n));
    EXPECT_EQ('\0', s.back());
    s.pop_back();
    return s;
}

GUID typeOf(ID3DXFileData* d) {
    GUID g{};
    EXPECT_EQ(S_OK, d->GetType(&g));
    return g;
}

std::vector<uint8_t> dataOf(ID3DXFileData* d) {
    SIZE_T size = 0;
    const void* p = nullptr;
    EXPECT_EQ(S_OK, d->Lock(&size, &p));
    const auto* b = static_cast<const uint8_t*>(p);
    std::vector<uint8_t> out(b, b + size);
    EXPECT_EQ(S_OK, d->Unlock());
    return out;
}

// ---------------------------------------------------------------------------------------------
// Layout

Layout& Layout::raw(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
    return *this;
}

Layout& Layout::str(const std::string& s) {
    strings_.emplace_back(bytes_.size(), s);
    bytes_.resize(bytes_.size() + sizeof(char*), 0);
    return *this;
}

void Layout::expectMatches(ID3DXFileData* d) const {
    SIZE_T size = 0;
    const void* p = nullptr;
    ASSERT_EQ(S_OK, d->Lock(&size, &p));
    ASSERT_EQ(bytes_.size(), size);
    std::vector<uint8_t> got(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
    for (const auto& [at, text] : strings_) {
        const char* s = nullptr;
        std::memcpy(&s, got.data() + at, sizeof s);
        ASSERT_NE(nullptr, s);
        EXPECT_EQ(text, s);
        std::memset(got.data() + at, 0, sizeof s);
    }
    EXPECT_EQ(bytes_, got);
    EXPECT_EQ(S_OK, d->Unlock());
}

std::string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                  g.Data4[6], g.Data4[7]);
    return buf;
}

}  // namespace xtest
