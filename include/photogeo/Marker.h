// JPEG marker codes: the byte that follows 0xFF, named as in ITU-T T.81 Table B.1.
// INVALID (0xFF) stands for the reserved codes 0x03-0xBF, which the marker scanners map to it.
#ifndef PHOTOGEO_MARKER_H
#define PHOTOGEO_MARKER_H

enum eMarker {
    TEM = 0x01,
    RES = 0x02,
    SOF0 = 0xC0, SOF1, SOF2, SOF3,
    DHT = 0xC4,
    SOF5 = 0xC5, SOF6, SOF7,
    JPG = 0xC8,
    SOF9 = 0xC9, SOF10, SOF11,
    DAC = 0xCC,
    SOF13 = 0xCD, SOF14, SOF15,
    RST0 = 0xD0, RST1, RST2, RST3, RST4, RST5, RST6, RST7,
    SOI = 0xD8, EOI, SOS, DQT, DNL, DRI, DHP, EXP,
    APP0 = 0xE0, APP1, APP2, APP3, APP4, APP5, APP6, APP7,
    APP8, APP9, APP10, APP11, APP12, APP13, APP14, APP15,
    JPG0 = 0xF0, JPG1, JPG2, JPG3, JPG4, JPG5, JPG6, JPG7,
    JPG8, JPG9, JPG10, JPG11, JPG12, JPG13,
    COM = 0xFE,
    INVALID = 0xFF
};

// The thirteen frame markers: 0xC0-0xC3, 0xC5-0xC7, 0xC9-0xCB, 0xCD-0xCF.
inline bool IsFrameMarker(int code) {
    return code >= SOF0 && code <= SOF15 && code != DHT && code != JPG && code != DAC;
}

#endif
