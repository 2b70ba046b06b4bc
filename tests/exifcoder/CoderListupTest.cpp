// The property listing: every label and enumerated text converted back from Shift-JIS with
// iconv and compared with the texts as the listing is documented, the number formats (DMS
// coordinates, rationals, APEX values), list-all defaults, and zero divisors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "exifcoder/ListupText.h"
#include "exifcoder/SjisText.h"
#include "photogeo/ExifIfdCoder.h"
#include "support/ExifTestUtil.h"

using codertest::Utf8;

namespace {

using namespace photogeo::exifcoder;

// Every fixed text of the listing, every entry of the library's tables in their order, decoded
// with iconv, equals the documented texts of tests/data/exifcoder/listup-texts.txt.
TEST(ListupText, LabelsAndEnumeratedTextsDecodeToTheDocumentedTexts) {
    const std::pair<const char*, std::pair<const CodeText*, int>> tables[] = {
        {"label", {kItemLabels, kItemLabelCount}},
        {"orientation", {kOrientation, kOrientationCount}},
        {"exposure-program", {kExposureProgram, kExposureProgramCount}},
        {"metering-mode", {kMeteringMode, kMeteringModeCount}},
        {"light-source", {kLightSource, kLightSourceCount}},
        {"flash", {kFlash, kFlashCount}},
        {"sensing-method", {kSensingMethod, kSensingMethodCount}},
        {"components", {kComponents, kComponentsCount}}};
    const std::pair<const char*, const char*> fixed[] = {{"degree", kDegreeSuffix},
                                                         {"true-north", kTrueNorth},
                                                         {"magnetic-north", kMagneticNorth},
                                                         {"gps-measuring", kGPSMeasuring},
                                                         {"gps-interrupted", kGPSInterrupted},
                                                         {"measure-2d", kMeasure2D},
                                                         {"measure-3d", kMeasure3D},
                                                         {"centered", kCentered},
                                                         {"cosited", kCosited},
                                                         {"second", kSecondSuffix},
                                                         {"infinity", kInfinity},
                                                         {"unknown", kUnknown}};
    std::ostringstream ours;
    for (const auto& [name, table] : tables)
        for (int i = 0; i < table.second; ++i)
            ours << name << '\t' << table.first[i].code << '\t' << Utf8(table.first[i].text)
                 << '\n';
    for (const auto& [code, text] : fixed) ours << "fixed\t" << code << '\t' << Utf8(text) << '\n';
    std::ifstream in(std::string(PHOTOGEO_TEST_DATA) + "/exifcoder/listup-texts.txt");
    ASSERT_TRUE(in);
    std::string line, documented;
    while (std::getline(in, line))
        if (line.empty() || line[0] != '#') documented += line + '\n';
    EXPECT_EQ(ours.str(), documented);
}

class ListupTest : public ::testing::Test {
protected:
    // The listed value in UTF-8, or "<none>" when the item is not listed.
    std::string Value(int item, int bAll = 0) {
        CString name("unchanged"), value("unchanged");
        if (!coder.Listup(item, name, value, bAll)) {
            EXPECT_EQ(name, "unchanged");
            EXPECT_EQ(value, "unchanged");
            return "<none>";
        }
        return Utf8(value);
    }

    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
};

TEST_F(ListupTest, AbsentItemsAndUnknownNumbersAreNotListed) {
    for (int item : {0, 1, 5, 8, 12, 101, 107, 201, 321, 326}) EXPECT_EQ(Value(item), "<none>");
    for (int item : {-1, 14, 100, 113, 200, 210, 300, 327}) EXPECT_EQ(Value(item, 1), "<none>");
    // An unknown status is listed with its value left as it was (its label: the edge listing).
    p.bGPSStatus = 1;
    p.szGPSStatus[0] = 'X';
    EXPECT_EQ(Value(104), "unchanged");
}

// Listings compared whole with tests/data/exifcoder/listing-record.txt, reviewed against the
// documented formats. First the sample block's record (every item but the lens) with the lens
// added and a few values moved to the branches the sample does not take: signed rationals shown
// signed or divided, a focal length read unsigned, a destination just south of the equator,
// other references. Then a record of edge values: south and west coordinates, a direction
// without its reference flag, a speed without its reference (not listed), an unknown status
// (listed, its value left empty), an exposure of 2/1, a subject distance of 0/0 (infinity),
// components YCbCr, an unknown colour space, zero divisors and extreme rationals; and the same
// record once more with a latitude just below a whole minute (the hundredth of a second added
// first carries into it), the direction's reference flag set and an exposure of 1/0. Last, list-all
// mode over a record whose basic items are absent: their defaults are listed (and written into the
// record), the other items are not. The branches still not taken are taken by the photo listing of
// the read tests.
TEST_F(ListupTest, ListingsMatchTheGoldenText) {
    ASSERT_TRUE(exiftest::ReadBlock(coder.m_Exif, exiftest::SampleBlock(true), p));
    p.bLens = 1;
    p.dLens = 35.04;
    p.dGPSDestLatitude = -0.0001;
    p.rGPSDestBearing = {45, 0};
    p.szGPSDestDistanceRef[0] = 'N';
    p.szGPSTrackRef[0] = 'M';
    p.rWhitePoint[1] = {-329, 1000};
    for (int i = 0; i < 6; ++i) p.rReferenceBlackWhite[i] = {i % 2 ? 255 : -7, i % 2 ? 1 : 2};
    p.rFocalLength = {-1, 2};  // read unsigned: 0xFFFFFFFF / 2
    p.nMeteringMode = 255;
    const unsigned char rgb[4] = {4, 5, 6, 9};
    std::memcpy(p.byComponentsConfiguration, rgb, 4);
    std::string listing = codertest::Listing(coder);

    CExifIfdCoder edges;
    SExifProperty& e = edges.m_Property;
    e.bGPSPosition = e.bGPSImgDirection = e.bGPSSpeed = e.bExposureTime = 1;
    e.dGPSLatitude = -33.8688;
    e.dGPSLongitude = -0.5;
    e.dGPSImgDirection = 123.456;
    e.szGPSImgDirectionRef[0] = 'M';
    e.rExposureTime = {2, 1};
    e.bSubjectDistance = e.bComponentsConfiguration = e.bColorSpace = 1;
    e.rSubjectDistance = {0, 0};
    const unsigned char components[4] = {1, 2, 3, 0};
    std::memcpy(e.byComponentsConfiguration, components, 4);
    e.nColorSpace = static_cast<short>(0xFFFF);
    e.bGPSTimeStamp = e.bReferenceBlackWhite = e.bYCbCrCoefficients = e.bGPSDOP = 1;
    e.bFocalLength = e.bShutterSpeedValue = 1;
    e.rGPSTimeStamp[0] = {12, 0};
    e.rGPSTimeStamp[1] = {INT_MIN, -1};
    e.rGPSTimeStamp[2] = {0, 0};
    for (tagRATIONAL& r : e.rReferenceBlackWhite) r = {7, 0};
    for (tagRATIONAL& r : e.rYCbCrCoefficients) r = {1, 0};
    e.rGPSDOP = {3, 0};
    e.rFocalLength = {50, 0};
    e.rShutterSpeedValue = {INT_MAX, 1};
    e.bGPSStatus = 1;
    e.szGPSStatus[0] = 'X';
    listing += "==\n" + codertest::Listing(edges);
    e.dGPSLatitude = 10.0 + 59.0 / 60 + 59.99999 / 3600;
    e.bGPSImgDirectionRef = 1;
    e.rExposureTime = {1, 0};
    listing += "==\n" + codertest::Listing(edges);

    CExifIfdCoder all;
    SExifProperty& a = all.m_Property;
    a.strImageDescription = "old title";
    a.strUserComment = "old comment";
    a.dGPSLatitude = 12.0;
    a.dGPSLongitude = 13.0;
    a.dGPSAltitude = 14.0;
    std::snprintf(a.szGPSMapDatum, sizeof a.szGPSMapDatum, "TOKYO");
    listing += "== list all\n" + codertest::Listing(all, 1);
    EXPECT_EQ(listing, exiftest::Golden("exifcoder/listing-record.txt", listing));
    EXPECT_EQ(a.strImageDescription.str() + a.strUserComment.str(), "");
    EXPECT_EQ(a.dGPSLatitude + a.dGPSLongitude + a.dGPSAltitude, 0.0);
    EXPECT_STREQ(a.szGPSMapDatum, "WGS84");
    EXPECT_EQ(a.bGPSPosition + a.bGPSAltitude + a.bGPSMapDatum + a.bImageDescription, 0);
}

TEST(StrRational, FormsOfTheListing) {
    // -1/1 is the unsigned 0xFFFFFFFF, shown as a 32-bit %d.
    const struct {
        int32_t num, den;
        const char* text;
    } cases[] = {{1, 125, "1/125"}, {10, 30, "1/3"}, {2, 3, "1/1"}, {5, 5, "1/1"}, {10, 1, "10"},
                 {3, 2, "1"},       {7, 0, ""},      {0, 0, ""},    {0, 5, "0"},   {-1, 1, "-1"}};
    CExifIfdCoder coder;
    for (const auto& c : cases) {
        CString s("x");
        coder.StrRational(s, tagRATIONAL{c.num, c.den});
        EXPECT_EQ(std::string(s), c.text) << c.num << "/" << c.den;
    }
}

}  // namespace
