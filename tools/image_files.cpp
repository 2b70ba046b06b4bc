// BMP and PGM writers of the command-line tool (see image_files.h). The BMP headers are written
// byte by byte in little-endian order, so the output does not depend on the host's struct
// layout or byte order.
#include "image_files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace cli {

namespace {

void Put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool WriteAll(const std::string& path, const std::vector<unsigned char>& head,
              const unsigned char* body, std::size_t bodySize) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size() &&
              std::fwrite(body, 1, bodySize, f) == bodySize;
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        errno = err;
    }
    return ok;
}

// 2835 pixels a metre is 72 dots an inch, the customary default.
const uint32_t kPixelsPerMetre = 2835;
const uint32_t kBmpHeaderSize = 14 + 40;

}  // namespace

std::size_t BmpStride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

bool WriteBmp24(const std::string& path, int width, int height, const unsigned char* rows) {
    if (width <= 0 || height <= 0) {
        errno = EINVAL;
        return false;
    }
    uint64_t imageSize = static_cast<uint64_t>(BmpStride(width)) * static_cast<uint64_t>(height);
    if (imageSize + kBmpHeaderSize > UINT32_MAX) {
        errno = EFBIG;
        return false;
    }
    std::vector<unsigned char> head;
    head.push_back('B');
    head.push_back('M');
    Put32(head, static_cast<uint32_t>(imageSize) + kBmpHeaderSize);
    Put32(head, 0);
    Put32(head, kBmpHeaderSize);
    Put32(head, 40);
    Put32(head, static_cast<uint32_t>(width));
    Put32(head, static_cast<uint32_t>(height));  // positive: rows stored bottom-up
    Put16(head, 1);
    Put16(head, 24);
    Put32(head, 0);  // uncompressed
    Put32(head, static_cast<uint32_t>(imageSize));
    Put32(head, kPixelsPerMetre);
    Put32(head, kPixelsPerMetre);
    Put32(head, 0);
    Put32(head, 0);
    return WriteAll(path, head, rows, static_cast<std::size_t>(imageSize));
}

bool WritePgm(const std::string& path, int width, int height, const unsigned char* pixels) {
    if (width <= 0 || height <= 0) {
        errno = EINVAL;
        return false;
    }
    std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<unsigned char> head(header.begin(), header.end());
    return WriteAll(path, head, pixels,
                    static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

}  // namespace cli
