// The property listing: every label and enumerated text converted back from Shift-JIS with
// iconv and compared with the texts as the listing is documented, the number formats (DMS
// coordinates, rationals, APEX values), list-all defaults, and zero divisors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "exifcoder/ListupText.h"
#include "exifcoder/SjisText.h"
#include "photogeo/ExifIfdCoder.h"

using codertest::Utf8;

namespace {

struct Expected {
    int code;
    const char* utf8;
};

void ExpectTable(const listup::SCodeText* table, int count, std::initializer_list<Expected> want,
                 const char* name) {
    ASSERT_EQ(count, static_cast<int>(want.size())) << name;
    int i = 0;
    for (const Expected& e : want) {
        EXPECT_EQ(table[i].nCode, e.code) << name;
        EXPECT_EQ(Utf8(table[i].pszText), e.utf8) << name << " " << e.code;
        ++i;
    }
}

TEST(ListupText, LabelsAndEnumeratedTextsDecodeToTheDocumentedTexts) {
    ExpectTable(listup::kItemLabels, listup::kItemLabelCount,
                {{0, "タイトル"},
                 {1, "メーカー"},
                 {2, "カメラ"},
                 {3, "撮影著作権"},
                 {4, "コメント"},
                 {5, "撮影日付"},
                 {6, "修正日付"},
                 {7, "レンズ"},
                 {8, "緯度"},
                 {9, "経度"},
                 {10, "標高"},
                 {11, "測地系"},
                 {12, "方位"},
                 {13, "編集著作権"},
                 {101, "GPSIFDバージョン"},
                 {102, "GPS時刻"},
                 {103, "衛星情報"},
                 {104, "GPSステータス"},
                 {105, "GPS測位モード"},
                 {106, "GPS DOP値"},
                 {107, "GPS移動速度"},
                 {108, "GPS進行方向"},
                 {109, "目的地緯度"},
                 {110, "目的地経度"},
                 {111, "目的地方向"},
                 {112, "目的地距離"},
                 {201, "画像向き"},
                 {202, "画像解像度(横)"},
                 {203, "画像解像度(縦)"},
                 {204, "ファームバージョン"},
                 {205, "白色色度"},
                 {206, "原色色度"},
                 {207, "RGB変換係数"},
                 {208, "色情報サンプル"},
                 {209, "黒点/白点"},
                 {301, "露光時間"},
                 {302, "F値"},
                 {303, "露出モード"},
                 {304, "ISO感度"},
                 {305, "Exifバージョン"},
                 {306, "デジタル化日時"},
                 {307, "データ並び"},
                 {308, "JPEG圧縮率"},
                 {309, "シャッター速度"},
                 {310, "絞り値"},
                 {311, "対象物明るさ"},
                 {312, "露出補正値"},
                 {313, "レンズF値"},
                 {314, "被写体距離"},
                 {315, "自動露出測光モード"},
                 {316, "光源"},
                 {317, "フラッシュ"},
                 {318, "レンズ焦点距離"},
                 {319, "FlashPixバージョン"},
                 {320, "色空間"},
                 {321, "画像サイズ"},
                 {322, "サウンドファイル名"},
                 {323, "画素密度(横)"},
                 {324, "画素密度(縦)"},
                 {325, "ISO感度"},
                 {326, "イメージセンサー"}},
                "labels");
    ExpectTable(listup::kOrientation, listup::kOrientationCount,
                {{1, "上-左"},
                 {2, "上-右"},
                 {3, "下-右"},
                 {4, "下-左"},
                 {5, "左-上"},
                 {6, "右-上"},
                 {7, "右-下"},
                 {8, "左-下"}},
                "orientation");
    ExpectTable(listup::kExposureProgram, listup::kExposureProgramCount,
                {{1, "マニュアル"},
                 {2, "プログラムＡＥ"},
                 {3, "絞り優先"},
                 {4, "シャッター優先"},
                 {5, "低速プログラム"},
                 {6, "高速プログラム"},
                 {7, "ポートレート"},
                 {8, "風景モード"}},
                "exposure program");
    ExpectTable(listup::kMeteringMode, listup::kMeteringModeCount,
                {{0, "不明"},
                 {1, "平均測光"},
                 {2, "中央重点測光"},
                 {3, "スポット測光"},
                 {4, "多点スポット測光"},
                 {5, "マルチセグメント測光"},
                 {6, "部分測光"},
                 {255, "その他"}},
                "metering");
    ExpectTable(listup::kLightSource, listup::kLightSourceCount,
                {{0, "不明"},
                 {1, "昼光"},
                 {2, "蛍光灯"},
                 {3, "白熱電球"},
                 {10, "フラッシュ"},
                 {17, "標準ライトA"},
                 {18, "標準ライトB"},
                 {19, "標準ライトC"},
                 {20, "D55"},
                 {21, "D65"},
                 {22, "D75"},
                 {255, "その他"}},
                "light source");
    ExpectTable(listup::kFlash, listup::kFlashCount,
                {{0, "なし"}, {1, "発光"}, {5, "発光(反射光未検出)"}, {7, "発光(反射光検出)"}},
                "flash");
    ExpectTable(listup::kSensingMethod, listup::kSensingMethodCount,
                {{1, "未定義"},
                 {2, "1チップカラーエリアセンサー"},
                 {3, "2チップカラーエリアセンサー"},
                 {4, "3チップカラーエリアセンサー"},
                 {5, "カラーシークェンシャルエリアセンサー"},
                 {6, "未定義"},
                 {7, "トリリニアセンサー"},
                 {8, "カラーシクェンシャルリニアセンサー"}},
                "sensing method");
    ExpectTable(listup::kComponents, listup::kComponentsCount,
                {{1, "Y"}, {2, "Cb"}, {3, "Cr"}, {4, "R"}, {5, "G"}, {6, "B"}}, "components");

    const std::pair<const char*, const char*> fixed[] = {
        {listup::kDegreeSuffix, "度"},        {listup::kTrueNorth, "(真方位)"},
        {listup::kMagneticNorth, "(磁方位)"}, {listup::kGPSMeasuring, "測位"},
        {listup::kGPSInterrupted, "非測位"},  {listup::kMeasure2D, "2D測位"},
        {listup::kMeasure3D, "3D測位"},       {listup::kCentered, "中央"},
        {listup::kCosited, "原点"},           {listup::kSecondSuffix, "秒"},
        {listup::kInfinity, "無限遠"},        {listup::kUnknown, "不明"}};
    for (const auto& f : fixed) EXPECT_EQ(Utf8(f.first), f.second);
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
    std::string Name(int item) {
        CString name, value;
        coder.Listup(item, name, value, 1);
        return Utf8(name);
    }

    CExifIfdCoder coder;
    SExifProperty& p = coder.m_Property;
};

TEST_F(ListupTest, AbsentItemsAndUnknownNumbersAreNotListed) {
    for (int item : {0, 1, 5, 8, 12, 101, 107, 201, 321, 326}) EXPECT_EQ(Value(item), "<none>");
    for (int item : {-1, 14, 100, 113, 200, 210, 300, 327}) EXPECT_EQ(Value(item, 1), "<none>");
}

TEST_F(ListupTest, ListAllModeWritesTheDefaultsOfAbsentBasicItems) {
    p.strImageDescription = "old title";
    p.strUserComment = "old comment";
    p.dGPSLatitude = 12.0;
    p.dGPSLongitude = 13.0;
    p.dGPSAltitude = 14.0;
    std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "TOKYO");
    EXPECT_EQ(Value(0, 1), "");
    EXPECT_EQ(Name(0), "タイトル");
    EXPECT_EQ(Value(4, 1), "");
    EXPECT_EQ(Value(8, 1), "N  0ﾟ00'00.0\"");
    EXPECT_EQ(Value(9, 1), "E  0ﾟ00'00.0\"");
    EXPECT_EQ(Value(10, 1), "0m");
    EXPECT_EQ(Value(11, 1), "WGS84");
    EXPECT_EQ(Value(3, 1), "");
    EXPECT_EQ(Value(13, 1), "");
    EXPECT_EQ(p.strImageDescription, "");
    EXPECT_EQ(p.strUserComment, "");
    EXPECT_EQ(p.dGPSLatitude, 0.0);
    EXPECT_EQ(p.dGPSLongitude, 0.0);
    EXPECT_EQ(p.dGPSAltitude, 0.0);
    EXPECT_STREQ(p.szGPSMapDatum, "WGS84");
    EXPECT_EQ(p.bGPSPosition + p.bGPSAltitude + p.bGPSMapDatum + p.bImageDescription, 0);
    // Items outside the basic set ignore list-all mode.
    EXPECT_EQ(Value(1, 1), "<none>");
    EXPECT_EQ(Value(6, 1), "<none>");
}

