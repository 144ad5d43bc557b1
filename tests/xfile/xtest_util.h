// Helpers for the .x reader tests: writers for the binary and compressed forms, a way to load
// bytes through the public interfaces, and the expected layout of locked data.
#pragma once

#include <d3dx9xof.h>

#include <cstdint>
#include <string>
#include <vector>

namespace xtest {

// ---- writing files

// Raw binary .x tokens, for files that must be exactly so (damaged ones included).
class BinWriter {
public:
    explicit BinWriter(const char* header = "xof 0303bin 0032") : out_(header, 16) {}

    BinWriter& token(uint16_t code);
    BinWriter& word(uint16_t v);
    BinWriter& dword(uint32_t v);
    BinWriter& name(const std::string& s);
    BinWriter& string(const std::string& s, uint16_t terminator = 20, bool dwordTerminator = false);
    BinWriter& integer(uint32_t v);
    BinWriter& guid(const GUID& g);
    BinWriter& ints(const std::vector<uint32_t>& v);
    BinWriter& floats(const std::vector<float>& v);
    BinWriter& doubles(const std::vector<double>& v);
    BinWriter& bytes(const std::string& raw);

    const std::string& str() const { return out_; }

private:
    std::string out_;
};

enum BinToken : uint16_t {
    TOKEN_NAME = 1,
    TOKEN_STRING = 2,
    TOKEN_INTEGER = 3,
    TOKEN_GUID = 5,
    TOKEN_INTEGER_LIST = 6,
    TOKEN_FLOAT_LIST = 7,
    TOKEN_OBRACE = 10,
    TOKEN_CBRACE = 11,
    TOKEN_OBRACKET = 14,
    TOKEN_CBRACKET = 15,
    TOKEN_DOT = 18,
    TOKEN_COMMA = 19,
    TOKEN_SEMICOLON = 20,
    TOKEN_TEMPLATE = 31,
    TOKEN_WORD = 40,
    TOKEN_DWORD = 41,
    TOKEN_FLOAT = 42,
    TOKEN_DOUBLE = 43,
    TOKEN_CHAR = 44,
    TOKEN_UCHAR = 45,
    TOKEN_LPSTR = 49,
    TOKEN_ARRAY = 52,
};

// Rewrites a text .x file in the binary form, token by token: numbers with a '.' or an
// exponent go to float lists, the others to integer lists. `split` > 0 cuts the lists into
// records of at most that many values (0 keeps each run of numbers in one record).
std::string textToBinary(const std::string& text, bool doubles = false, size_t split = 0);

// Compresses a text or binary .x file into its "tzip" / "bzip" form, in MSZIP blocks of
// `blockSize` bytes. The leading size counts the 16-byte header when `totalWithHeader`.
std::string compress(const std::string& file, size_t blockSize = 32768, bool totalWithHeader = true);

enum class Enc { Text, Binary, Binary64, BinarySplit, TextZip, BinaryZip };
const char* encName(Enc e);
// A text .x file in the given encoding.
std::string encode(const std::string& text, Enc e);

// ---- reading through the public interfaces

// Owns one COM reference.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T** out() {
        reset();
        return &p_;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

struct Loaded {
    HRESULT hr = E_FAIL;
    Ref<ID3DXFile> file;
    Ref<ID3DXFileEnumObject> objects;
};

// Creates a file object, registers the standard templates (unless told not to) and enumerates
// the bytes from memory.
Loaded load(const std::string& bytes, bool registerStandard = true);
HRESULT loadResult(const std::string& bytes, bool registerStandard = true);

Ref<ID3DXFileData> top(const Loaded& l, size_t i);
Ref<ID3DXFileData> child(ID3DXFileData* d, size_t i);
size_t topCount(const Loaded& l);
size_t childCount(ID3DXFileData* d);
std::string nameOf(ID3DXFileData* d);
GUID typeOf(ID3DXFileData* d);
std::vector<uint8_t> dataOf(ID3DXFileData* d);

// ---- the expected locked data

// Packed little-endian values; STRING members are char* slots checked by content.
class Layout {
public:
    Layout& w(uint16_t v) { return raw(&v, 2); }
    Layout& dw(uint32_t v) { return raw(&v, 4); }
    Layout& f(float v) { return raw(&v, 4); }
    Layout& d(double v) { return raw(&v, 8); }
    Layout& b(uint8_t v) { return raw(&v, 1); }
    Layout& floats(std::initializer_list<float> v) {
        for (float x : v) f(x);
        return *this;
    }
    Layout& str(const std::string& s);

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // Compares the locked data of `d` with this layout (gtest failures on mismatch).
    void expectMatches(ID3DXFileData* d) const;

private:
    Layout& raw(const void* p, size_t n);
    std::vector<uint8_t> bytes_;
    std::vector<std::pair<size_t, std::string>> strings_;
};

std::string guidText(const GUID& g);

}  // namespace xtest
