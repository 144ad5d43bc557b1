// Helpers shared by the image tests.
#pragma once

#include "common/image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace imagetest {

using platform::image::Image;

// Deterministic pseudo-random bytes so that failures reproduce.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state_;
};

inline Image MakeImage(uint32_t w, uint32_t h, std::vector<uint32_t> pixels, bool hasAlpha = false) {
    Image image;
    image.width = w;
    image.height = h;
    image.pixels = std::move(pixels);
    image.hasAlpha = hasAlpha;
    return image;
}

inline Image RandomImage(uint32_t w, uint32_t h, uint32_t seed, bool opaque) {
    Random rng(seed);
    std::vector<uint32_t> pixels(size_t{w} * h);
    for (uint32_t& p : pixels) p = opaque ? (rng.Next() | 0xFF000000u) : rng.Next();
    return MakeImage(w, h, std::move(pixels), !opaque);
}

inline unsigned ChannelOf(uint32_t p, unsigned c) { return (p >> (8 * c)) & 0xFF; }

// Pixel-by-pixel comparison; `tolerance` is per channel. Reports the first few mismatches.
inline ::testing::AssertionResult SamePixels(const Image& expected, const Image& actual,
                                             unsigned tolerance = 0) {
    if (expected.width != actual.width || expected.height != actual.height ||
        actual.pixels.size() != size_t{actual.width} * actual.height)
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << " (" << actual.pixels.size()
               << " pixels), expected " << expected.width << "x" << expected.height;
    int reported = 0;
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (uint32_t y = 0; y < expected.height; ++y)
        for (uint32_t x = 0; x < expected.width; ++x) {
            const uint32_t e = expected.at(x, y), a = actual.at(x, y);
            bool close = true;
            for (unsigned c = 0; c < 4; ++c) {
                const int d = int(ChannelOf(e, c)) - int(ChannelOf(a, c));
                close &= unsigned(d < 0 ? -d : d) <= tolerance;
            }
            if (close) continue;
            if (reported == 0) result = ::testing::AssertionFailure();
            if (reported++ < 5)
                result << "\n  at (" << x << "," << y << ") got " << std::hex << a << ", expected " << e
                       << std::dec;
        }
    return result;
}

inline bool DecodeBytes(const std::vector<uint8_t>& bytes, Image& out, std::string* error = nullptr) {
    return platform::image::Decode(bytes.data(), bytes.size(), out, error);
}

// Every proper prefix of a valid file must be refused, with nothing left in the output.
inline ::testing::AssertionResult EveryTruncationFails(const std::vector<uint8_t>& file) {
    for (size_t len = 0; len < file.size(); ++len) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + long(len));
        Image image;
        image.width = 99;  // must be cleared on failure
        std::string error;
        if (platform::image::Decode(cut.data(), cut.size(), image, &error))
            return ::testing::AssertionFailure() << "decoded when cut to " << len << " of " << file.size();
        if (error.empty() || image.width != 0 || !image.pixels.empty())
            return ::testing::AssertionFailure() << "failure at " << len << " left no message or a partial image";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace imagetest
