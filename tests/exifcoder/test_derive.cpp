// Dates and bearings derived from the record: the magnetic variation at the photograph's place
// (the Japan approximation gives a value independent of date and height), the true bearing of
// magnetic and true directions, and AnalysisDate's stamping of the two date texts of a block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "photogeo/ExifIfdCoder.h"

namespace {

// The Japan model's variation at 35 N 139 E: about 6.8 degrees west.
const double kVariationAt35N139E = -6.799316666666666;

TEST(Bearing, VariationNeedsAPosition) {
    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
    EXPECT_EQ(coder.GetMagVar(), 0.0);
    p.bGPSPosition = 1;
    p.dGPSLatitude = 35.0;
    p.dGPSLongitude = 139.0;
    EXPECT_NEAR(coder.GetMagVar(), kVariationAt35N139E, 1e-9);
    // Inside the Japan box neither date nor altitude matters.
    p.bDateTimeOriginal = p.bGPSAltitude = 1;
    p.tmDateTimeOriginal = CTime(1995, 7, 1, 12, 0, 0);
    p.dGPSAltitude = 3000.0;
    EXPECT_NEAR(coder.GetMagVar(), kVariationAt35N139E, 1e-9);
}

TEST(Bearing, TrueDirectionCorrectsOnlyMagneticBearings) {
    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
    p.dGPSImgDirection = 355.0;
    p.szGPSImgDirectionRef[0] = 'M';
    p.bGPSImgDirectionRef = 1;
    EXPECT_EQ(coder.GetTrueDir(), 0.0);  // no direction
    p.bGPSImgDirection = 1;
    // No position: a variation of 0, but a stored 360 or more is still reduced.
    EXPECT_EQ(coder.GetTrueDir(), 355.0);
    p.dGPSImgDirection = 365.0;
    EXPECT_EQ(coder.GetTrueDir(), 5.0);
    p.dGPSImgDirection = 355.0;
    p.bGPSPosition = 1;
    p.dGPSLatitude = 35.0;
    p.dGPSLongitude = 139.0;
    EXPECT_NEAR(coder.GetTrueDir(), 355.0 - kVariationAt35N139E - 360.0, 1e-9);
    p.szGPSImgDirectionRef[0] = 'T';
    EXPECT_EQ(coder.GetTrueDir(), 355.0);
    p.szGPSImgDirectionRef[0] = 'M';
    p.bGPSImgDirectionRef = 0;
    EXPECT_EQ(coder.GetTrueDir(), 355.0);
    // Far from Japan the world model applies: still a plain subtraction of the variation.
    p.bGPSImgDirectionRef = 1;
    p.dGPSLatitude = 51.5;
    p.dGPSLongitude = -0.1;
    p.bDateTimeOriginal = 1;
    p.tmDateTimeOriginal = CTime(2001, 6, 1, 0, 0, 0);
    double variation = coder.GetMagVar();
    EXPECT_LT(variation, 0.0);
    EXPECT_GT(variation, -5.0);
    EXPECT_NEAR(coder.GetTrueDir(), 355.0 - variation, 1e-12);
}

// Exposes the protected date stamp and the reader it works on.
class Probe : public CExifIfdCoder {
public:
    using CExifIfdCoder::AnalysisDate;
    using CExifIfdCoder::m_pStream;
};

void Put16(std::vector<unsigned char>& b, size_t at, unsigned v, bool intel) {
    b[at + (intel ? 0 : 1)] = static_cast<unsigned char>(v & 0xFF);
    b[at + (intel ? 1 : 0)] = static_cast<unsigned char>(v >> 8);
}

void Put32(std::vector<unsigned char>& b, size_t at, unsigned v, bool intel) {
    for (int i = 0; i < 4; ++i)
        b[at + (intel ? i : 3 - i)] = static_cast<unsigned char>(v >> (8 * i));
}

void PutEntry(std::vector<unsigned char>& b, size_t at, unsigned tag, unsigned type, unsigned count,
              unsigned value, bool intel) {
    Put16(b, at, tag, intel);
    Put16(b, at + 2, type, intel);
    Put32(b, at + 4, count, intel);
    Put32(b, at + 8, value, intel);
}

// A block with DateTime at 0xA0 in IFD0 and, in the Exif directory at 0x100,
// DateTimeOriginal at 0x200, DateTimeDigitized at 0x240 and one more DateTimeOriginal whose
// text would run past the block's end.
std::vector<unsigned char> DateBlock(bool intel) {
    std::vector<unsigned char> b(0x300, 0xEE);
    b[0] = b[1] = intel ? 'I' : 'M';
    Put16(b, 2, 42, intel);
    Put32(b, 4, 8, intel);
    Put16(b, 8, 2, intel);
    PutEntry(b, 10, 0x0132, 2, 20, 0xA0, intel);
    PutEntry(b, 22, 0x8769, 4, 1, 0x100, intel);
    Put32(b, 34, 0, intel);
    Put16(b, 0x100, 3, intel);
    PutEntry(b, 0x102, 0x9003, 2, 20, 0x200, intel);
    PutEntry(b, 0x10E, 0x9004, 2, 20, 0x240, intel);
    PutEntry(b, 0x11A, 0x9003, 2, 20, 0x2F0, intel);
    return b;
}

TEST(AnalysisDate, StampsDateTimeAndDateTimeOriginalOnly) {
    for (bool intel : {false, true}) {
        std::vector<unsigned char> block = DateBlock(intel), before = block;
        Probe coder;
        coder.m_Property.tmDateTimeOriginal = CTime(2008, 2, 28, 10, 15, 0);
        coder.m_pStream.reset(new CInBitStream(block.data(), static_cast<int>(block.size())));
        coder.AnalysisDate(0x180);
        EXPECT_EQ(coder.m_pStream->GetPosition(), block.data() + 0x180);
        const char text[] = "2008:02:28 10:15:00";
        for (size_t at : {size_t(0xA0), size_t(0x200)}) {
            EXPECT_EQ(std::memcmp(block.data() + at, text, 20), 0) << at;
            std::memcpy(block.data() + at, before.data() + at, 20);
        }
        EXPECT_EQ(block, before) << "bytes changed elsewhere, intel " << intel;
    }
}

TEST(AnalysisDate, ABlockThatEndsEarlyThrowsTheReadersError) {
    std::vector<unsigned char> block = DateBlock(false);
    block.resize(0x108);
    Probe coder;
    coder.m_pStream.reset(new CInBitStream(block.data(), static_cast<int>(block.size())));
    EXPECT_THROW(coder.AnalysisDate(0), EBufferError);
}

}  // namespace
