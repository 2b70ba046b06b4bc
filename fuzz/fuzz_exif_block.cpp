// Fuzz target for CExif on arbitrary bytes as an EXIF segment's TIFF block; every buffer handed
// over is a heap copy of exactly the block's size, so AddressSanitizer sees any access outside.
//
// The whole input goes through ReadExif and ReadQuickExif (thumbnail or not by its length), and
// the full read's table (also after a read that failed part-way) is deep-copied. Then a record
// and the other RewriteData arguments are taken from the input's last bytes (FuzzRecord.h); the
// rest is read (one input in four skips the read: a directory built from nothing), the record is
// applied, OverwriteGPS patches a copy of the block and WriteExif lays the directory out again.
//
// Checks: only EBufferError leaves a reader or the patch; a completed read ends at the block's
// end; the copy holds the same entries; the written block fits in GetTotalSize() bytes. For a
// well-formed directory (no tag twice in one directory, every directory pointer 4 bytes) also:
// the written block reads back; each directory comes back with the same entries in order and the
// same bytes (directory pointers and thumbnail offsets aside), with its thumbnail; the texts set
// or cleared stay so.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FuzzRecord.h"

namespace {

constexpr int kTagExifPointer = 34665;
constexpr int kTagGpsPointer = 34853;
constexpr int kTagInteropPointer = 40965;

// Index of the live entry with that directory and tag, or -1.
int FindEntry(const CExif& exif, int parent, int tag) {
    for (size_t i = 0; i < exif.m_aEntry.size(); ++i) {
        const SExifEntry& e = exif.m_aEntry[i];
        if (e.nParent == parent && e.nTag == tag) return static_cast<int>(i);
    }
    return -1;
}

// The entries that point to the Exif, GPS and Interoperability directories the writer reaches
// (their numbers are the directories'), -1 for those it does not write.
std::array<int, 3> Pointers(const CExif& exif) {
    const int ex = FindEntry(exif, DIR_IFD0, kTagExifPointer);
    return {ex, FindEntry(exif, DIR_IFD0, kTagGpsPointer),
            ex >= 0 ? FindEntry(exif, ex, kTagInteropPointer) : -1};
}

bool WellFormed(const CExif& exif) {
    std::set<std::pair<int, int>> seen;
    for (const SExifEntry& e : exif.m_aEntry) {
        if (e.nParent == DIR_DELETED) continue;
        if (!seen.insert({e.nParent, e.nTag}).second) return false;
    }
    for (int pointer : Pointers(exif))
        if (pointer >= 0 && exif.m_aEntry[pointer].nSize != 4) return false;
    return true;
}

// The entries of a directory in order: tag, type, count, size and, unless the tag is in skip
// (whose values are offsets), the value bytes.
std::vector<std::string> Directory(const CExif& exif, int parent, std::initializer_list<int> skip) {
    std::vector<std::string> list;
    for (const SExifEntry& e : exif.m_aEntry) {
        if (parent == -1 || e.nParent != parent) continue;
        std::string s = std::to_string(e.nTag) + " " + std::to_string(e.nType) + " " +
                        std::to_string(e.nCount) + " " + std::to_string(e.nSize) + ":";
        if (std::find(skip.begin(), skip.end(), e.nTag) == skip.end() && e.nSize > 0)
            s.append(reinterpret_cast<const char*>(e.pData), e.nSize);
        list.push_back(s);
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    CExif whole, quick;
    for (CExif* reader : {&whole, &quick}) {
        std::vector<unsigned char> block(data, data + size);
        SExifProperty prop{};
        ReadBlock(*reader, block.data(), static_cast<int>(size), prop,
                  reader == &quick ? static_cast<int>(size & 1) : -1);
    }
    CExif copy;
    copy = whole;
    Require(copy.m_aEntry.size() == whole.m_aEntry.size() &&
            copy.GetTotalSize() == whole.GetTotalSize());
    for (size_t i = 0; i < whole.m_aEntry.size(); ++i) {
        const SExifEntry& x = whole.m_aEntry[i];
        const SExifEntry& y = copy.m_aEntry[i];
        Require(x.nParent == y.nParent && x.nTag == y.nTag && x.nSize == y.nSize);
        Require(x.nParent == DIR_DELETED || x.nSize <= 0 ||
                std::memcmp(x.pData, y.pData, x.nSize) == 0);
    }

    FuzzedDataProvider fdp(data, size);
    const bool from_nothing = fdp.ConsumeIntegralInRange<int>(0, 3) == 0;
    const FuzzRewrite rewrite = DrawRewrite(fdp);
    std::vector<unsigned char> block = fdp.ConsumeRemainingBytes<unsigned char>();
    CExif a;
    SExifProperty first{};
    if (!from_nothing) ReadBlock(a, block.data(), static_cast<int>(block.size()), first);
    // A tag twice in the block is rewritten or deleted only once (the first), so the check
    // of what comes back needs a well-formed directory before the rewrite as well as after.
    const bool read_well_formed = WellFormed(a);
    a.RewriteData(rewrite.prop, rewrite.time, rewrite.name.c_str(), rewrite.bDate,
                  rewrite.bWriteGPS);

    std::vector<unsigned char> patched = block;
    CInBitStream stream(patched.data(), static_cast<int>(patched.size()));
    try {
        a.OverwriteGPS(&stream);
    } catch (const EBufferError&) {
    }

    const int capacity = a.GetTotalSize();
    Require(capacity > 0);
    std::vector<unsigned char> out(static_cast<size_t>(capacity));
    const int written = a.WriteExif(out.data());
    Require(written > 0 && written <= capacity);

    if (read_well_formed && WellFormed(a)) {
        std::vector<unsigned char> copy(out.begin(), out.begin() + written);
        CExif b;
        SExifProperty back{};
        Require(ReadBlock(b, copy.data(), written, back));
        Require((b.m_bIntel != 0) == (a.m_bIntel != 0));

        const auto [exifA, gpsA, interopA] = Pointers(a);
        const auto [exifB, gpsB, interopB] = Pointers(b);
        Require(Directory(a, DIR_IFD0, {kTagExifPointer, kTagGpsPointer}) ==
                Directory(b, DIR_IFD0, {kTagExifPointer, kTagGpsPointer}));
        Require(Directory(a, DIR_IFD1, {273, 513}) == Directory(b, DIR_IFD1, {273, 513}));
        Require(Directory(a, exifA, {kTagInteropPointer}) ==
                Directory(b, exifB, {kTagInteropPointer}));
        Require(Directory(a, gpsA, {}) == Directory(b, gpsB, {}));
        Require(Directory(a, interopA, {}) == Directory(b, interopB, {}));
        // A JPEG thumbnail comes back when the directory still records its compression, offset
        // and length (the reader also takes them from entries whose own value it drops).
        const int compression = FindEntry(a, DIR_IFD1, 259);
        const int offset = FindEntry(a, DIR_IFD1, 513);
        const int length = FindEntry(a, DIR_IFD1, 514);
        if (a.m_pThumbData != nullptr && a.m_nThumbCompression == 6 && compression >= 0 &&
            compression < offset && compression < length && a.m_aEntry[compression].nSize >= 2 &&
            a.BYTEtoLONG(a.m_aEntry[compression].pData, 2) == 6 && offset >= 0 &&
            a.m_aEntry[offset].nSize == 4 && length >= 0 && a.m_aEntry[length].nSize == 4 &&
            a.BYTEtoLONG(a.m_aEntry[length].pData, 4) == static_cast<uint32_t>(a.m_nThumbSize)) {
            Require(b.m_nThumbSize == a.m_nThumbSize && b.m_pThumbData != nullptr);
            Require(std::memcmp(a.m_pThumbData, b.m_pThumbData, a.m_nThumbSize) == 0);
        }
        // What RewriteData wrote comes back (the values themselves are the unit tests' job).
        Require(back.bImageDescription == (rewrite.prop.bImageDescription ? 1 : 0));
        Require(back.bUserComment == (rewrite.prop.bUserComment ? 1 : 0));
        Require(back.bSoftware == (rewrite.prop.bSoftware ? 1 : 0));
        if (rewrite.prop.bUserComment) Require(back.strUserComment == rewrite.prop.strUserComment);
    }
    return 0;
}
