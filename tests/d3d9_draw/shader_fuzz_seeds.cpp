// Writes the shader tests' valid sources as a starting corpus for fuzz_shader_asm, or their
// assembled token streams for fuzz_shader_tokens.
//   shader_fuzz_seeds source|tokens <folder>
#include <d3dx9shader.h>

#include "shader_sources.h"

#include <cstdio>
#include <cstring>
#include <fstream>

int main(int argc, char** argv) {
    bool tokens = argc == 3 && std::strcmp(argv[1], "tokens") == 0;
    if (argc != 3 || (!tokens && std::strcmp(argv[1], "source") != 0)) {
        std::fprintf(stderr, "usage: shader_fuzz_seeds source|tokens <folder>\n");
        return 1;
    }
    int n = 0;
    for (const std::string& source : drawtest::ValidSources()) {
        std::string bytes = source;
        if (tokens) {
            ID3DXBuffer* shader = nullptr;
            if (FAILED(D3DXAssembleShader(source.c_str(), UINT(source.size()), nullptr, nullptr, 0, &shader, nullptr))) {
                std::fprintf(stderr, "shader_fuzz_seeds: a seed does not assemble:\n%s\n", source.c_str());
                return 1;
            }
            bytes.assign(static_cast<const char*>(shader->GetBufferPointer()), shader->GetBufferSize());
            shader->Release();
        }
        std::ofstream file(std::string(argv[2]) + "/seed" + std::to_string(n++) + (tokens ? ".vso" : ".vsh"),
                           std::ios::binary);
        if (!(file << bytes)) {
            std::fprintf(stderr, "shader_fuzz_seeds: cannot write into %s\n", argv[2]);
            return 1;
        }
    }
    std::printf("%d seed files\n", n);
    return 0;
}
