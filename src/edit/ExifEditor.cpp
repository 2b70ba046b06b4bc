// The lossless editor (photogeo/ExifEdit.h): EditJpeg and EditJpegFile. The old TIFF block is
// copied unchanged; new values and directories are appended at even offsets, a directory whose
// tags change is rewritten in its old place when it does not grow, else appended, and the
// pointer to it (the header's IFD0 offset, IFD0's Exif or GPS pointer) is set to its new
// place. The GPS directory is always written last, so that the next edit finds it at the end of
// the block and reuses that space. The JPEG file around the EXIF segment is copied as it is.
#include <algorithm>
#include <cstring>
#include <new>

#include "edit/EditInternal.h"

namespace photogeo::edit {
namespace {

constexpr unsigned char kNewGpsVersion[4] = {2, 3, 0, 0};
constexpr uint16_t kTagGpsVersion = 0x0000;
constexpr int64_t kIfd0OffsetField = 4;  // in the header

struct WrittenDirectory {
    int64_t offset;
    std::vector<uint16_t> tags;  // in table order
    // Block offset of the value field of the entry for tag (which the directory holds).
    int64_t FieldOffset(uint16_t tag) const {
        const auto at = std::find(tags.begin(), tags.end(), tag) - tags.begin();
        return offset + tiff::kCountSize + tiff::kEntrySize * at + 8;
    }
};

// The block being built: the old bytes, then whatever the edit appends.
class BlockBuilder {
public:
    BlockBuilder(std::vector<unsigned char> bytes, tiff::ByteOrder order)
        : m_bytes(std::move(bytes)), m_order(order) {}

    std::vector<unsigned char>& Bytes() { return m_bytes; }

    // Appends data at the next even offset and returns that offset. Throws kTooLarge when the
    // block would no longer fit its segment.
    int64_t Append(const std::vector<unsigned char>& data) {
        const std::size_t at = m_bytes.size() + (m_bytes.size() & 1);
        if (at + data.size() > kMaxTiffBlock)
            throw Failure(Fault::kTooLarge,
                          "the TIFF block would be " + std::to_string(at + data.size()) + " bytes");
        m_bytes.resize(at);
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return static_cast<int64_t>(at);
    }

    // Writes a directory of entries (sorted by tag here) with the next-directory offset next.
    // Values longer than four bytes are appended first. The table goes at `at` (an old table's
    // place, which the caller has checked it fits) or, when at is negative, is appended.
    WrittenDirectory Write(std::vector<NewEntry> entries, uint32_t next, int64_t at = -1) {
        for (NewEntry& e : entries)
            if (!e.value.empty()) Store32(e.field, static_cast<uint32_t>(Append(e.value)), m_order);
        std::stable_sort(entries.begin(), entries.end(),
                         [](const NewEntry& a, const NewEntry& b) { return a.tag < b.tag; });
        std::vector<unsigned char> table(static_cast<std::size_t>(
            tiff::kCountSize + tiff::kEntrySize * static_cast<int64_t>(entries.size()) +
            tiff::kNextOffsetSize));
        WrittenDirectory w{0, {}};
        Store16(table.data(), static_cast<uint16_t>(entries.size()), m_order);
        unsigned char* p = table.data() + tiff::kCountSize;
        for (const NewEntry& e : entries) {
            Store16(p, e.tag, m_order);
            Store16(p + 2, e.type, m_order);
            Store32(p + 4, e.count, m_order);
            std::memcpy(p + 8, e.field, 4);
            p += tiff::kEntrySize;
            w.tags.push_back(e.tag);
        }
        Store32(p, next, m_order);
        if (at < 0) {
            w.offset = Append(table);
        } else {
            std::copy(table.begin(), table.end(), m_bytes.begin() + at);
            w.offset = at;
        }
        return w;
    }

