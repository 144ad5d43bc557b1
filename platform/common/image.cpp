// Format detection, file loading and saving, resampling and colour keying.
#include "common/image.h"

#include "common/image_codecs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

namespace platform::image {

namespace detail {

bool CheckDimensions(uint64_t width, uint64_t height, std::string& error) {
    if (width == 0 || height == 0) {
        error = "empty image";
        return false;
    }
    if (width > kMaxDimension || height > kMaxDimension || width * height > kMaxPixels) {
        error = "image too large (" + std::to_string(width) + "x" + std::to_string(height) + ")";
        return false;
    }
    return true;
}

}  // namespace detail

namespace {

// Larger files cannot hold an image we accept; refusing them early keeps a stray path from
// pulling gigabytes into memory.
constexpr off_t kMaxFileSize = off_t{1} << 30;

bool SetError(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

std::string ErrnoText(const char* what, const std::string& path) {
    return std::string(what) + " '" + path + "': " + std::strerror(errno);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

Format DetectFormat(const uint8_t* data, size_t size) {
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data) return Format::Unknown;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return Format::Bmp;
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return Format::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return Format::Jpeg;
    return Format::Unknown;
}

bool Decode(const uint8_t* data, size_t size, Image& out, std::string* error) {
    out = Image{};
    Image image;
    std::string message;
    bool ok = false;
    const Format format = DetectFormat(data, size);
    try {
        switch (format) {
        case Format::Bmp:
            ok = detail::DecodeBmp(data, size, image, message);
            break;
        case Format::Png:
            ok = detail::DecodePng(data, size, image, message);
            break;
        case Format::Jpeg:
            ok = detail::DecodeJpeg(data, size, image, message);
            break;
        case Format::Unknown:
            message = "unknown image format";
            break;
        }
    } catch (const std::bad_alloc&) {
        message = "out of memory";
        ok = false;
    }
    if (!ok) {
        static const char* const kNames[] = {"", "BMP: ", "PNG: ", "JPEG: "};
        return SetError(error, kNames[int(format)] + message);
    }
    out = std::move(image);
    return true;
}

namespace {

// The last small image decoded from a file, with the file's bytes: the same file read again at
// once (the states of a button drawn from one image) is decoded once. Found by content, so a
// file changed in between is decoded anew.
constexpr size_t kMaxKeptPixels = 512 * 512;

struct LastDecoded {
    std::mutex lock;
    std::vector<uint8_t> bytes;
    Image image;
};

LastDecoded& Last() {
    static LastDecoded last;
    return last;
}

}  // namespace

bool LoadFile(const std::string& nativePath, Image& out, std::string* error) {
    out = Image{};
    // Non-blocking, so that a FIFO in the file's place cannot hang the open.
    FileDescriptor fd(::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return SetError(error, ErrnoText("cannot open", nativePath));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return SetError(error, ErrnoText("cannot stat", nativePath));
    if (!S_ISREG(st.st_mode)) return SetError(error, "not a regular file: '" + nativePath + "'");
    if (st.st_size > kMaxFileSize) return SetError(error, "file too large: '" + nativePath + "'");

    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(st.st_size));
    } catch (const std::bad_alloc&) {
        return SetError(error, "out of memory");
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SetError(error, ErrnoText("cannot read", nativePath));
        if (n == 0) break;  // the file shrank while we read it
        done += size_t(n);
    }
    bytes.resize(done);
    LastDecoded& last = Last();
    {
        std::lock_guard<std::mutex> hold(last.lock);
        if (!last.bytes.empty() && last.bytes == bytes) {
            out = last.image;
            return true;
        }
    }
    if (!Decode(bytes.data(), bytes.size(), out, error)) return false;
    if (out.pixels.size() <= kMaxKeptPixels) {
        std::lock_guard<std::mutex> hold(last.lock);
        last.bytes = std::move(bytes);
        last.image = out;
    }
    return true;
}

bool SaveBmpFile(const Image& image, const std::string& nativePath, unsigned bitsPerPixel,
                 std::string* error) {
    std::vector<uint8_t> bytes;
    try {
        if (!EncodeBmp(image, bytes, bitsPerPixel)) return SetError(error, "cannot encode the image as BMP");
    } catch (const std::bad_alloc&) {
        return SetError(error, "out of memory");
    }

    // The temporary sits beside the target so that the rename stays within one file system.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int rawFd = -1;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temp = nativePath + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        rawFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd < 0 && errno != EEXIST) break;
    }
    if (rawFd < 0) return SetError(error, ErrnoText("cannot create", temp));

