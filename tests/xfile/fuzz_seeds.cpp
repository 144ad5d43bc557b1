// Writes the sample files of the tests, in every encoding, as a starting corpus for fuzz_xfile.
//   xfile_fuzz_seeds <folder>
#include "xsamples.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: xfile_fuzz_seeds <folder>\n");
        return 1;
    }
    using namespace xtest;
    const Enc encodings[] = {Enc::Text, Enc::Binary, Enc::Binary64, Enc::TextZip, Enc::BinaryZip};
    int n = 0;
    for (const std::string& text : allSampleFiles()) {
        for (Enc e : encodings) {
            // Both parities: the target registers the standard templates for even sizes only.
            std::string bytes = encode(text, e);
            for (int pad = 0; pad < 2; ++pad) {
                const std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++) + ".x";
                std::ofstream(path, std::ios::binary) << bytes;
                bytes += e == Enc::Text ? "\n" : "";
                if (e != Enc::Text) break;
            }
        }
    }
    std::printf("%d seed files\n", n);
    return 0;
}
