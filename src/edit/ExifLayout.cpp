// The directory tree of a TIFF block as the lossless editor sees it: IFD0, the Exif, GPS and
// Interoperability directories its pointers name, and IFD1; and the byte runs those use, so
// the editor knows which bytes of an old GPS directory nothing else needs. Reads go through the
// bounded TIFF cursor; a directory whose table does not lie inside the block, or overlaps
// another's, is marked damaged instead of being followed.
#include <algorithm>

#include "edit/EditInternal.h"

namespace photogeo::edit {
namespace {

constexpr int64_t kFirstDirectoryMin = tiff::kHeaderSize;
constexpr uint16_t kTagStripOffsets = 0x0111;
constexpr uint16_t kTagStripByteCounts = 0x0117;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
constexpr int kTypeIfd = 13;  // a 32-bit directory offset

// Reads the table at offset into dir; false (dir untouched) when any of it lies outside.
bool ReadDirectory(tiff::Cursor& c, int64_t offset, Directory& dir) {
    if (offset < kFirstDirectoryMin) return false;
    try {
        c.Seek(offset);
        const uint16_t count = c.ReadCount();
        std::vector<tiff::Entry> entries;
        entries.reserve(count);
        for (uint16_t i = 0; i < count; ++i) entries.push_back(c.ReadEntry());
        dir.next = c.Read32();
        dir.entries = std::move(entries);
        dir.count = count;
        dir.offset = offset;
        dir.present = true;
        return true;
    } catch (const tiff::Error&) {
        return false;
    }
}

// The directory offset a pointer entry holds: a LONG or IFD value of count 1.
bool PointerValue(const tiff::Entry& e, uint32_t* offset) {
    if ((e.type != tiff::kLong && e.type != kTypeIfd) || e.count != 1) return false;
    *offset = e.value;
    return true;
}

void Follow(tiff::Cursor& c, Layout& layout, Dir from, uint16_t tag, Dir to) {
    const tiff::Entry* e = layout.dirs[from].Find(tag);
    if (!e) return;
    uint32_t offset = 0;
    if (PointerValue(*e, &offset)) layout.dirs[to].named = offset;
    if (layout.dirs[to].named < 0 || !ReadDirectory(c, offset, layout.dirs[to]))
        layout.dirs[to].damaged = true;
}

bool Overlap(int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
    return a0 < b1 && b0 < a1;
}

}  // namespace

const tiff::Entry* Directory::Find(uint16_t tag) const {
    for (const tiff::Entry& e : entries)
        if (e.tag == tag) return &e;
    return nullptr;
}

bool Layout::AnyDamaged() const {
    for (const Directory& d : dirs)
        if (d.damaged) return true;
    return false;
}

int64_t ValueSize(const tiff::Entry& e) {
    return e.type == kTypeIfd ? int64_t{4} * e.count : e.ByteSize();
}

Layout ReadLayout(const unsigned char* block, std::size_t size) {
    tiff::Cursor c(block, static_cast<int64_t>(size));
    Layout layout;
    tiff::Header h;
    try {
        h = c.ReadHeader();
    } catch (const tiff::Error&) {
        throw Failure(Fault::kBadHeader);
    }
    if (!h.Valid()) throw Failure(Fault::kBadHeader);
    layout.order = h.order;
    if (!ReadDirectory(c, h.firstIfd, layout.dirs[kIfd0]))
        throw Failure(Fault::kBadDirectory, "IFD0");
    Follow(c, layout, kIfd0, kTagExifPointer, kExifIfd);
    Follow(c, layout, kIfd0, kTagGpsPointer, kGpsIfd);
    if (layout.dirs[kExifIfd].present) Follow(c, layout, kExifIfd, kTagInteropPointer, kInteropIfd);
    if (layout.dirs[kIfd0].next != 0) {
        layout.dirs[kIfd1].named = layout.dirs[kIfd0].next;
        if (!ReadDirectory(c, layout.dirs[kIfd0].next, layout.dirs[kIfd1]))
            layout.dirs[kIfd1].damaged = true;
    }
    // Two directories sharing bytes cannot be edited apart: the later one is not followed.
    // The GPS directory is judged last, so that whether the others read never depends on it
    // (an edit moves it).
    static const int kOrder[] = {kExifIfd, kInteropIfd, kIfd1, kGpsIfd};
    for (int i = 0; i < 4; ++i) {
        Directory& dir = layout.dirs[kOrder[i]];
        if (!dir.present) continue;
        for (int j = -1; j < i; ++j) {
            const Directory& other = layout.dirs[j < 0 ? kIfd0 : kOrder[j]];
            if (other.present && Overlap(dir.offset, dir.offset + dir.TableSize(), other.offset,
                                         other.offset + other.TableSize())) {
                const int64_t named = dir.named;
                dir = Directory();
                dir.damaged = dir.overlapping = true;
                dir.named = named;
                break;
            }
        }
    }
    return layout;
}

Ranges DirectoryRanges(const Layout& layout, const unsigned char* block, std::size_t size, int d,
                       bool withTables) {
    const int64_t n = static_cast<int64_t>(size);
    Ranges ranges;
    auto add = [&](int64_t begin, int64_t length) {
        if (tiff::Fits(begin, length, n) && length > 0) ranges.emplace_back(begin, begin + length);
    };
    if (d == kIfd0 && withTables) add(0, tiff::kHeaderSize);
    const Directory& dir = layout.dirs[d];
    if (!dir.present) return ranges;
    if (withTables) add(dir.offset, dir.TableSize());
    for (const tiff::Entry& e : dir.entries)
        if (ValueSize(e) > tiff::kValueFieldSize) add(e.value, ValueSize(e));
    if (d == kIfd1) {
        // The thumbnail: a JPEG stream, or strips whose offsets and lengths are arrays.
        const tiff::Entry* at = dir.Find(kTagThumbnailOffset);
        const tiff::Entry* length = dir.Find(kTagThumbnailLength);
        if (at && length) add(at->value, length->value);
        const tiff::Entry* strips = dir.Find(kTagStripOffsets);
        const tiff::Entry* counts = dir.Find(kTagStripByteCounts);
        if (!strips || !counts || strips->count != counts->count || strips->count > n)
            return ranges;
        tiff::Cursor c(block, n, layout.order);
        for (uint32_t i = 0; i < strips->count; ++i) {
            auto item = [&](const tiff::Entry& e) -> int64_t {
                const int width = e.type == tiff::kShort ? 2 : 4;
                const int64_t where =
                    (e.Inline() ? e.FieldOffset() : int64_t{e.value}) + int64_t{width} * i;
                const unsigned char* p = c.Span(where, width);
                if (!p) return -1;
                return width == 2 ? c.Load16(p) : c.Load32(p);
            };
            add(item(*strips), item(*counts));
        }
    }
    return ranges;
}

}  // namespace photogeo::edit
