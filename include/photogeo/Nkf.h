// nkf: conversion of Japanese text between JIS (ISO-2022-JP), Shift-JIS and EUC-JP, in memory,
// in one call. The EXIF readers use it to turn a user comment stored in JIS into Shift-JIS; the
// host may call it directly for any text.
//
// The input encoding is guessed from the bytes unless an option fixes it: escape sequences and
// shift-out (SO/SI) are recognised in any input; the first byte with bit 7 set decides between
// Shift-JIS (0x80-0x9F, or a second byte 0x40-0xA0) and EUC-JP (0xA0-0xDF); first bytes 0xE0-0xFF
// with a second byte above 0xA0 fit both, and the converter then looks ahead up to 32 characters
// for a deciding byte, treating the text as EUC-JP if none comes. JIS X 0201 half-width katakana
// (ESC "(" "I", SO, EUC 0x8E xx, Shift-JIS 0xA1-0xDF) become full-width katakana unless option
// "x" keeps them; a following voiced or semi-voiced sound mark is merged into one character.
// Shift-JIS half-width katakana are widened only with "S" or "X": without either, such a byte
// in text already taken for Shift-JIS makes the converter read on as EUC-JP; likewise EUC-JP
// text whose first byte with bit 7 set is a half-width kana's 0x8E is taken for Shift-JIS
// unless "E" is given. JIS X 0212 and other designations are not recognised.
// Malformed input never fails: invalid byte pairs are dropped, unrecognised escape sequences are
// copied as they are.
#ifndef PHOTOGEO_NKF_H
#define PHOTOGEO_NKF_H

#include "photogeo/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

// Converts the NUL-terminated text src into dst in the encoding chosen by options.
//
// src      Input text, ended by its first NUL byte (the text cannot contain NUL). Never read
//          beyond that NUL. A null pointer is taken as an empty text.
// dst      Output buffer of size bytes, owned by the caller. At most size bytes are written.
// size     Capacity of dst in bytes, terminator included. When the converted text and its NUL
//          terminator need more, the output is cut after size bytes and is then NOT terminated.
//          Conversion to Shift-JIS without folding ("f") never needs more than twice the input
//          length plus one byte. size <= 0 (or dst null) writes nothing.
// options  NUL-terminated option letters, read left to right (null: none). Characters outside
//          "B".."x" and letters without a meaning below are skipped.
//            Output: "j" (also "n", "M") JIS, the default; "s" Shift-JIS; "e" EUC-JP.
//            Input:  "J"/"E" JIS or EUC-JP; "S" Shift-JIS (half-width kana widened);
//                    "l" Latin-1 (bytes 0x80-0xFF pass through; JIS output only).
//            Kana:   "X" widen half-width katakana; "x" keep them.
//            "Z"     full-width Latin letters, digits and symbols to ASCII; "Z1" also maps the
//                    full-width space to one space, "Z2" to two spaces.
//            "f[n]"  fold lines at n columns (1..511; missing or out of range: 60), joining
//                    lines of Japanese text and refilling ASCII words.
//            "c"     write CR before every LF; "d" drop CR.
//            "r"     ROT13 on ASCII letters and ROT47 on JIS X 0208 characters.
//            "B", "B1", "B2": recover broken JIS (lost ESC bytes, unknown designator finals,
//                    LF returning to ASCII).
//            "i@", "iB": kanji designator final byte of the JIS output ("B" by default);
//            "oJ", "oB", "oH": ASCII designator final byte of the JIS output ("B").
//            "m" (with "B", "Q" or "0"): MIME flag, on by default; while it is on and no
//                    kind is given, an ASCII "=" directly followed by "?" is not written.
//            "b", "u", "t", "O": accepted, no effect.
// Result: 0 when converted (dst holds the text and its NUL, as far as size allows); -1 when "l"
// is combined with "e", "s" or "x", in which case dst is left untouched.
//
// The call keeps all of its state on its own stack: calls on different threads do not
// interfere.
PHOTOGEO_API int nkf(const unsigned char* src, char* dst, int size, const char* options);

#ifdef __cplusplus
}
#endif

#endif
