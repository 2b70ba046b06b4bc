// The marker structure of a JPEG file from SOI to its first frame header, as the lossless editor
// and LocateExif need it: where each segment lies, which APP1 is the EXIF block, where a new
// EXIF segment goes, and the JFIF density a new block takes its resolution from. Segments are
// walked by their length fields, so bytes inside a segment (an ICC profile holding FF E1, say)
// are never taken for markers. Also the subsystem's error texts.
#include <cstring>

#include "edit/EditInternal.h"

namespace photogeo::edit {
namespace {

const char* const kFaultTexts[] = {
    "not a JPEG file (it does not start with SOI)",
    "a JPEG segment runs past the end of the file",
    "the JPEG data ends before a frame header",
    "the EXIF block's TIFF header is not valid",
    "an EXIF directory lies outside the block",
    "the EXIF segment would exceed its limit of 65,533 bytes",
    "the text is not valid UTF-8",
    "the text holds a NUL or a character outside printable ASCII",
    "a GPS value is out of range",
    "a value of the EXIF block overlaps its header or a directory the edit must change",
};
static_assert(sizeof kFaultTexts / sizeof kFaultTexts[0] == static_cast<int>(Fault::kOverlap) + 1,
              "one text per fault");

// Markers that stand alone, without a length field: TEM and the restart markers.
bool StandsAlone(unsigned char marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// A start-of-frame marker: C0-CF except DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameHeader(unsigned char marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr char kJfifId[5] = {'J', 'F', 'I', 'F', 0};
// JFIF APP0 payload: identifier (5), version (2), units (1), X density (2), Y density (2), ...
constexpr std::size_t kJfifUnits = 7;
constexpr std::size_t kJfifMinPayload = 12;

unsigned BigEndian16(const unsigned char* p) {
    return static_cast<unsigned>(p[0] << 8 | p[1]);
}

}  // namespace

std::string Failure::Message() const {
    std::string text = kFaultTexts[static_cast<int>(m_fault)];
    if (!m_detail.empty()) text += ": " + m_detail;
    return text;
}

JpegHeader ReadJpegHeader(const unsigned char* jpeg, std::size_t size) {
    if (size < 2 || jpeg[0] != kMarkerPrefix || jpeg[1] != kSoi) throw Failure(Fault::kNotJpeg);
    JpegHeader h;
    h.segments.push_back({kSoi, 0, 2});
    std::size_t pos = 2;
    bool leadingApp0 = true;
    h.insertOffset = 2;
    for (;;) {
        // Bytes between segments that are not a marker, and fill bytes before one, are passed
        // over (they stay in the file as they are).
        while (pos < size && jpeg[pos] != kMarkerPrefix) ++pos;
        while (pos + 1 < size && jpeg[pos + 1] == kMarkerPrefix) ++pos;
        if (pos + 1 >= size) throw Failure(Fault::kNoFrame);
        const unsigned char marker = jpeg[pos + 1];
        if (IsFrameHeader(marker)) {
            h.frameOffset = pos;
            // Length (2), sample precision (1), height (2), width (2), components (1).
            if (pos + 10 <= size) {
                h.height = BigEndian16(jpeg + pos + 5);
                h.width = BigEndian16(jpeg + pos + 7);
                h.components = jpeg[pos + 9];
            }
            return h;
        }
        if (marker == kEoi || marker == kSos) throw Failure(Fault::kNoFrame);
        if (marker == 0 || StandsAlone(marker)) {
            pos += 2;
            continue;
        }
        if (pos + 4 > size) throw Failure(Fault::kSegmentOverrun);
        const std::size_t length = BigEndian16(jpeg + pos + 2);
        if (length < 2 || pos + 2 + length > size)
            throw Failure(Fault::kSegmentOverrun, "at offset " + std::to_string(pos));
        const unsigned char* payload = jpeg + pos + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == kApp1 && h.exif < 0 && payloadSize >= sizeof kExifId &&
            std::memcmp(payload, kExifId, sizeof kExifId) == 0)
            h.exif = static_cast<int>(h.segments.size());
        if (marker == kApp0 && payloadSize >= kJfifMinPayload &&
            std::memcmp(payload, kJfifId, sizeof kJfifId) == 0) {
            h.densityUnits = payload[kJfifUnits];
            h.xDensity = BigEndian16(payload + kJfifUnits + 1);
            h.yDensity = BigEndian16(payload + kJfifUnits + 3);
        }
        h.segments.push_back({marker, pos, 2 + length});
        pos += 2 + length;
        leadingApp0 = leadingApp0 && marker == kApp0;
        if (leadingApp0) h.insertOffset = pos;
    }
}

}  // namespace photogeo::edit
