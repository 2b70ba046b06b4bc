// Test-side helpers: the test photos, Exiv2 reading, the marker structure of a JPEG file.
#include "exifcoder/CoderTestUtil.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace codertest {

void MakePhoto(const std::string& path, bool bigEndian, bool thumbnail) {
    const std::string name = bigEndian ? "be-thumb" : thumbnail ? "le-thumb" : "le";
    const Bytes photo = ReadFile(PHOTOGEO_TEST_DATA "/exifcoder/photo-" + name + ".jpg");
    if (photo.empty()) throw std::runtime_error("test photo missing: " + name);
    WriteFile(path, photo);
}

std::map<std::string, std::string> ReadWithExiv2(const std::string& path) {
    return exiftest::Exiv2ReadJpeg(ReadFile(path));
}

namespace {
bool IsFrame(int m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// The segments from SOI up to and including the first frame header.
std::vector<Segment> HeaderSegments(const Bytes& jpeg) {
    std::vector<Segment> out;
    size_t i = 0;
    while (i + 1 < jpeg.size() && !(jpeg[i] == 0xFF && jpeg[i + 1] == 0xD8)) ++i;
    if (i + 1 >= jpeg.size()) return out;
    out.push_back({0xD8, i, 2});
    i += 2;
    while (i + 3 < jpeg.size()) {
        if (jpeg[i] != 0xFF) throw std::runtime_error("not a marker");
        int m = jpeg[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        size_t len = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
        out.push_back({m, i, len + 2});
        if (IsFrame(m)) break;
        i += len + 2;
    }
    return out;
}
}  // namespace

size_t FrameOffset(const Bytes& jpeg) {
    std::vector<Segment> s = HeaderSegments(jpeg);
    return !s.empty() && IsFrame(s.back().marker) ? s.back().offset : jpeg.size();
}

Segment ExifSegment(const Bytes& jpeg) {
    Segment exif{0, 0, 0};
    for (const Segment& s : HeaderSegments(jpeg))
        if (s.marker == 0xE1 && s.length >= 10 && std::memcmp(&jpeg[s.offset + 4], "Exif", 4) == 0)
            exif = s;
    return exif;
}

Bytes Slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}

Bytes Tail(const Bytes& b, size_t from) {
    return Slice(b, from, b.size() - from);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace codertest