TEST_F(ListupTest, CoordinatesAreShownAsHemisphereDegreesMinutesSeconds) {
    p.bGPSPosition = 1;
    p.dGPSLatitude = 35.658581;
    p.dGPSLongitude = 139.745433;
    EXPECT_EQ(Value(8), "N 35ﾟ39'30.9\"");
    EXPECT_EQ(Value(9), "E139ﾟ44'43.5\"");
    p.dGPSLatitude = -33.8688;
    p.dGPSLongitude = -0.5;
    EXPECT_EQ(Value(8), "S 33ﾟ52'07.6\"");
    EXPECT_EQ(Value(9), "W  0ﾟ30'00.0\"");
    // Just below a whole minute: the hundredth of a second added first carries into it.
    p.dGPSLatitude = 10.0 + 59.0 / 60 + 59.99999 / 3600;
    EXPECT_EQ(Value(8), "N 11ﾟ00'00.0\"");
    p.bGPSDest = 1;
    p.dGPSDestLatitude = -0.0001;
    p.dGPSDestLongitude = 180.0;
    EXPECT_EQ(Value(109), "S  0ﾟ00'00.3\"");
    EXPECT_EQ(Value(110), "E180ﾟ00'00.0\"");
}

TEST_F(ListupTest, BasicItems) {
    p.bImageDescription = p.bMake = p.bModel = p.bCopyrightPhotographer = 1;
    p.bCopyrightEditor = p.bUserComment = p.bDateTimeOriginal = p.bDateTime = p.bLens = 1;
    p.bGPSAltitude = p.bGPSMapDatum = 1;
    p.strImageDescription = "Title";
    p.strMake = "Maker";
    p.strModel = "Model";
    p.strCopyrightPhotographer = "Ph";
    p.strCopyrightEditor = "Ed";
    p.strUserComment = "Comment";
    p.tmDateTimeOriginal = CTime(2008, 2, 28, 10, 15, 0);
    p.tmDateTime = CTime(2008, 2, 29, 9, 0, 5);
    p.dLens = 35.04;
    p.dGPSAltitude = 123.6;
    std::snprintf(p.szGPSMapDatum, sizeof p.szGPSMapDatum, "TOKYO");
    EXPECT_EQ(Value(0), "Title");
    EXPECT_EQ(Value(1), "Maker");
    EXPECT_EQ(Value(2), "Model");
    EXPECT_EQ(Value(3), "Ph");
    EXPECT_EQ(Value(13), "Ed");
    EXPECT_EQ(Value(4), "Comment");
    EXPECT_EQ(Value(5), "2008/02/28 10:15:00");
    EXPECT_EQ(Value(6), "2008/02/29 09:00:05");
    EXPECT_EQ(Value(7), "35.0mm");
    EXPECT_EQ(Value(10), "124m");
    EXPECT_EQ(Value(11), "TOKYO");
    // A datum that fills its field without a NUL is shown up to the field's end.
    std::memset(p.szGPSMapDatum, 'D', sizeof p.szGPSMapDatum);
    EXPECT_EQ(Value(11), std::string(sizeof p.szGPSMapDatum, 'D'));
}

