// The test-side TIFF block builder (see TiffBuilder.h).
#include "support/TiffBuilder.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace exiftest {

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

int TiffBuilder::AddDir(bool bMain) {
    m_dirs.push_back(Dir{bMain, {}});
    const int id = static_cast<int>(m_dirs.size()) - 1;
    if (bMain) m_main.push_back(id);
    return id;
}

int TiffBuilder::Main(int n) {
    while (static_cast<int>(m_main.size()) <= n) AddDir(true);
    return m_main[n];
}

Bytes TiffBuilder::U16(uint16_t v) const {
    return m_bIntel ? Bytes{uint8_t(v), uint8_t(v >> 8)} : Bytes{uint8_t(v >> 8), uint8_t(v)};
}

Bytes TiffBuilder::U32(uint32_t v) const {
    if (m_bIntel) return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

void TiffBuilder::Raw(int dir, int tag, int type, uint32_t count, const Bytes& value) {
    m_dirs.at(dir).entries.push_back(Entry{tag, type, count, value, -1, {}});
}

void TiffBuilder::Ascii(int dir, int tag, const std::string& text) {
    Bytes v(text.begin(), text.end());
    v.push_back(0);
    Raw(dir, tag, 2, static_cast<uint32_t>(v.size()), v);
}

void TiffBuilder::Byte(int dir, int tag, const Bytes& values) {
    Raw(dir, tag, 1, static_cast<uint32_t>(values.size()), values);
}

void TiffBuilder::Undefined(int dir, int tag, const Bytes& values) {
    Raw(dir, tag, 7, static_cast<uint32_t>(values.size()), values);
}

void TiffBuilder::Short(int dir, int tag, const std::vector<uint16_t>& values) {
    Bytes v;
    for (uint16_t x : values) Append(v, U16(x));
    Raw(dir, tag, 3, static_cast<uint32_t>(values.size()), v);
}

void TiffBuilder::Long(int dir, int tag, const std::vector<uint32_t>& values) {
    Bytes v;
    for (uint32_t x : values) Append(v, U32(x));
    Raw(dir, tag, 4, static_cast<uint32_t>(values.size()), v);
}

void TiffBuilder::Rational(int dir, int tag,
                           const std::vector<std::pair<uint32_t, uint32_t>>& values, int type) {
    Bytes v;
    for (const auto& r : values) {
        Append(v, U32(r.first));
        Append(v, U32(r.second));
    }
    Raw(dir, tag, type, static_cast<uint32_t>(values.size()), v);
}

void TiffBuilder::Pointer(int dir, int tag, int child) {
    m_dirs.at(dir).entries.push_back(Entry{tag, 4, 1, Bytes(4, 0), child, {}});
}

int TiffBuilder::Blob(const Bytes& data) {
    m_blobs.push_back(data);
    return static_cast<int>(m_blobs.size()) - 1;
}

void TiffBuilder::BlobOffsets(int dir, int tag, const std::vector<int>& blobs) {
    m_dirs.at(dir).entries.push_back(
        Entry{tag, 4, static_cast<uint32_t>(blobs.size()), Bytes(4 * blobs.size(), 0), -1, blobs});
}

Bytes TiffBuilder::Build() const {
    // First pass: where each directory and blob goes.
    std::vector<uint32_t> dirOffset(m_dirs.size()), blobOffset(m_blobs.size());
    uint32_t at = 8;
    for (size_t d = 0; d < m_dirs.size(); ++d) {
        dirOffset[d] = at;
        at += 2 + 12 * static_cast<uint32_t>(m_dirs[d].entries.size()) + 4;
        for (const Entry& e : m_dirs[d].entries)
            if (e.value.size() > 4) at += static_cast<uint32_t>(e.value.size());
    }
    for (size_t b = 0; b < m_blobs.size(); ++b) {
        blobOffset[b] = at;
        at += static_cast<uint32_t>(m_blobs[b].size());
    }

    Bytes out = m_bIntel ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
    Append(out, U16(42));
    Append(out, U32(m_main.empty() ? 0 : dirOffset[m_main[0]]));
    for (size_t d = 0; d < m_dirs.size(); ++d) {
        if (out.size() != dirOffset[d]) throw std::logic_error("layout");
        uint32_t next = 0;
        for (size_t m = 0; m + 1 < m_main.size(); ++m)
            if (m_main[m] == static_cast<int>(d)) next = dirOffset[m_main[m + 1]];
        Append(out, Directory(d, dirOffset[d], next, dirOffset, blobOffset));
    }
    for (const Bytes& b : m_blobs) Append(out, b);
    return out;
}

Bytes TiffBuilder::Bare(int dir, uint32_t at) const {
    return Directory(static_cast<size_t>(dir), at, 0, {}, {});
}

Bytes TiffBuilder::Directory(size_t d, uint32_t at, uint32_t next,
                             const std::vector<uint32_t>& dirOffset,
                             const std::vector<uint32_t>& blobOffset) const {
    const Dir& dir = m_dirs.at(d);
    Bytes out = U16(static_cast<uint16_t>(dir.entries.size()));
    const uint32_t values = at + 2 + 12 * static_cast<uint32_t>(dir.entries.size()) + 4;
    Bytes area;
    for (const Entry& e : dir.entries) {
        Bytes value = e.value;
        if (e.child >= 0) value = U32(dirOffset.at(e.child));
        if (!e.blobs.empty()) {
            value.clear();
            for (int b : e.blobs) Append(value, U32(blobOffset.at(b)));
        }
        Append(out, U16(static_cast<uint16_t>(e.tag)));
        Append(out, U16(static_cast<uint16_t>(e.type)));
        Append(out, U32(e.count));
        if (value.size() > 4) {
            Append(out, U32(values + static_cast<uint32_t>(area.size())));
            Append(area, value);
        } else {
            value.resize(4, 0);
            Append(out, value);
        }
    }
    Append(out, U32(next));
    Append(out, area);
    return out;
}

Bytes AppSegment(unsigned char marker, const Bytes& payload) {
    const size_t length = payload.size() + 2;
    if (length > 0xFFFF) throw std::length_error("segment too long");
    // Sized first and copied into (GCC 12 at -O3 misreads growing inserts as out of bounds).
    Bytes s(4 + payload.size());
    s[0] = 0xFF;
    s[1] = marker;
    s[2] = static_cast<unsigned char>(length >> 8);
    s[3] = static_cast<unsigned char>(length & 0xFF);
    std::copy(payload.begin(), payload.end(), s.begin() + 4);
    return s;
}

Bytes WrapAsJpeg(const Bytes& tiff) {
    // SOI, the APP1 segment, a minimal baseline frame header (8x8, one component), EOI.
    Bytes exif = {'E', 'x', 'i', 'f', 0, 0}, out = {0xFF, 0xD8};
    Append(exif, tiff);
    Append(out, AppSegment(0xE1, exif));
    Append(out, {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xFF,
                 0xD9});
    return out;
}

}  // namespace exiftest
