// Fuzz target for the EXIF write path: read arbitrary bytes as a TIFF block, apply a property
// record drawn from the input (RewriteData), lay the directory out again (WriteExif) and read
// the result back.
//
// Input: the record and the RewriteData arguments are taken from the input's last bytes (see
// FuzzRecord.h), the rest is the TIFF block. One input in four skips the first read, so that
// RewriteData builds its directory from nothing.
//
// Checks, always: the written block fits in GetTotalSize() bytes (the buffer has exactly that
// size, so AddressSanitizer catches a write past it).
// When the directory is well formed (no tag twice in one directory, and every directory
// pointer a 4-byte value), also: the written block reads back without error; every directory
// comes back with the same entries in the same order, with the same bytes (directory pointers
// and thumbnail offsets aside); and every item that RewriteData wrote comes back in the record
// as the record gave it (positions to the thousandth of a minute, altitude to the metre,
// bearing to the hundredth of a degree), and every item it deleted stays absent.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "FuzzRecord.h"
#include "photogeo/Exif.h"

namespace {

constexpr int kTagExifPointer = 34665;
constexpr int kTagGpsPointer = 34853;
constexpr int kTagInteropPointer = 40965;

// Stops the run on a failed check, naming the check's line in the fuzzer's report.
void Require(bool condition, int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_exif_roundtrip.cpp:%d: check failed\n", line);
    std::abort();
}

// Index of the live entry with that directory and tag, or -1.
int FindEntry(const CExif& exif, int parent, int tag) {
    for (size_t i = 0; i < exif.m_aEntry.size(); ++i) {
        const SExifEntry& e = exif.m_aEntry[i];
        if (e.nParent == parent && e.nTag == tag) return static_cast<int>(i);
    }
    return -1;
}

// True when the live entry of that directory and tag has the given type and count.
bool Shaped(const CExif& exif, int parent, int tag, int type, int count) {
    const int index = FindEntry(exif, parent, tag);
    return index >= 0 && exif.m_aEntry[index].nType == type && exif.m_aEntry[index].nCount == count;
}

// The directory numbers of the Exif, GPS and Interoperability directories that the writer
// reaches, or -1 for those it does not write.
struct Directories {
    int exif = -1;
    int gps = -1;
    int interop = -1;
};

Directories WrittenDirectories(const CExif& exif) {
    Directories d;
    d.exif = FindEntry(exif, DIR_IFD0, kTagExifPointer);
    d.gps = FindEntry(exif, DIR_IFD0, kTagGpsPointer);
    if (d.exif >= 0) d.interop = FindEntry(exif, d.exif, kTagInteropPointer);
    return d;
}

bool WellFormed(const CExif& exif) {
    std::set<std::pair<int, int>> seen;
    for (const SExifEntry& e : exif.m_aEntry) {
        if (e.nParent == DIR_DELETED) continue;
        if (!seen.insert({e.nParent, e.nTag}).second) return false;
    }
    const Directories d = WrittenDirectories(exif);
    for (int pointer : {d.exif, d.gps, d.interop}) {
        if (pointer >= 0 && exif.m_aEntry[pointer].nSize != 4) return false;
    }
    return true;
}

std::vector<const SExifEntry*> Entries(const CExif& exif, int parent) {
    std::vector<const SExifEntry*> list;
    if (parent == -1) return list;
    for (const SExifEntry& e : exif.m_aEntry) {
        if (e.nParent == parent) list.push_back(&e);
    }
    return list;
}

// Same entries in the same order; the values of the tags in skip may differ (offsets).
void RequireSameDirectory(const CExif& a, int parent_a, const CExif& b, int parent_b,
                          std::initializer_list<int> skip) {
    const auto list_a = Entries(a, parent_a);
    const auto list_b = Entries(b, parent_b);
    Require(list_a.size() == list_b.size());
    for (size_t i = 0; i < list_a.size(); ++i) {
        const SExifEntry& x = *list_a[i];
        const SExifEntry& y = *list_b[i];
        Require(x.nTag == y.nTag && x.nType == y.nType && x.nCount == y.nCount &&
                x.nSize == y.nSize);
        if (std::find(skip.begin(), skip.end(), x.nTag) != skip.end()) continue;
        Require(x.nSize == 0 || std::memcmp(x.pData, y.pData, x.nSize) == 0);
    }
}

// The degrees that the reader makes of what RewriteData writes for a coordinate: whole
// degrees, minutes in thousandths (which may reach 60000), seconds 0.
double WrittenCoordinate(double value) {
    const double a = std::fabs(value);
    const int32_t d = static_cast<int32_t>(a);
    const int32_t m = static_cast<int32_t>((a - d) * 60000.0 + 0.5);
    const double back =
        static_cast<double>(static_cast<uint32_t>(d)) / 1.0 +
        static_cast<double>(static_cast<uint32_t>(m)) / 1000.0 * 0.016666666666666666;
    return value < 0.0 ? -back : back;
}

void RequireRecord(const FuzzRewrite& rw, const CExif& b, const SExifProperty& back,
                   bool built_from_nothing) {
    const SExifProperty& p = rw.prop;
    if (rw.bWriteGPS && b.m_nGPSEntry >= 0) {
        // Entries that the block already had keep their type and count, and a value that does
        // not fit them is clipped: only entries of the usual shape give a predictable value.
        const int gps = b.m_nGPSEntry;
        const bool position_shaped = Shaped(b, gps, 1, 2, 2) && Shaped(b, gps, 2, 5, 3) &&
                                     Shaped(b, gps, 3, 2, 2) && Shaped(b, gps, 4, 5, 3);
        const bool altitude_shaped = Shaped(b, gps, 5, 1, 1) && Shaped(b, gps, 6, 5, 1);
        const bool direction_shaped = Shaped(b, gps, 16, 2, 2) && Shaped(b, gps, 17, 5, 1);
        if (p.bGPSPosition && position_shaped) {
            Require(back.bGPSPosition == 1);
            Require(std::fabs(back.dGPSLatitude - WrittenCoordinate(p.dGPSLatitude)) < 1e-9);
            Require(std::fabs(back.dGPSLongitude - WrittenCoordinate(p.dGPSLongitude)) < 1e-9);
        } else if (!p.bGPSPosition) {
            Require(back.bGPSPosition == 0);
        }
        if (p.bGPSAltitude && altitude_shaped) {
            Require(back.bGPSAltitude == 1);
            const double expected = p.dGPSAltitude > 0.0 ? std::trunc(p.dGPSAltitude) : 0.0;
            Require(back.dGPSAltitude == expected);
        } else if (!p.bGPSAltitude) {
            Require(back.bGPSAltitude == 0);
        }
        // A datum of up to three characters sits in the value field, where the reader does not
        // look for it.
        if (p.bGPSMapDatum && std::strlen(p.szGPSMapDatum) >= 4) {
            Require(back.bGPSMapDatum == 1);
            Require(std::strcmp(back.szGPSMapDatum, p.szGPSMapDatum) == 0);
        } else if (!p.bGPSMapDatum) {
            Require(back.bGPSMapDatum == 0);
        }
        if (p.bGPSImgDirection && direction_shaped) {
            Require(back.bGPSImgDirection == 1);
            const uint32_t hundredths = static_cast<uint32_t>(p.dGPSImgDirection * 100.0);
            Require(back.dGPSImgDirection == static_cast<double>(hundredths) / 100.0);
            Require(back.szGPSImgDirectionRef[0] == (p.szGPSImgDirectionRef[0] == 'M' ? 'M' : 'T'));
        } else if (!p.bGPSImgDirection) {
            Require(back.bGPSImgDirection == 0);
        }
    }

    const bool has_p = p.bCopyrightPhotographer && !p.strCopyrightPhotographer.IsEmpty();
    const bool has_e = p.bCopyrightEditor && !p.strCopyrightEditor.IsEmpty();
    const bool p_listed = has_p && p.strCopyrightPhotographer != " ";
    Require(back.bCopyrightPhotographer == (p_listed ? 1 : 0));
    if (p_listed) Require(back.strCopyrightPhotographer == p.strCopyrightPhotographer);
    Require(back.bCopyrightEditor == (has_e ? 1 : 0));
    if (has_e) Require(back.strCopyrightEditor == p.strCopyrightEditor);

    Require(back.bSoftware == (p.bSoftware ? 1 : 0));
    if (p.bSoftware) Require(back.strSoftware == p.strSoftware);
    Require(back.bImageDescription == (p.bImageDescription ? 1 : 0));
    if (p.bImageDescription) Require(back.strImageDescription == p.strImageDescription);
    Require(back.bUserComment == (p.bUserComment ? 1 : 0));
    if (p.bUserComment) Require(back.strUserComment == p.strUserComment);
    Require(back.bDateTimeOriginal == (p.bDateTimeOriginal ? 1 : 0));
    if (p.bDateTimeOriginal) Require(back.tmDateTimeOriginal == p.tmDateTimeOriginal);

    const Directories d = WrittenDirectories(b);
    for (int tag : {40962, 40963}) {
        const bool set = tag == 40962 ? p.bPixelXDimension : p.bPixelYDimension;
        const int value = tag == 40962 ? p.nPixelXDimension : p.nPixelYDimension;
        const int got = tag == 40962 ? back.nPixelXDimension : back.nPixelYDimension;
        const int flag = tag == 40962 ? back.bPixelXDimension : back.bPixelYDimension;
        Require(flag == (set ? 1 : 0));
        if (!set) continue;
        const int index = FindEntry(b, d.exif, tag);
        Require(index >= 0);
        // An entry that the block gave another type keeps it; the value is then clipped to
        // whatever size that type gives, so only SHORT and LONG entries are predictable.
        const SExifEntry& e = b.m_aEntry[index];
        if (e.nCount != 1 || (e.nType != 3 && e.nType != 4)) continue;
        Require(got == (e.nType == 3 ? (value & 0xFFFF) : value));
    }

    const int date = FindEntry(b, DIR_IFD0, 306);
    if ((built_from_nothing || rw.bDate) && date >= 0 && b.m_aEntry[date].nType == 2 &&
        b.m_aEntry[date].nCount == 20) {
        Require(back.bDateTime == 1 && back.tmDateTime == rw.time);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "JST-9", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    FuzzedDataProvider fdp(data, size);
    const bool from_nothing = fdp.ConsumeIntegralInRange<int>(0, 3) == 0;
    const FuzzRewrite rewrite = DrawRewrite(fdp);
    std::vector<unsigned char> block = fdp.ConsumeRemainingBytes<unsigned char>();

    CExif a;
    if (!from_nothing) {
        SExifProperty first{};
        ReadBlock(a, block.data(), static_cast<int>(block.size()), first);
    }
    // A tag twice in the block is rewritten or deleted only once (the first), so the check
    // of what comes back needs a well-formed directory before the rewrite as well as after.
    const bool read_well_formed = WellFormed(a);
    a.RewriteData(rewrite.prop, rewrite.time, rewrite.name.c_str(), rewrite.bDate,
                  rewrite.bWriteGPS);

    const int capacity = a.GetTotalSize();
    Require(capacity > 0);
    unsigned char* out = static_cast<unsigned char*>(std::malloc(capacity));
    const int written = a.WriteExif(out);
    Require(written > 0 && written <= capacity);

    if (read_well_formed && WellFormed(a)) {
        std::vector<unsigned char> copy(out, out + written);
        CExif b;
        SExifProperty back{};
        Require(ReadBlock(b, copy.data(), written, back));
        Require((b.m_bIntel != 0) == (a.m_bIntel != 0));

        const Directories da = WrittenDirectories(a);
        const Directories db = WrittenDirectories(b);
        RequireSameDirectory(a, DIR_IFD0, b, DIR_IFD0, {kTagExifPointer, kTagGpsPointer});
        RequireSameDirectory(a, DIR_IFD1, b, DIR_IFD1, {273, 513});
        RequireSameDirectory(a, da.exif, b, db.exif, {kTagInteropPointer});
        RequireSameDirectory(a, da.gps, b, db.gps, {});
        RequireSameDirectory(a, da.interop, b, db.interop, {});
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
        RequireRecord(rewrite, b, back, from_nothing);
    }
    std::free(out);
    return 0;
}