TEST_F(ListupTest, DirectionsWithTheirReferences) {
    p.bGPSImgDirection = 1;
    p.dGPSImgDirection = 123.456;
    p.szGPSImgDirectionRef[0] = 'M';
    EXPECT_EQ(Value(12), "123.46度");
    p.bGPSImgDirectionRef = 1;
    EXPECT_EQ(Value(12), "123.46度(磁方位)");
    p.szGPSImgDirectionRef[0] = 'T';
    EXPECT_EQ(Value(12), "123.46度(真方位)");
    p.szGPSImgDirectionRef[0] = 'X';
    EXPECT_EQ(Value(12), "123.46度");

    p.bGPSTrack = 1;
    p.rGPSTrack = {9000, 100};
    p.szGPSTrackRef[0] = 'T';
    EXPECT_EQ(Value(108), "<none>");
    p.bGPSTrackRef = 1;
    EXPECT_EQ(Value(108), "90.00度(真方位)");
    p.bGPSDestBearing = p.bGPSDestBearingRef = 1;
    p.rGPSDestBearing = {45, 0};
    p.szGPSDestBearingRef[0] = 'M';
    EXPECT_EQ(Value(111), "45.00度(磁方位)");
}

TEST_F(ListupTest, GpsItems) {
    p.bGPSVersionID = p.bGPSTimeStamp = p.bGPSSatellites = p.bGPSStatus = 1;
    p.bGPSMeasureMode = p.bGPSDOP = p.bGPSSpeed = p.bGPSDestDistance = 1;
    const unsigned char version[4] = {2, 0, 0, 0};
    std::memcpy(p.byGPSVersionID, version, 4);
    p.rGPSTimeStamp[0] = {9, 1};
    p.rGPSTimeStamp[1] = {150, 10};
    p.rGPSTimeStamp[2] = {7, 2};
    p.strGPSSatellites = "5";
    p.rGPSDOP = {25, 10};
    p.rGPSSpeed = {1234, 10};
    p.szGPSSpeedRef[0] = 'K';
    p.rGPSDestDistance = {5, 1};
    p.szGPSDestDistanceRef[0] = 'N';
    EXPECT_EQ(Value(101), "2.0.0.0");
    EXPECT_EQ(Value(102), "09:15:03");
    EXPECT_EQ(Value(103), "5");
    p.szGPSStatus[0] = 'A';
    EXPECT_EQ(Value(104), "測位");
    p.szGPSStatus[0] = 'V';
    EXPECT_EQ(Value(104), "非測位");
    p.szGPSStatus[0] = 'X';
    EXPECT_EQ(Value(104), "unchanged");
    EXPECT_EQ(Name(104), "GPSステータス");
    p.szGPSMeasureMode[0] = '2';
    EXPECT_EQ(Value(105), "2D測位");
    p.szGPSMeasureMode[0] = '3';
    EXPECT_EQ(Value(105), "3D測位");
    EXPECT_EQ(Value(106), "2.5");
    EXPECT_EQ(Value(107), "<none>");  // speed without its reference
    p.bGPSSpeedRef = 1;
    EXPECT_EQ(Value(107), "123.4km/h");
    p.szGPSSpeedRef[0] = 'M';
    EXPECT_EQ(Value(107), "123.4mile/h");
    p.szGPSSpeedRef[0] = 'N';
    EXPECT_EQ(Value(107), "123.4knot");
    p.bGPSDestDistanceRef = 1;
    EXPECT_EQ(Value(112), "5.0knot");
    p.szGPSDestDistanceRef[0] = 'K';
    EXPECT_EQ(Value(112), "5.0km");
    p.szGPSDestDistanceRef[0] = 'M';
    EXPECT_EQ(Value(112), "5.0mile");
    p.szGPSDestDistanceRef[0] = '?';
    EXPECT_EQ(Value(112), "5.0");
}