    FileDescriptor fd(rawFd);
    bool ok = WriteAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    std::string message = ok ? std::string() : ErrnoText("cannot write", temp);
    if (!fd.Close() && ok) {
        ok = false;
        message = ErrnoText("cannot write", temp);
    }
    if (ok && ::rename(temp.c_str(), nativePath.c_str()) != 0) {
        ok = false;
        message = ErrnoText("cannot replace", nativePath);
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return SetError(error, message);
    }
    return true;
}

namespace {

// The source pixels that make one destination pixel along one axis, with their weights.
struct Taps {
    std::vector<uint32_t> first;   // per destination pixel
    std::vector<uint32_t> count;   // per destination pixel
    std::vector<size_t> offset;    // into weights, per destination pixel
    std::vector<float> weights;
};

Taps MakeTaps(uint32_t srcSize, uint32_t dstSize, Filter filter) {
    Taps taps;
    taps.first.resize(dstSize);
    taps.count.resize(dstSize);
    taps.offset.resize(dstSize);
    const double scale = double(srcSize) / dstSize;
    std::vector<double> w;
    for (uint32_t i = 0; i < dstSize; ++i) {
        int64_t lo = 0, hi = 0;  // source range [lo, hi]
        w.clear();
        if (filter == Filter::Linear) {
            const double c = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(srcSize - 1));
            lo = int64_t(std::floor(c));
            hi = std::min<int64_t>(lo + 1, srcSize - 1);
            const double f = c - double(lo);
            w.push_back(1.0 - f);
            if (hi > lo) w.push_back(f);
        } else if (filter == Filter::Triangle) {
            const double radius = std::max(1.0, scale);
            const double c = (i + 0.5) * scale;
            lo = std::max<int64_t>(0, int64_t(std::floor(c - radius)));
            hi = std::min<int64_t>(srcSize - 1, int64_t(std::ceil(c + radius)));
            for (int64_t j = lo; j <= hi; ++j)
                w.push_back(std::max(0.0, 1.0 - std::abs(double(j) + 0.5 - c) / radius));
        } else {  // Box: overlap of [i, i + 1) * scale with each source pixel
            const double a = i * scale, b = (i + 1) * scale;
            lo = int64_t(std::floor(a));
            hi = std::min<int64_t>(srcSize - 1, int64_t(std::ceil(b)) - 1);
            for (int64_t j = lo; j <= hi; ++j)
                w.push_back(std::max(0.0, std::min(b, double(j + 1)) - std::max(a, double(j))));
        }
        // Drop zero weights at both ends and normalise.
        size_t begin = 0, end = w.size();
        while (begin + 1 < end && w[begin] <= 0.0) ++begin;
        while (end - 1 > begin && w[end - 1] <= 0.0) --end;
        double sum = 0;
        for (size_t k = begin; k < end; ++k) sum += w[k];
        if (sum <= 0) sum = 1;
        taps.first[i] = uint32_t(lo + int64_t(begin));
        taps.count[i] = uint32_t(end - begin);
        taps.offset[i] = taps.weights.size();
        for (size_t k = begin; k < end; ++k) taps.weights.push_back(float(w[k] / sum));
    }
    return taps;
}

uint32_t Channel(uint32_t p, unsigned c) { return (p >> (8 * c)) & 0xFF; }

// Box filtering by exactly one or two on each axis: the mean of the covered pixels, rounded half
// up, which is what the weighted path gives there (its weights are exact). Four samples are
// summed in every case (a pixel counted twice where an axis keeps its size), two channels at a
// time in 16-bit lanes. False for any other pair of sizes.
bool BoxReduce(const Image& src, Image& dst) {
    const uint32_t fx = src.width / dst.width, fy = src.height / dst.height;
    if (fx < 1 || fx > 2 || fy < 1 || fy > 2 || src.width != dst.width * fx || src.height != dst.height * fy)
        return false;
    for (uint32_t y = 0; y < dst.height; ++y) {
        const uint32_t* row0 = &src.pixels[size_t{y} * fy * src.width];
        const uint32_t* row1 = row0 + (fy - 1) * size_t{src.width};
        uint32_t* out = &dst.pixels[size_t{y} * dst.width];
        for (uint32_t x = 0; x < dst.width; ++x) {
            const size_t a = size_t{x} * fx, b = a + fx - 1;
            const uint32_t p[4] = {row0[a], row0[b], row1[a], row1[b]};
            uint32_t even = 0x00020002u, odd = 0x00020002u;  // blue and red; green and alpha
            for (uint32_t v : p) {
                even += v & 0x00FF00FFu;
                odd += (v >> 8) & 0x00FF00FFu;
            }
            out[x] = ((even >> 2) & 0x00FF00FFu) | (((odd >> 2) & 0x00FF00FFu) << 8);
        }
    }
    return true;
}

}  // namespace