    // Rewrites the directory old with entries: in its old place when the table does not grow
    // and no value lies in it (the bytes it no longer needs are cleared), else appended.
    WrittenDirectory Rewrite(const Directory& old, std::vector<NewEntry> entries, bool shared) {
        int64_t at = -1;
        if (entries.size() <= old.count && !shared) {
            at = old.offset;
            std::fill_n(m_bytes.begin() + old.offset, old.TableSize(), 0);
        }
        return Write(std::move(entries), old.next, at);
    }

    void Patch32(int64_t offset, uint32_t v) { Store32(&m_bytes[static_cast<std::size_t>(offset)], v, m_order); }

private:
    std::vector<unsigned char> m_bytes;
    tiff::ByteOrder m_order;
};

// What an edit replaces: the items whose old values are no longer needed.
struct Replaced {
    const ExifChanges& changes;
    bool gpsChange;                 // the GPS directory is rewritten or removed
    std::vector<uint16_t> gpsTags;  // the GPS items a fix sets or drops (the others are kept)

    bool Item(int d, uint16_t tag) const {
        switch (d) {
        case kIfd0: return tag == kTagImageDescription && changes.imageDescription;
        case kExifIfd: return tag == kTagUserComment && changes.userComment;
        case kGpsIfd:
            return gpsChange && (!changes.gps ||
                                 std::find(gpsTags.begin(), gpsTags.end(), tag) != gpsTags.end());
        default: return false;
        }
    }
};

// The layout with only the entries of directory d for which keep(tag) holds.
template <typename Keep>
Layout Only(const Layout& layout, int d, Keep keep) {
    Layout out = layout;
    auto& entries = out.dirs[d].entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const tiff::Entry& e) { return !keep(e.tag); }),
                  entries.end());
    return out;
}

bool Within(int64_t at, const Ranges& ranges) {
    for (const auto& [begin, end] : ranges)
        if (at >= begin && at < end) return true;
    return false;
}

// Frees what the old GPS directory no longer needs, in a block whose directories all read:
// its table and the values of the items replaced. Those bytes are cleared unless a kept value
// shares them (they would still locate the photo), and the run of them that ends the block
// (where an earlier edit left them) is cut off. `kept` holds every run the kept items use.
void ReleaseOldGps(const Layout& layout, const Replaced& replaced, const Ranges& kept,
                   std::vector<unsigned char>& bytes) {
    const Ranges gps =
        DirectoryRanges(Only(layout, kGpsIfd, [&](uint16_t tag) { return replaced.Item(kGpsIfd, tag); }),
                        bytes.data(), bytes.size(), kGpsIfd);
    int64_t keptEnd = 0;
    for (const auto& r : kept) keptEnd = std::max(keptEnd, r.second);
    // The cut: the start of the run of freed bytes (with single padding bytes between them)
    // that ends the block.
    int64_t cut = static_cast<int64_t>(bytes.size());
    for (bool moved = true; moved;) {
        moved = false;
        for (const auto& [begin, end] : gps)
            if (begin < cut && end >= cut - 1) {
                cut = begin;
                moved = true;
            }
    }
    cut = std::max(cut, keptEnd);
    bytes.resize(static_cast<std::size_t>(cut));
    for (const auto& [begin, end] : gps)
        for (int64_t at = begin; at < std::min(end, cut); ++at)
            if (!Within(at, kept)) bytes[static_cast<std::size_t>(at)] = 0;
}

// Whether a value (or another table) of the block lies in the table of dir, so that the table
// cannot be rewritten in its place. `used` holds every run the directories use, dir's own table
// among them.
bool TableShared(const Directory& dir, const Ranges& used) {
    const int64_t begin = dir.offset, end = dir.offset + dir.TableSize();
    int overlaps = 0;
    for (const auto& [b, e] : used)
        if (b < end && begin < e) ++overlaps;
    return overlaps > 1;
}