TEST_F(ListupTest, ImageItems) {
    p.bOrientation = p.bXResolution = p.bYResolution = p.bSoftware = p.bWhitePoint = 1;
    p.bPrimaryChromaticities = p.bYCbCrCoefficients = p.bYCbCrPositioning = 1;
    p.bReferenceBlackWhite = 1;
    p.nOrientation = 4;
    EXPECT_EQ(Value(201), "下-左");
    p.nOrientation = 9;
    EXPECT_EQ(Value(201), "unchanged");
    p.rXResolution = {72, 1};
    p.rYResolution = {300, 2};
    EXPECT_EQ(Value(202), "72");
    p.bResolutionUnit = 1;
    p.nResolutionUnit = 2;
    EXPECT_EQ(Value(202), "72inch");
    p.nResolutionUnit = 3;
    EXPECT_EQ(Value(203), "150cm");
    p.nResolutionUnit = 1;
    EXPECT_EQ(Value(203), "150");
    p.strSoftware = "fw";
    EXPECT_EQ(Value(204), "fw");
    p.rWhitePoint[0] = {313, 1000};
    p.rWhitePoint[1] = {-329, 1000};
    EXPECT_EQ(Value(205), "313/1000 -329/1000");
    for (int i = 0; i < 6; ++i) p.rPrimaryChromaticities[i] = {i, i + 10};
    EXPECT_EQ(Value(206), "0/10 1/11 2/12 3/13 4/14 5/15");
    p.rYCbCrCoefficients[0] = {299, 1000};
    p.rYCbCrCoefficients[1] = {587, 1000};
    p.rYCbCrCoefficients[2] = {114, 1000};
    EXPECT_EQ(Value(207), "0.299 0.587 0.114");
    p.nYCbCrPositioning = 1;
    EXPECT_EQ(Value(208), "中央");
    p.nYCbCrPositioning = 2;
    EXPECT_EQ(Value(208), "原点");
    for (int i = 0; i < 6; ++i) p.rReferenceBlackWhite[i] = {i % 2 ? 255 : -7, i % 2 ? 1 : 2};
    EXPECT_EQ(Value(209), "-3 255 -3 255 -3 255");
}