Image Resize(const Image& src, uint32_t w, uint32_t h, Filter filter) {
    Image dst;
    if (w == 0 || h == 0 || src.width == 0 || src.height == 0 ||
        src.pixels.size() != size_t{src.width} * src.height)
        return dst;
    dst.width = w;
    dst.height = h;
    dst.hasAlpha = src.hasAlpha;
    dst.source = src.source;
    dst.bitsPerPixel = src.bitsPerPixel;
    if (w == src.width && h == src.height) {
        dst.pixels = src.pixels;
        return dst;
    }
    dst.pixels.resize(size_t{w} * h);

    if (filter == Filter::Box && BoxReduce(src, dst)) return dst;
    if (filter == Filter::Point) {
        std::vector<uint32_t> xs(w);
        for (uint32_t x = 0; x < w; ++x)
            xs[x] = uint32_t((uint64_t{2} * x + 1) * src.width / (uint64_t{2} * w));
        for (uint32_t y = 0; y < h; ++y) {
            const uint32_t sy = uint32_t((uint64_t{2} * y + 1) * src.height / (uint64_t{2} * h));
            for (uint32_t x = 0; x < w; ++x) dst.at(x, y) = src.at(xs[x], sy);
        }
        return dst;
    }

    // Separable: filter every source row horizontally, then the columns of that result.
    const Taps tx = MakeTaps(src.width, w, filter), ty = MakeTaps(src.height, h, filter);
    std::vector<float> rows(size_t{w} * src.height * 4);
    for (uint32_t y = 0; y < src.height; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            const float* wt = &tx.weights[tx.offset[x]];
            for (uint32_t k = 0; k < tx.count[x]; ++k) {
                const uint32_t p = src.at(tx.first[x] + k, y);
                for (unsigned c = 0; c < 4; ++c) acc[c] += wt[k] * float(Channel(p, c));
            }
            std::copy(acc, acc + 4, &rows[(size_t{y} * w + x) * 4]);
        }
    }
    for (uint32_t y = 0; y < h; ++y) {
        const float* wt = &ty.weights[ty.offset[y]];
        for (uint32_t x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (uint32_t k = 0; k < ty.count[y]; ++k) {
                const float* s = &rows[(size_t{ty.first[y] + k} * w + x) * 4];
                for (unsigned c = 0; c < 4; ++c) acc[c] += wt[k] * s[c];
            }
            uint32_t p = 0;
            for (unsigned c = 0; c < 4; ++c)
                p |= uint32_t(std::clamp(std::floor(acc[c] + 0.5f), 0.0f, 255.0f)) << (8 * c);
            dst.at(x, y) = p;
        }
    }
    return dst;
}

size_t ApplyColorKey(Image& image, uint32_t key) {
    const uint32_t forced = image.hasAlpha ? 0 : 0xFF000000u;
    size_t replaced = 0;
    for (uint32_t& p : image.pixels) {
        if ((p | forced) == key) {
            p = 0;
            ++replaced;
        }
    }
    if (replaced) image.hasAlpha = true;
    return replaced;
}

uint32_t NextPowerOfTwo(uint32_t n) {
    if (n <= 1) return 1;
    uint32_t p = n - 1;  // above 2^31 this wraps to 0
    p |= p >> 1;
    p |= p >> 2;
    p |= p >> 4;
    p |= p >> 8;
    p |= p >> 16;
    return p + 1;
}

}  // namespace platform::image
