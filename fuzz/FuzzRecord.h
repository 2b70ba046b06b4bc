// Shared by the EXIF fuzz targets: the fixed time zone, the check that stops a run, a property
// record and the other arguments of CExif::RewriteData drawn from the fuzzer's input (values in
// the ranges a host can hand over, texts short and without NUL), and the reading of a TIFF block
// that may fail part-way. Each target is one translation unit, so the header defines the hook.
#ifndef PHOTOGEO_FUZZ_FUZZRECORD_H
#define PHOTOGEO_FUZZ_FUZZRECORD_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "photogeo/Exif.h"

// Dates become times in the local zone: every run uses the same one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "JST-9", 1);
    return 0;
}

// Stops the run on a failed check, naming the check's place in the fuzzer's report.
inline void Require(bool condition, const char* file = __builtin_FILE(),
                    int line = __builtin_LINE()) {
    if (condition) return;
    std::fprintf(stderr, "%s:%d: check failed\n", file, line);
    std::abort();
}

struct FuzzRewrite {
    SExifProperty prop{};
    CTime time;
    std::string name;
    int bDate = 0;
    int bWriteGPS = 0;
};

// A text of up to max_length bytes 1-255, taken from the back of the input as the numbers are.
inline std::string FuzzText(FuzzedDataProvider& fdp, int max_length) {
    std::string s(fdp.ConsumeIntegralInRange<int>(0, max_length), ' ');
    for (char& c : s) c = static_cast<char>(fdp.ConsumeIntegralInRange<int>(1, 255));
    return s;
}

// Draws the rewrite arguments from the END of the input (FuzzedDataProvider takes numbers from
// the back), so that the bytes at the front stay the TIFF block.
inline FuzzRewrite DrawRewrite(FuzzedDataProvider& fdp) {
    FuzzRewrite r;
    SExifProperty& p = r.prop;
    p.bGPSPosition = fdp.ConsumeBool();
    p.dGPSLatitude = fdp.ConsumeFloatingPointInRange(-90.0, 90.0);
    p.dGPSLongitude = fdp.ConsumeFloatingPointInRange(-180.0, 180.0);
    p.bGPSAltitude = fdp.ConsumeBool();
    p.dGPSAltitude = fdp.ConsumeFloatingPointInRange(-100000.0, 100000.0);
    p.bGPSImgDirection = fdp.ConsumeBool();
    p.dGPSImgDirection = fdp.ConsumeFloatingPointInRange(0.0, 359.999);
    p.szGPSImgDirectionRef[0] = fdp.ConsumeBool() ? 'M' : 'T';
    p.bGPSMapDatum = fdp.ConsumeBool();
    const std::string datum = FuzzText(fdp, static_cast<int>(sizeof p.szGPSMapDatum) - 1);
    std::memcpy(p.szGPSMapDatum, datum.c_str(), datum.size() + 1);
    p.bCopyrightPhotographer = fdp.ConsumeBool();
    p.strCopyrightPhotographer = FuzzText(fdp, 40).c_str();
    p.bCopyrightEditor = fdp.ConsumeBool();
    p.strCopyrightEditor = FuzzText(fdp, 40).c_str();
    p.bSoftware = fdp.ConsumeBool();
    p.strSoftware = FuzzText(fdp, 40).c_str();
    p.bDateTimeOriginal = fdp.ConsumeBool();
    p.tmDateTimeOriginal = CTime(fdp.ConsumeIntegral<int32_t>());
    p.bImageDescription = fdp.ConsumeBool();
    p.strImageDescription = FuzzText(fdp, 60).c_str();
    p.bUserComment = fdp.ConsumeBool();
    p.strUserComment = FuzzText(fdp, 60).c_str();
    p.bPixelXDimension = fdp.ConsumeBool();
    p.nPixelXDimension = fdp.ConsumeIntegral<int>();
    p.bPixelYDimension = fdp.ConsumeBool();
    p.nPixelYDimension = fdp.ConsumeIntegral<int>();
    r.time = CTime(fdp.ConsumeIntegral<int32_t>());
    r.name = FuzzText(fdp, 30);
    r.bDate = fdp.ConsumeBool();
    r.bWriteGPS = fdp.ConsumeBool();
    return r;
}

// Full read (or, with quickThumbnail 0 or 1, the quick read) of the nSize bytes at pBlock into
// exif and prop. A malformed block ends the read with EBufferError, which leaves what was read so
// far; any other exception is a fault and escapes to the fuzzer. A read that runs to the end must
// leave the stream at the block's end; returns whether it ran to the end.
inline bool ReadBlock(CExif& exif, unsigned char* pBlock, int nSize, SExifProperty& prop,
                      int quickThumbnail = -1) {
    CInBitStream stream(pBlock, nSize);
    try {
        if (quickThumbnail < 0)
            exif.ReadExif(&stream, nSize, &prop);
        else
            exif.ReadQuickExif(&stream, nSize, &prop, quickThumbnail);
    } catch (const EBufferError&) {
        return false;
    }
    Require(stream.GetPosition() == pBlock + nSize);
    return true;
}

#endif