// Refuses a result in which a value that was to be kept has changed: in a hostile block a
// value may overlap the header or a table that the edit rewrites.
void CheckKeptValues(const Layout& layout, const unsigned char* block, std::size_t size,
                     const std::vector<unsigned char>& out, const Replaced& replaced) {
    for (int d = 0; d < kDirCount; ++d) {
        const Layout kept = Only(layout, d, [&](uint16_t tag) { return !replaced.Item(d, tag); });
        for (const auto& [begin, end] : DirectoryRanges(kept, block, size, d, false))
            if (static_cast<std::size_t>(end) > out.size() ||
                !std::equal(block + begin, block + end, out.begin() + begin))
                throw Failure(Fault::kOverlap);
    }
}

// Refuses a block whose directory tables overlap, or with a kept pointer that leads past its
// end (or to a table running past it), where the appended bytes would be read as that
// directory: such a block cannot be edited without changing what its pointers name. A pointer
// so far out that no block can reach it is left as it is.
void CheckDanglingPointers(const Layout& layout, const unsigned char* block, std::size_t size,
                           bool gpsChange) {
    static const char* const kNames[kDirCount] = {"IFD0", "Exif", "GPS", "Interoperability",
                                                  "IFD1"};
    const int64_t n = static_cast<int64_t>(size);
    for (int d = kExifIfd; d < kDirCount; ++d) {
        const Directory& dir = layout.dirs[d];
        // Tables that overlap would read differently once one of them is rewritten; the GPS
        // directory is read last and never changes how the others read.
        if (dir.overlapping && d != kGpsIfd) throw Failure(Fault::kBadDirectory, kNames[d]);
        if (!dir.damaged || dir.named < 0 || (d == kGpsIfd && gpsChange)) continue;
        // The entry count, with the bytes past the end read as zeros.
        auto byteAt = [&](int64_t at) -> unsigned char { return at < n ? block[at] : 0; };
        const unsigned char count[2] = {byteAt(dir.named), byteAt(dir.named + 1)};
        const int64_t end = dir.named + tiff::kCountSize +
                            tiff::kEntrySize * tiff::Load16(count, layout.order) +
                            tiff::kNextOffsetSize;
        if (end > n && end <= static_cast<int64_t>(kMaxTiffBlock))
            throw Failure(Fault::kBadDirectory, kNames[d]);
    }
}

std::vector<NewEntry> KeptEntries(const Directory& dir) {
    std::vector<NewEntry> out;
    for (const tiff::Entry& e : dir.entries) out.push_back(KeptEntry(e));
    return out;
}

void Drop(std::vector<NewEntry>& entries, uint16_t tag) {
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [tag](const NewEntry& e) { return e.tag == tag; }),
                  entries.end());
}

