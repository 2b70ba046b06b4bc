// BMP and PGM writers of the command-line tool (see image_files.h). The BMP headers are written
// byte by byte in little-endian order, so the output does not depend on the host's struct
// layout or byte order.
#include "image_files.h"

#include "cli.h"

#include <cerrno>
#include <cstdint>
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

// 2835 pixels a metre is 72 dots an inch, the customary default.
const uint32_t kPixelsPerMetre = 2835;
const uint32_t kBmpHeaderSize = 14 + 40;

}  // namespace

std::size_t BmpStride(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

photogeo::Result<void> WriteBmp24(const std::string& path, int width, int height,
                                  const unsigned char* rows) {
    if (width <= 0 || height <= 0) return photogeo::Error{"write " + path + ": no pixels", EINVAL};
    uint64_t imageSize = static_cast<uint64_t>(BmpStride(width)) * static_cast<uint64_t>(height);
    if (imageSize + kBmpHeaderSize > UINT32_MAX) {
        return photogeo::Error{"write " + path + ": too large for a BMP file", EFBIG};
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
    return WriteOutput(path, {{head.data(), head.size()}, {rows, static_cast<std::size_t>(imageSize)}});
}

photogeo::Result<void> WritePgm(const std::string& path, int width, int height,
                                const unsigned char* pixels) {
    if (width <= 0 || height <= 0) return photogeo::Error{"write " + path + ": no pixels", EINVAL};
    std::string head = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    return WriteOutput(path, {{head.data(), head.size()},
                              {pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height)}});
}

}  // namespace cli
