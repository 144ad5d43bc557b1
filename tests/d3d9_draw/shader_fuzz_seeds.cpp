// Writes the shader tests' valid sources as a starting corpus for fuzz_shader_asm.
//   shader_fuzz_seeds <folder>
#include "shader_sources.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shader_fuzz_seeds <folder>\n");
        return 1;
    }
    int n = 0;
    for (const std::string& source : drawtest::ValidSources()) {
        std::ofstream file(std::string(argv[1]) + "/seed" + std::to_string(n++) + ".vsh", std::ios::binary);
        if (!(file << source)) {
            std::fprintf(stderr, "shader_fuzz_seeds: cannot write into %s\n", argv[1]);
            return 1;
        }
    }
    std::printf("%d seed files\n", n);
    return 0;
}