// The edited TIFF block, or an empty vector when the changes leave it as it is.
std::vector<unsigned char> EditBlock(const unsigned char* block, std::size_t size,
                                     const JpegHeader& jpeg, const ExifChanges& changes) {
    const Layout layout = ReadLayout(block, size);
    const tiff::ByteOrder order = layout.order;
    const Directory& ifd0 = layout.dirs[kIfd0];
    const Directory& gps = layout.dirs[kGpsIfd];
    const bool gpsChange = changes.gps || (changes.removeGps && ifd0.Find(kTagGpsPointer));

    unsigned char version[4];
    std::memcpy(version, kNewGpsVersion, sizeof version);
    if (const tiff::Entry* v = gps.Find(kTagGpsVersion); v && v->type == tiff::kByte && v->count == 4)
        std::memcpy(version, v->field, sizeof version);
    std::vector<NewEntry> gpsEntries;
    if (changes.gps) gpsEntries = GpsEntries(*changes.gps, version, order);
    Replaced replaced{changes, gpsChange, {}};
    for (const NewEntry& e : gpsEntries) replaced.gpsTags.push_back(e.tag);
    if (changes.gps)
        replaced.gpsTags.insert(replaced.gpsTags.end(), changes.dropGpsTags.begin(),
                                changes.dropGpsTags.end());

    // What the kept items use (the tables but the GPS one when it changes, and the values), to
    // tell whether a table may be rewritten in place and which old GPS bytes are free.
    Ranges used;
    for (int d = 0; d < kDirCount; ++d) {
        const bool gpsTable = d == kGpsIfd && gpsChange;
        const Layout kept =
            gpsTable ? Only(layout, d, [&](uint16_t tag) { return !replaced.Item(d, tag); }) : layout;
        const Ranges r = DirectoryRanges(kept, block, size, d, !gpsTable);
        used.insert(used.end(), r.begin(), r.end());
    }

    std::vector<unsigned char> bytes(block, block + size);
    if (gpsChange && gps.present && !layout.AnyDamaged())
        ReleaseOldGps(layout, replaced, used, bytes);
    CheckDanglingPointers(layout, block, size, gpsChange);
    BlockBuilder b(std::move(bytes), order);

    // The Exif directory, for the comment.
    int64_t exifAt = -1;  // where the Exif directory now is, when that changed
    bool changed = gpsChange;
    if (changes.userComment) {
        const Directory& exif = layout.dirs[kExifIfd];
        const std::string& text = *changes.userComment;
        if (exif.damaged) throw Failure(Fault::kBadDirectory, "Exif");
        if (exif.present && (!text.empty() || exif.Find(kTagUserComment))) {
            std::vector<NewEntry> entries = KeptEntries(exif);
            Drop(entries, kTagUserComment);
            if (!text.empty()) entries.push_back(CommentEntry(text, order));
            const int64_t at = b.Rewrite(exif, std::move(entries), TableShared(exif, used)).offset;
            if (at != exif.offset) exifAt = at;
            changed = true;
        } else if (!exif.present && !text.empty()) {
            std::vector<NewEntry> entries = RequiredExifEntries(jpeg, order);
            entries.push_back(CommentEntry(text, order));
            exifAt = b.Write(std::move(entries), 0).offset;
            changed = true;
        }
    }

    // IFD0: description and pointers.
    std::vector<NewEntry> entries = KeptEntries(ifd0);
    if (changes.imageDescription &&
        (!changes.imageDescription->empty() || ifd0.Find(kTagImageDescription))) {
        Drop(entries, kTagImageDescription);
        if (!changes.imageDescription->empty())
            entries.push_back(DescriptionEntry(*changes.imageDescription));
        changed = true;
    }
    if (exifAt >= 0) {
        Drop(entries, kTagExifPointer);
        entries.push_back(LongEntry(kTagExifPointer, static_cast<uint32_t>(exifAt), order));
    }
    if (gpsChange) Drop(entries, kTagGpsPointer);
    if (changes.gps) entries.push_back(LongEntry(kTagGpsPointer, 0, order));
    if (!changed) return {};

    const WrittenDirectory w = b.Rewrite(ifd0, std::move(entries), TableShared(ifd0, used));
    if (w.offset != ifd0.offset) b.Patch32(kIfd0OffsetField, static_cast<uint32_t>(w.offset));
    if (changes.gps) {
        // The items the fix does not set are kept as they are, their values where they lie.
        for (const tiff::Entry& e : gps.entries)
            if (!replaced.Item(kGpsIfd, e.tag)) gpsEntries.push_back(KeptEntry(e));
        const int64_t at = b.Write(std::move(gpsEntries), 0).offset;
        b.Patch32(w.FieldOffset(kTagGpsPointer), static_cast<uint32_t>(at));
    }
    CheckKeptValues(layout, block, size, b.Bytes(), replaced);
    return std::move(b.Bytes());
}

