// Feeds arbitrary bytes to the decoders; anything decoded is also resized, keyed and re-encoded.
#include "common/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace platform::image;
    Image image;
    std::string error;
    if (!Decode(data, size, image, &error)) return 0;
    if (image.pixels.size() != size_t{image.width} * image.height) __builtin_trap();
    if (image.pixels.size() <= 256 * 256) {
        const Image half = Resize(image, (image.width + 1) / 2, (image.height + 1) / 2, Filter::Box);
        const Image up = Resize(image, image.width + 3, image.height + 1, Filter::Triangle);
        if (half.empty() || up.empty()) __builtin_trap();
        ApplyColorKey(image, 0xFF000000u);
        std::vector<uint8_t> bmp;
        Image again;
        if (!EncodeBmp(image, bmp, 32) || !Decode(bmp.data(), bmp.size(), again)) __builtin_trap();
    }
    return 0;
}
