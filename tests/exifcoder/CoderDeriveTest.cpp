// Dates and bearings derived from the record: the magnetic variation at the photograph's place
// (the Japan approximation gives a value independent of date and height), the true bearing of
// magnetic and true directions, and AnalysisDate's stamping of the two date texts of a block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "photogeo/ExifIfdCoder.h"
#include "support/ExifTestUtil.h"

namespace {

// The Japan model's variation at 35 N 139 E: about 6.8 degrees west.
const double kVariationAt35N139E = -6.799316666666666;

TEST(Bearing, TrueDirectionCorrectsOnlyMagneticBearings) {
    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
    EXPECT_EQ(coder.GetMagVar(), 0.0);  // no position
    p.dGPSImgDirection = 355.0;
    p.szGPSImgDirectionRef[0] = 'M';
    p.bGPSImgDirectionRef = 1;
    EXPECT_EQ(coder.GetTrueDir(), 0.0);  // no direction
    p.bGPSImgDirection = 1;
    // No position: a variation of 0, but a stored 360 or more is still reduced.
    EXPECT_EQ(coder.GetTrueDir(), 355.0);
    p.dGPSImgDirection = 365.0;
    EXPECT_EQ(coder.GetTrueDir(), 5.0);
    p.dGPSImgDirection = 360.0;
    EXPECT_EQ(coder.GetTrueDir(), 0.0);
    p.dGPSImgDirection = 355.0;
    // Inside the Japan box neither date nor altitude matters.
    p.bGPSPosition = p.bDateTimeOriginal = p.bGPSAltitude = 1;
    p.dGPSLatitude = 35.0;
    p.dGPSLongitude = 139.0;
    p.tmDateTimeOriginal = CTime(1995, 7, 1, 12, 0, 0);
    p.dGPSAltitude = 3000.0;
    EXPECT_NEAR(coder.GetMagVar(), kVariationAt35N139E, 1e-9);
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

// A block with DateTime in IFD0 and, in the Exif directory, DateTimeOriginal,
// DateTimeDigitized and one more DateTimeOriginal whose text would run past the block's end.
// Also gives where the two texts to be stamped lie.
exiftest::Bytes DateBlock(bool intel, std::vector<size_t>& stamped) {
    exiftest::TiffBuilder b(intel);
    const int exif = b.AddDir(false);
    b.Ascii(b.Ifd0(), 0x0132, "1999:01:01 00:00:00");
    b.Pointer(b.Ifd0(), 0x8769, exif);
    b.Ascii(exif, 0x9003, "1999:01:01 00:00:01");
    b.Ascii(exif, 0x9004, "1999:01:01 00:00:02");
    b.Raw(exif, 0x9003, 2, 20, exiftest::Bytes(4, 0));
    exiftest::Bytes block = b.Build();
    const auto at = exiftest::Locate(block);
    const exiftest::Bytes past = b.U32(static_cast<uint32_t>(block.size() - 16));
    std::copy(past.begin(), past.end(), block.begin() + at.at({1, 0x9003}).entry + 8);
    // The first DateTimeOriginal's text lies just before DateTimeDigitized's.
    stamped = {at.at({0, 0x0132}).value, at.at({1, 0x9004}).value - 20};
    return block;
}

TEST(AnalysisDate, StampsDateTimeAndDateTimeOriginalOnlyAndStopsAtTheEnd) {
    for (bool intel : {false, true}) {
        std::vector<size_t> stamped;
        exiftest::Bytes block = DateBlock(intel, stamped), before = block;
        const int end = static_cast<int>(block.size()) - 4;
        Probe coder;
        coder.m_Property.tmDateTimeOriginal = CTime(2008, 2, 28, 10, 15, 0);
        coder.m_pStream.reset(new CInBitStream(block.data(), static_cast<int>(block.size())));
        coder.AnalysisDate(end);
        EXPECT_EQ(coder.m_pStream->GetPosition(), block.data() + end);
        const char text[] = "2008:02:28 10:15:00";
        for (size_t at : stamped) {
            EXPECT_EQ(std::memcmp(block.data() + at, text, 20), 0) << at;
            std::memcpy(block.data() + at, before.data() + at, 20);
        }
        EXPECT_EQ(block, before) << "bytes changed elsewhere, intel " << intel;
        // A block cut inside the Exif directory's first entry throws the reader's error.
        block.resize(exiftest::Locate(block).at({1, 0x9004}).entry - 6);
        coder.m_pStream.reset(new CInBitStream(block.data(), static_cast<int>(block.size())));
        EXPECT_THROW(coder.AnalysisDate(0), EBufferError);
    }
}

}  // namespace
