// Fixed Japanese texts of the property listing, as Shift-JIS bytes (ListupText.cpp). Listup.cpp
// picks labels and value texts from here; the tests convert each one back to UTF-8 to check it.
#ifndef PHOTOGEO_EXIFCODER_LISTUPTEXT_H
#define PHOTOGEO_EXIFCODER_LISTUPTEXT_H

namespace listup {

// A number and its text: an item number and its label, or an enumerated value and its text.
struct SCodeText {
    int nCode;
    const char* pszText;
};

extern const SCodeText kItemLabels[];  // every listable item number and its label
extern const int kItemLabelCount;
extern const SCodeText kOrientation[];  // Orientation 1-8
extern const int kOrientationCount;
extern const SCodeText kExposureProgram[];  // ExposureProgram 1-8
extern const int kExposureProgramCount;
extern const SCodeText kMeteringMode[];
extern const int kMeteringModeCount;
extern const SCodeText kLightSource[];
extern const int kLightSourceCount;
extern const SCodeText kFlash[];
extern const int kFlashCount;
extern const SCodeText kSensingMethod[];
extern const int kSensingMethodCount;
extern const SCodeText kComponents[];  // ComponentsConfiguration bytes 1-6
extern const int kComponentsCount;

extern const char kDegreeSuffix[];
extern const char kTrueNorth[];
extern const char kMagneticNorth[];
extern const char kGPSMeasuring[];
extern const char kGPSInterrupted[];
extern const char kMeasure2D[];
extern const char kMeasure3D[];
extern const char kCentered[];
extern const char kCosited[];
extern const char kSecondSuffix[];
extern const char kInfinity[];
extern const char kUnknown[];

// The text of nCode in a table, or null when the table has none.
const char* FindCodeText(const SCodeText* pTable, int nCount, int nCode);

}  // namespace listup

#endif