TEST_F(ListupTest, CameraItems) {
    p.bExposureTime = p.bFNumber = p.bExposureProgram = p.bISOSpeedRatings = 1;
    p.bExifVersion = p.bDateTimeDigitized = p.bComponentsConfiguration = 1;
    p.bCompressedBitsPerPixel = p.bShutterSpeedValue = p.bApertureValue = 1;
    p.bBrightnessValue = p.bExposureBiasValue = p.bMaxApertureValue = p.bSubjectDistance = 1;
    p.bMeteringMode = p.bLightSource = p.bFlash = p.bFocalLength = p.bFlashpixVersion = 1;
    p.bColorSpace = p.bPixelXDimension = p.bRelatedSoundFile = p.bFocalPlaneXResolution = 1;
    p.bExposureIndex = p.bSensingMethod = 1;

    p.rExposureTime = {1, 250};
    EXPECT_EQ(Value(301), "1/250秒");
    p.rExposureTime = {2, 1};
    EXPECT_EQ(Value(301), "2秒");
    p.rExposureTime = {1, 0};
    EXPECT_EQ(Value(301), "秒");
    p.rFNumber = {28, 10};
    EXPECT_EQ(Value(302), "F2.8");
    p.nExposureProgram = 2;
    EXPECT_EQ(Value(303), "プログラムＡＥ");
    p.nExposureProgram = 0;
    EXPECT_EQ(Value(303), "unchanged");
    p.nISOSpeedRatings[0] = 400;
    EXPECT_EQ(Value(304), "400");
    std::memcpy(p.szExifVersion, "0220", 5);
    EXPECT_EQ(Value(305), "0220");
    p.tmDateTimeDigitized = CTime(2001, 12, 31, 23, 59, 59);
    EXPECT_EQ(Value(306), "2001/12/31 23:59:59");
    const unsigned char components[4] = {1, 2, 3, 0};
    std::memcpy(p.byComponentsConfiguration, components, 4);
    EXPECT_EQ(Value(307), "YCbCr");
    const unsigned char rgb[4] = {4, 5, 6, 9};
    std::memcpy(p.byComponentsConfiguration, rgb, 4);
    EXPECT_EQ(Value(307), "RGB");
    p.rCompressedBitsPerPixel = {5, 2};
    EXPECT_EQ(Value(308), "2.50Bit/Pixel");
    p.rShutterSpeedValue = {7, 1};
    EXPECT_EQ(Value(309), "1/128秒");
    p.rApertureValue = {4, 1};
    EXPECT_EQ(Value(310), "F4.0");
    p.rBrightnessValue = {-15, 10};
    EXPECT_EQ(Value(311), "-1.5APEX");
    p.rExposureBiasValue = {-2, 3};
    EXPECT_EQ(Value(312), "-0.7EV");
    p.rMaxApertureValue = {3, 1};
    EXPECT_EQ(Value(313), "F2.8");
    p.rSubjectDistance = {0, 0};
    EXPECT_EQ(Value(314), "無限遠");
    p.rSubjectDistance = {25, 10};
    EXPECT_EQ(Value(314), "2.5m");
    p.nMeteringMode = 255;
    EXPECT_EQ(Value(315), "その他");
    p.nLightSource = 10;
    EXPECT_EQ(Value(316), "フラッシュ");
    p.nLightSource = 4;
    EXPECT_EQ(Value(316), "unchanged");
    p.nFlash = 5;
    EXPECT_EQ(Value(317), "発光(反射光未検出)");
    // The focal length is read unsigned: 0xFFFFFFFF / 2 is not -0.5.
    p.rFocalLength = {-1, 2};
    EXPECT_EQ(Value(318), "2147483647.5mm");
    std::memcpy(p.szFlashpixVersion, "0100", 5);
    EXPECT_EQ(Value(319), "0100");
    p.nColorSpace = 1;
    EXPECT_EQ(Value(320), "sRGB");
    p.nColorSpace = static_cast<short>(0xFFFF);
    EXPECT_EQ(Value(320), "不明");
    p.nPixelXDimension = 640;
    p.nPixelYDimension = 480;
    EXPECT_EQ(Value(321), "<none>");
    p.bPixelYDimension = 1;
    EXPECT_EQ(Value(321), "640 x 480");
    p.strRelatedSoundFile = "SND00001.WAV";
    EXPECT_EQ(Value(322), "SND00001.WAV");
    p.rFocalPlaneXResolution = {3000, 1};
    p.bFocalPlaneResolutionUnit = 1;
    p.nFocalPlaneResolutionUnit = 3;
    EXPECT_EQ(Value(323), "3000cm");
    EXPECT_EQ(Value(324), "<none>");
    p.rExposureIndex = {1600, 10};
    EXPECT_EQ(Value(325), "160");
    p.nSensingMethod = 2;
    EXPECT_EQ(Value(326), "1チップカラーエリアセンサー");
}