// A block for a file without one: IFD0 with the required items and the pointers the changes
// need, then the Exif directory for a comment, then the GPS directory.
std::vector<unsigned char> NewBlock(const JpegHeader& jpeg, const ExifChanges& changes) {
    const tiff::ByteOrder order = tiff::ByteOrder::kBigEndian;
    BlockBuilder b({'M', 'M', 0, tiff::kMagic, 0, 0, 0, 0}, order);
    std::vector<NewEntry> entries = RequiredIfd0Entries(jpeg, order);
    const bool comment = changes.userComment && !changes.userComment->empty();
    if (changes.imageDescription && !changes.imageDescription->empty())
        entries.push_back(DescriptionEntry(*changes.imageDescription));
    if (comment) entries.push_back(LongEntry(kTagExifPointer, 0, order));
    if (changes.gps) entries.push_back(LongEntry(kTagGpsPointer, 0, order));
    const WrittenDirectory ifd0 = b.Write(std::move(entries), 0);
    b.Patch32(kIfd0OffsetField, static_cast<uint32_t>(ifd0.offset));
    if (comment) {
        std::vector<NewEntry> exif = RequiredExifEntries(jpeg, order);
        exif.push_back(CommentEntry(*changes.userComment, order));
        const int64_t at = b.Write(std::move(exif), 0).offset;
        b.Patch32(ifd0.FieldOffset(kTagExifPointer), static_cast<uint32_t>(at));
    }
    if (changes.gps) {
        const int64_t at = b.Write(GpsEntries(*changes.gps, kNewGpsVersion, order), 0).offset;
        b.Patch32(ifd0.FieldOffset(kTagGpsPointer), static_cast<uint32_t>(at));
    }
    return std::move(b.Bytes());
}

bool AddsSomething(const ExifChanges& c) {
    return c.gps || (c.imageDescription && !c.imageDescription->empty()) ||
           (c.userComment && !c.userComment->empty());
}

// jpeg with the bytes [from, from + oldSize) replaced by an EXIF segment holding block.
std::vector<unsigned char> Splice(const unsigned char* jpeg, std::size_t size, std::size_t from,
                                  std::size_t oldSize, const std::vector<unsigned char>& block) {
    const std::size_t length = 2 + sizeof kExifId + block.size();
    std::vector<unsigned char> out;
    out.reserve(size - oldSize + 2 + length);
    out.insert(out.end(), jpeg, jpeg + from);
    const unsigned char head[4] = {kMarkerPrefix, kApp1, static_cast<unsigned char>(length >> 8),
                                   static_cast<unsigned char>(length & 0xFF)};
    out.insert(out.end(), head, head + 4);
    out.insert(out.end(), kExifId, kExifId + sizeof kExifId);
    out.insert(out.end(), block.begin(), block.end());
    out.insert(out.end(), jpeg + from + oldSize, jpeg + size);
    return out;
}

}  // namespace
}  // namespace photogeo::edit

namespace photogeo {

Result<std::vector<unsigned char>> EditJpeg(const unsigned char* jpeg, std::size_t size,
                                            const ExifChanges& changes) {
    using namespace edit;
    try {
        const JpegHeader h = ReadJpegHeader(jpeg, size);
        if (h.exif >= 0) {
            const Segment& s = h.segments[static_cast<std::size_t>(h.exif)];
            constexpr std::size_t kBlockStart = 4 + sizeof kExifId;
            const std::vector<unsigned char> block =
                EditBlock(jpeg + s.offset + kBlockStart, s.size - kBlockStart, h, changes);
            if (block.empty()) return std::vector<unsigned char>(jpeg, jpeg + size);
            return Splice(jpeg, size, s.offset, s.size, block);
        }
        if (!AddsSomething(changes)) return std::vector<unsigned char>(jpeg, jpeg + size);
        return Splice(jpeg, size, h.insertOffset, 0, NewBlock(h, changes));
    } catch (const Failure& f) {
        return Error{f.Message(), 0};
    } catch (const std::bad_alloc&) {
        return Error{"out of memory", ENOMEM};
    } catch (const std::exception& e) {
        return Error{e.what(), 0};
    }
}

Result<void> EditJpegFile(const std::string& in, const std::string& out,
                          const ExifChanges& changes, const WriteOptions& options) {
    Result<std::vector<unsigned char>> file = ReadWholeFile(in);
    if (!file) return file.error();
    Result<std::vector<unsigned char>> edited =
        EditJpeg(file.value().data(), file.value().size(), changes);
    if (!edited) return Error{in + ": " + edited.error().message, edited.error().code};
    return WriteFileAtomically(out, edited.value(), options);
}

}  // namespace photogeo
