// The read side of photogeo/ExifEdit.h: LocateExif finds a JPEG file's EXIF block among its
// segments, ExifTags looks up a tag of IFD0, the Exif, GPS or Interoperability directory or
// IFD1 with its value bytes as stored. The tool reads dates, offsets and GPS items through it.
#include <cstring>
#include <new>

#include "edit/EditInternal.h"

namespace photogeo {

using edit::Failure;

Result<ExifLocation> LocateExif(const unsigned char* jpeg, std::size_t size) {
    try {
        const edit::JpegHeader h = edit::ReadJpegHeader(jpeg, size);
        ExifLocation where;
        if (h.exif < 0) return where;
        const edit::Segment& s = h.segments[static_cast<std::size_t>(h.exif)];
        constexpr std::size_t kBlockStart = 4 + sizeof edit::kExifId;
        where.found = true;
        where.segmentOffset = s.offset;
        where.segmentSize = s.size;
        where.tiffOffset = s.offset + kBlockStart;
        where.tiffSize = s.size - kBlockStart;
        return where;
    } catch (const Failure& f) {
        return Error{f.Message(), 0};
    }
}

Result<ExifTags> ExifTags::Parse(const unsigned char* tiff, std::size_t size) {
    try {
        const edit::Layout layout = edit::ReadLayout(tiff, size);
        ExifTags tags;
        tags.m_bigEndian = layout.order == tiff::ByteOrder::kBigEndian;
        tags.m_block.assign(tiff, tiff + size);
        for (int d = 0; d < edit::kDirCount; ++d)
            for (const tiff::Entry& e : layout.dirs[d].entries) {
                const int64_t bytes = edit::ValueSize(e);
                const int64_t at = bytes <= tiff::kValueFieldSize ? e.FieldOffset() : e.value;
                const bool inside = tiff::Fits(at, bytes, static_cast<int64_t>(size));
                tags.m_slots.push_back({static_cast<uint8_t>(d), e.tag, e.type, e.count,
                                        inside ? at : -1,
                                        inside ? static_cast<uint32_t>(bytes) : 0});
            }
        return tags;
    } catch (const Failure& f) {
        return Error{f.Message(), 0};
    } catch (const std::bad_alloc&) {
        return Error{"out of memory", ENOMEM};
    } catch (const std::exception& e) {
        return Error{e.what(), 0};
    }
}

Result<ExifTags> ExifTags::FromJpeg(const unsigned char* jpeg, std::size_t size) {
    Result<ExifLocation> where = LocateExif(jpeg, size);
    if (!where) return where.error();
    if (!where.value().found) return ExifTags();
    return Parse(jpeg + where.value().tiffOffset, where.value().tiffSize);
}

std::optional<TagValue> ExifTags::Find(ExifDirectory directory, uint16_t tag) const {
    // The public directory names follow the internal order.
    static_assert(static_cast<int>(ExifDirectory::kThumbnail) == edit::kIfd1, "directory order");
    for (const Slot& s : m_slots) {
        if (s.directory != static_cast<uint8_t>(directory) || s.tag != tag) continue;
        if (s.valueOffset < 0) return std::nullopt;
        TagValue v;
        v.type = s.type;
        v.count = s.count;
        v.bigEndian = m_bigEndian;
        v.bytes.assign(m_block.begin() + s.valueOffset,
                       m_block.begin() + s.valueOffset + s.valueSize);
        return v;
    }
    return std::nullopt;
}

std::string TagValue::Text() const {
    if (type != tiff::kAscii && type != tiff::kUndefined) return {};
    const void* nul = std::memchr(bytes.data(), 0, bytes.size());
    const std::size_t n =
        nul ? static_cast<const unsigned char*>(nul) - bytes.data() : bytes.size();
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

std::optional<uint32_t> TagValue::Unsigned(std::size_t i) const {
    const tiff::ByteOrder order = bigEndian ? tiff::ByteOrder::kBigEndian : tiff::ByteOrder::kLittleEndian;
    const int width = type == tiff::kByte ? 1 : type == tiff::kShort ? 2 : type == tiff::kLong ? 4 : 0;
    if (width == 0 || i >= count || (i + 1) * width > bytes.size()) return std::nullopt;
    const unsigned char* p = bytes.data() + i * width;
    return width == 1 ? *p : width == 2 ? tiff::Load16(p, order) : tiff::Load32(p, order);
}

std::optional<double> TagValue::Rational(std::size_t i) const {
    const tiff::ByteOrder order = bigEndian ? tiff::ByteOrder::kBigEndian : tiff::ByteOrder::kLittleEndian;
    if ((type != tiff::kRational && type != tiff::kSRational) || i >= count ||
        (i + 1) * 8 > bytes.size())
        return std::nullopt;
    const uint32_t n = tiff::Load32(bytes.data() + 8 * i, order);
    const uint32_t d = tiff::Load32(bytes.data() + 8 * i + 4, order);
    if (d == 0) return std::nullopt;
    if (type == tiff::kSRational)
        return static_cast<double>(static_cast<int32_t>(n)) / static_cast<int32_t>(d);
    return static_cast<double>(n) / d;
}

}  // namespace photogeo
