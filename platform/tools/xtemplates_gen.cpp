// Build tool: turns a text .x file of template declarations into the binary .x form and writes
// it as a C++ byte list (the body of D3DRM_XTEMPLATES).
//   xtemplates_gen <templates.x> <out.inc>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum Token : uint16_t {
    kName = 1,
    kInteger = 3,
    kGuid = 5,
    kOBrace = 10,
    kCBrace = 11,
    kOBracket = 14,
    kCBracket = 15,
    kDot = 18,
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
    kLpstr = 49,
    kUnicode = 50,
    kCstring = 51,
    kArray = 52,
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "xtemplates_gen: %s\n", what.c_str());
    std::exit(1);
}

struct Writer {
    std::vector<uint8_t> out;
    void u16(uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
};

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int keyword(const std::string& word) {
    static const struct {
        const char* name;
        Token token;
    } table[] = {{"TEMPLATE", kTemplate}, {"ARRAY", kArray},   {"WORD", kWord},
                 {"DWORD", kDword},       {"FLOAT", kFloat},   {"DOUBLE", kDouble},
                 {"CHAR", kChar},         {"UCHAR", kUchar},   {"BYTE", kUchar},
                 {"SWORD", kSword},       {"SDWORD", kSdword}, {"STRING", kLpstr},
                 {"LPSTR", kLpstr},       {"UNICODE", kUnicode}, {"CSTRING", kCstring}};
    const std::string u = upper(word);
    for (const auto& k : table)
        if (u == k.name) return k.token;
    return 0;
}

uint32_t hexValue(const std::string& s) {
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) fail("bad hex digits in a GUID: " + s);
    return uint32_t(std::strtoul(s.c_str(), nullptr, 16));
}

void writeGuid(Writer& w, const std::string& text) {
    // XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        fail("bad GUID: " + text);
    w.u16(kGuid);
    w.u32(hexValue(text.substr(0, 8)));
    w.u16(hexValue(text.substr(9, 4)));
    w.u16(hexValue(text.substr(14, 4)));
    w.out.push_back(uint8_t(hexValue(text.substr(19, 2))));
    w.out.push_back(uint8_t(hexValue(text.substr(21, 2))));
    for (int i = 0; i < 6; ++i) w.out.push_back(uint8_t(hexValue(text.substr(24 + 2 * i, 2))));
}

void convert(const std::string& text, Writer& w) {
    if (text.size() < 16 || text.compare(0, 4, "xof ") != 0 || text.compare(8, 4, "txt ") != 0)
        fail("input is not a text .x file");
    const char* header = "xof 0303bin 0032";
    w.out.assign(header, header + 16);
    size_t i = 16;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;  // the binary form has no commas between restriction entries
        } else if (c == '#' || (c == '/' && i + 1 < n && text[i + 1] == '/')) {
            while (i < n && text[i] != '\n') ++i;
        } else if (c == '<') {
            const size_t close = text.find('>', i);
            if (close == std::string::npos) fail("unterminated GUID");
            writeGuid(w, text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < n && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
            const std::string word = text.substr(i, j - i);
            if (int k = keyword(word)) {
                w.u16(uint32_t(k));
            } else {
                w.u16(kName);
                w.u32(uint32_t(word.size()));
                w.out.insert(w.out.end(), word.begin(), word.end());
            }
            i = j;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            w.u16(kInteger);
            w.u32(uint32_t(std::strtoul(text.substr(i, j - i).c_str(), nullptr, 10)));
            i = j;
        } else {
            switch (c) {
            case '{': w.u16(kOBrace); break;
            case '}': w.u16(kCBrace); break;
            case '[': w.u16(kOBracket); break;
            case ']': w.u16(kCBracket); break;
            case ';': w.u16(kSemicolon); break;
            case '.': w.u16(kDot); break;
            default: fail(std::string("unexpected character '") + c + "'");
            }
            ++i;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) fail("usage: xtemplates_gen <templates.x> <out.inc>");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) fail(std::string("cannot read ") + argv[1]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Writer w;
    convert(text, w);

    std::ostringstream body;
    body << "// Generated from templates.x by xtemplates_gen: " << w.out.size() << " bytes.\n";
    for (size_t i = 0; i < w.out.size(); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02x,", w.out[i]);
        body << buf << ((i % 16 == 15) ? "\n" : "");
    }
    body << "\n";
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << body.str();
    if (!out) fail(std::string("cannot write ") + argv[2]);
    return 0;
}
