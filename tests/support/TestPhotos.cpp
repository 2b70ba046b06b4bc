// Test photos with the hard cases of metadata writing (see TestPhotos.h).
#include "support/TestPhotos.h"

#include <algorithm>
#include <stdexcept>

#include "support/Files.h"
#include "support/TiffBuilder.h"

namespace testsupport {
namespace {

using exiftest::Append;
using exiftest::AppSegment;
using exiftest::TiffBuilder;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A maker note in the Canon directory format: a bare directory whose value offsets count from
// the start of the TIFF block, so the note reads right only where it was placed (at base).
Bytes CanonMakerNote(bool intel, uint32_t base) {
    TiffBuilder note(intel);
    const int d = note.AddDir(false);
    note.Short(d, 0x0001, {16, 2, 0, 3, 0, 1, 0, 0});
    note.Ascii(d, 0x0006, "IMG:TEST JPEG ONE");
    note.Ascii(d, 0x0007, "Firmware 1.02");
    Bytes owner = Text("Hanako Test");
    owner.resize(32, 0);
    note.Raw(d, 0x0009, 2, 32, owner);
    return note.Bare(d, base);
}

Bytes Block(const PhotoRecipe& r, size_t padding, uint32_t makerNoteAt) {
    TiffBuilder b(!r.bigEndian);
    const int ifd0 = b.Ifd0();
    b.Ascii(ifd0, 0x010F, r.makerNote ? "Canon" : "Testmaker");
    b.Ascii(ifd0, 0x0110, r.makerNote ? "Canon EOS Test" : "Model T");
    b.Rational(ifd0, 0x011A, {{72, 1}});
    b.Rational(ifd0, 0x011B, {{72, 1}});
    b.Short(ifd0, 0x0128, {2});
    b.Ascii(ifd0, 0x0132, "2024:05:06 07:08:09");
    b.Short(ifd0, 0x0213, {1});
    const int exif = b.AddDir(false);
    b.Pointer(ifd0, 0x8769, exif);
    b.Undefined(exif, 0x9000, Text("0231"));
    b.Ascii(exif, 0x9003, r.unknownDate ? "0000:00:00 00:00:00" : "2024:05:06 07:08:09");
    b.Rational(exif, 0x920A, {{50, 1}});
    if (r.makerNote) {
        Bytes note = CanonMakerNote(!r.bigEndian, makerNoteAt);
        b.Undefined(exif, 0x927C, note);
    }
    if (r.unicodeComment) {
        Bytes comment = Text(std::string("UNICODE") + '\0');
        for (char16_t c : std::u16string(u"Gr\u00fc\u00dfe \u65e5\u672c"))
            Append(comment, b.U16(c));
        b.Undefined(exif, 0x9286, comment);
    }
    b.Short(exif, 0xA001, {1});
    if (r.gps) {
        const int gps = b.AddDir(false);
        b.Pointer(ifd0, 0x8825, gps);
        b.Byte(gps, 0x0000, {2, 2, 0, 0});
        b.Ascii(gps, 0x0001, "N");
        b.Rational(gps, 0x0002, {{35, 1}, {39, 1}, {3090, 100}});
        b.Ascii(gps, 0x0003, "E");
        b.Rational(gps, 0x0004, {{139, 1}, {44, 1}, {4350, 100}});
        b.Byte(gps, 0x0005, {1});
        b.Rational(gps, 0x0006, {{12, 1}});
        b.Ascii(gps, 0x0008, "07");
        b.Ascii(gps, 0x000C, "K");
        b.Rational(gps, 0x000D, {{5, 1}});
        b.Ascii(gps, 0x000E, "T");
        b.Rational(gps, 0x000F, {{27050, 100}});
        b.Undefined(gps, 0x001B, Text(std::string("ASCII\0\0\0GPS", 11)));
    }
    if (padding) b.Undefined(ifd0, 0xC7F1, Bytes(padding, 0x5A));
    if (r.thumbnail) {
        const int ifd1 = b.Ifd1();
        b.Short(ifd1, 0x0103, {6});
        const Bytes thumbnail = PlainPhoto();
        b.BlobOffsets(ifd1, 0x0201, {b.Blob(thumbnail)});
        b.Long(ifd1, 0x0202, {static_cast<uint32_t>(thumbnail.size())});
    }
    return b.Build();
}

}  // namespace

PhotoRecipe With(std::initializer_list<bool PhotoRecipe::*> flags, std::size_t padTo) {
    PhotoRecipe r;
    for (bool PhotoRecipe::*flag : flags) r.*flag = true;
    r.padTo = padTo;
    return r;
}

Bytes MakePhoto(const PhotoRecipe& r, const Bytes& base) {
    if (base.size() < 6 || base[2] != 0xFF || base[3] != 0xE0) throw std::invalid_argument("base");
    const size_t afterApp0 = 4 + (static_cast<size_t>(base[4]) << 8 | base[5]);
    Bytes out(base.begin(), base.begin() + afterApp0);
    if (r.xmpFirst)
        Append(out, AppSegment(0xE1, Text(std::string("http://ns.adobe.com/xap/1.0/") + '\0' +
                                          "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>")));
    if (r.exif) {
        // The maker note's offsets depend on where it lands: find that with a marked first
        // build (the layout does not depend on the values), then build it for real.
        const size_t plain = Block(r, 0, 0).size();
        const size_t padding = r.padTo > plain + 12 ? r.padTo - plain - 12 : 0;
        Bytes block = Block(r, padding, 0);
        uint32_t noteAt = 0;
        if (r.makerNote) {
            const Bytes probe = CanonMakerNote(!r.bigEndian, 0);
            noteAt = static_cast<uint32_t>(
                std::search(block.begin(), block.end(), probe.begin(), probe.end()) -
                block.begin());
        }
        block = Block(r, padding, noteAt);
        Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
        Append(payload, block);
        Append(out, AppSegment(0xE1, payload));
    }
    if (r.iccWithExifBytes) {
        // The segment's header (name, chunk 1 of 1), then a 132-byte profile (its size in its
        // first four bytes, big-endian) holding at 100 what looks like an EXIF segment header.
        Bytes icc = Text(std::string("ICC_PROFILE\0\1\1", 14));
        icc.resize(14 + 132, 0);
        icc[14 + 3] = 132;
        const unsigned char fake[] = {0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0};
        std::copy(std::begin(fake), std::end(fake), icc.begin() + 14 + 100);
        Append(out, AppSegment(0xE2, icc));
    }
    out.insert(out.end(), base.begin() + afterApp0, base.end());
    return out;
}

const std::vector<NamedRecipe>& HardCases() {
    using R = PhotoRecipe;
    static const std::vector<NamedRecipe> cases = {
        {"little-endian, maker note, thumbnail, GPS, unknown date",
         With({&R::makerNote, &R::thumbnail, &R::gps, &R::unknownDate})},
        {"big-endian, maker note, UNICODE comment, XMP first, ICC",
         With({&R::bigEndian, &R::makerNote, &R::unicodeComment, &R::xmpFirst,
               &R::iccWithExifBytes})},
        {"no EXIF", PhotoRecipe{false}},
        {"big-endian block near the limit", With({&R::bigEndian, &R::gps}, 64900)},
    };
    return cases;
}

Bytes PlainPhoto() {
    const Bytes photo = ReadFile(PHOTOGEO_TEST_DATA "/../../samples/no-exif.jpg");
    if (photo.empty()) throw std::runtime_error("samples/no-exif.jpg missing");
    return photo;
}

}  // namespace testsupport
