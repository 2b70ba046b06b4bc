// Fixed Japanese texts of the property listing, as Shift-JIS bytes (ListupText.cpp). Listup.cpp
// picks labels and value texts from here; the tests convert each one back to UTF-8 to check it.
#ifndef PHOTOGEO_EXIFCODER_LISTUPTEXT_H
#define PHOTOGEO_EXIFCODER_LISTUPTEXT_H

namespace photogeo::exifcoder {

// A number and its text: an item number and its label, or an enumerated value and its text.
struct CodeText {
    int code;
    const char* text;
};

extern const CodeText kItemLabels[];  // every listable item number and its label
extern const int kItemLabelCount;
extern const CodeText kOrientation[];  // Orientation 1-8
extern const int kOrientationCount;
extern const CodeText kExposureProgram[];  // ExposureProgram 1-8
extern const int kExposureProgramCount;
extern const CodeText kMeteringMode[];
extern const int kMeteringModeCount;
extern const CodeText kLightSource[];
extern const int kLightSourceCount;
extern const CodeText kFlash[];
extern const int kFlashCount;
extern const CodeText kSensingMethod[];
extern const int kSensingMethodCount;
extern const CodeText kComponents[];  // ComponentsConfiguration bytes 1-6
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
const char* FindCodeText(const CodeText* pTable, int nCount, int nCode);

}  // namespace photogeo::exifcoder

#endif