TEST_F(ListupTest, ZeroDivisorsAndExtremeRationalsDoNotFault) {
    p.bGPSTimeStamp = p.bReferenceBlackWhite = p.bYCbCrCoefficients = p.bGPSDOP = 1;
    p.bFocalLength = p.bShutterSpeedValue = 1;
    p.rGPSTimeStamp[0] = {12, 0};
    p.rGPSTimeStamp[1] = {INT_MIN, -1};
    p.rGPSTimeStamp[2] = {0, 0};
    EXPECT_EQ(Value(102), "12:-2147483648:00");
    for (tagRATIONAL& r : p.rReferenceBlackWhite) r = {7, 0};
    EXPECT_EQ(Value(209), "7 7 7 7 7 7");
    for (tagRATIONAL& r : p.rYCbCrCoefficients) r = {1, 0};
    EXPECT_EQ(Value(207), "1.000 1.000 1.000");
    p.rGPSDOP = {3, 0};
    EXPECT_EQ(Value(106), "3.0");
    p.rFocalLength = {50, 0};
    EXPECT_EQ(Value(318), "50.0mm");
    p.rShutterSpeedValue = {INT_MAX, 1};
    EXPECT_EQ(Value(309), "1/inf秒");
}

TEST(StrRational, FormsOfTheListing) {
    CExifIfdCoder coder;
    auto text = [&](int32_t num, int32_t den) {
        CString s("x");
        coder.StrRational(s, tagRATIONAL{num, den});
        return std::string(s);
    };
    EXPECT_EQ(text(1, 125), "1/125");
    EXPECT_EQ(text(10, 30), "1/3");
    EXPECT_EQ(text(2, 3), "1/1");
    EXPECT_EQ(text(5, 5), "1/1");
    EXPECT_EQ(text(10, 1), "10");
    EXPECT_EQ(text(3, 2), "1");
    EXPECT_EQ(text(7, 0), "");
    EXPECT_EQ(text(0, 0), "");
    EXPECT_EQ(text(0, 5), "0");
    EXPECT_EQ(text(-1, 1), "-1");  // unsigned 0xFFFFFFFF, shown as a 32-bit %d
}

}  // namespace
