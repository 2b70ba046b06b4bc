// The converter behind the exported nkf (photogeo/Nkf.h): a byte-level state machine that
// reads a NUL-terminated text in JIS, EUC-JP or Shift-JIS and writes it, in one pass, in the
// chosen output encoding. The EXIF readers call nkf for JIS user comments; the host calls it
// directly. Its work is split by job: Nkf.cpp (the call, options, detection), NkfRead.cpp
// (the reading loop, its fast path, escapes and kana), NkfConvert.cpp (Shift-JIS to JIS,
// rotation, full-width mapping, folding) and NkfWrite.cpp (the JIS, EUC-JP and Shift-JIS
// writers); the tables are in NkfTables.cpp.
//
// Flow of one character: the reading loop (Run) recognises escape sequences and shift-out,
// decides the input encoding from the first bytes with bit 7 set and widens half-width kana;
// every character then travels as a pair (first, second):
//   first 0         a single byte: ASCII, half-width kana 0xA0-0xDF, or a Latin-1 byte;
//   first 0x21-0x7E a JIS X 0208 character (EUC bytes still carry bit 7 until mapped);
//   kEnd            end of input; kDoubleSpace, two ASCII spaces ("Z2").
// The input stage either passes the pair on (JIS and EUC-JP, whose bytes are JIS bytes with or
// without bit 7) or turns a Shift-JIS pair into its JIS pair. The output stage masks the pair
// to 7-bit JIS, applies rotation and full-width-to-ASCII mapping, folds lines when asked, and
// writes the pair with one of three writers into the caller's buffer, never past its size.
//
// All state of a call lives in one Converter object, so calls are independent of each other.
#ifndef PHOTOGEO_SRC_KANJI_NKFCONVERTER_H
#define PHOTOGEO_SRC_KANJI_NKFCONVERTER_H

#include <cstdint>

namespace photogeo::kanji {

constexpr int kEnd = -1;
constexpr int kDoubleSpace = -2;

constexpr int kBackspace = 0x08;
constexpr int kTab = 0x09;
constexpr int kLf = 0x0A;
constexpr int kFormFeed = 0x0C;
constexpr int kCr = 0x0D;
constexpr int kShiftOut = 0x0E;
constexpr int kShiftIn = 0x0F;
constexpr int kEsc = 0x1B;
constexpr int kSingleShift2 = 0x8E;

// The hold buffer of the encoding look-ahead: 64 bytes, one pair per character.
constexpr int kHoldPairs = 32;

// Widths accepted by "f"; anything else folds at the default.
constexpr int kDefaultFoldWidth = 60;
constexpr int kMaxFoldWidth = 511;
// A character that would end beyond width + kFoldSlack columns always starts a new line; up to
// there a line may run over to keep punctuation and ASCII words on it.
constexpr int kFoldSlack = 10;

enum class OutputCode { Jis, Euc, Sjis };
enum class Assumption { None, EucOrJis, Sjis, Latin1 };

// Under shift-out (SO, or ESC "(" "I"), printable bytes are half-width kana.
constexpr int kShiftOutNone = 0;
constexpr int kShiftOutSo = 1;
constexpr int kShiftOutDesignated = 2;

// The sound marks that follow a half-width kana: as kana bytes, and as the printable bytes
// that carry them under shift-out.
constexpr int kVoicedMark = 0xDE;
constexpr int kSemiVoicedMark = 0xDF;
constexpr int kVoicedMarkShifted = 0x5E;
constexpr int kSemiVoicedMarkShifted = 0x5F;

// Bit 7 marks EUC-JP bytes and half-width kana; JIS bytes are the 7-bit rest.
constexpr int kHighBit = 0x80;
constexpr int kSevenBits = 0x7F;

// Input shift states (what the last designator selected).
constexpr int kShiftAscii = 0;
constexpr int kShiftKanji = 1;
constexpr int kShiftKana = 2;

// Kana modes: keep, widen, and "not chosen" (widens, but a Shift-JIS kana byte re-reads the
// text as EUC-JP).
constexpr int kKanaKeep = 0;
constexpr int kKanaWiden = 1;
constexpr int kKanaUndecided = 3;

// Broken-JIS recovery bits: any bit accepts designators whose ESC was lost; bit 1 accepts any
// final byte; bit 2 makes LF return to ASCII.
constexpr int kBrokenAnyFinal = 1 << 1;
constexpr int kBrokenLfResets = 1 << 2;

// Full-width-to-ASCII bits: bit 1 maps the full-width space to one space, bit 2 to two.
constexpr int kZenSpaceOne = 1 << 1;
constexpr int kZenSpaceTwo = 1 << 2;

inline bool IsJisByte(int c) {
    return c >= 0x20 && c <= 0x7E;
}
inline bool IsHalfKana(int c) {
    return c >= 0xA0 && c <= 0xDF;
}
inline bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// A character as it travels through the converter (see the flow above), or a byte pair.
struct Pair {
    int first;
    int second;
};

// Shift-JIS packs two JIS X 0208 rows into each first byte: the first byte (0x81-0x9F,
// 0xE0-0xEF) selects the pair of rows, the second byte the odd row (0x40-0x9E, skipping 0x7F)
// or the even row (0x9F-0xFC) of it. These two are the only places the arithmetic is written;
// the fast path and the general machinery both use them. Out-of-range input gives pairs
// outside 0x21-0x7E, which callers test with IsJisByte.
constexpr Pair SjisToJisPair(int s1, int s2) {
    const int row = s1 < 0xA0 ? 2 * s1 - 0xE1 : 2 * s1 - 0x161;
    if (s2 >= 0x9F) return {row + 1, s2 - 0x7E};
    return {row, s2 < 0x80 ? s2 - 0x1F : s2 - 0x20};
}
constexpr Pair JisToSjisPair(int j1, int j2) {
    return {((j1 - 1) >> 1) + (j1 < 0x5F ? 0x71 : 0xB1),
            (j1 & 1) ? j2 + (j2 < 0x60 ? 0x1F : 0x20) : j2 + 0x7E};
}
// The first and the last character of JIS X 0208 go there and back.
static_assert(SjisToJisPair(0x81, 0x40).first == 0x21 && SjisToJisPair(0x81, 0x40).second == 0x21);
static_assert(JisToSjisPair(0x21, 0x21).first == 0x81 && JisToSjisPair(0x21, 0x21).second == 0x40);
static_assert(SjisToJisPair(0xEF, 0xFC).first == 0x7E && SjisToJisPair(0xEF, 0xFC).second == 0x7E);
static_assert(JisToSjisPair(0x7E, 0x7E).first == 0xEF && JisToSjisPair(0x7E, 0x7E).second == 0xFC);

// What folding does with one character.
enum class FoldAction { Drop, Pass, Space, BreakBefore, Break };

class Converter {
public:
    Converter(const unsigned char* src, char* dst, int size)
        : m_in(src), m_out(dst), m_limit(size) {}

    // Options (Nkf.cpp).
    void ParseOptions(const char* options);
    // Latin-1 input can only be written as JIS, and its high bytes are never kana.
    bool OptionsRejected() const {
        return m_latin1 && (m_output != OutputCode::Jis || m_kanaMode == kKanaKeep);
    }
    // Reads the whole text (NkfRead.cpp) and writes it.
    void Run();
    void Terminate() { PutByte(0); }

private:
    // Byte source: the NUL ends the text and is never stepped over.
    int GetByte() {
        if (*m_in == 0) return kEnd;
        return *m_in++;
    }
    // Only ever called right after a GetByte that did not return kEnd.
    void UngetByte() { --m_in; }

    // Byte sink: bytes beyond the caller's size are dropped.
    void PutByte(int b) {
        if (m_count < m_limit) m_out[m_count++] = static_cast<char>(b);
    }

    // Detection (Nkf.cpp): the input encoding that the options fix, if any, and the look-ahead
    // over characters that fit both EUC-JP and Shift-JIS.
    void StartDetection();
    void LookAhead(int c2, int c1);

    // Reading (NkfRead.cpp).
    void FastRun();
    void Escape();
    int ReadSevenBit(int c1);
    void WidenJisKana(int kana);
    void WidenKana(int kana, int voicedMark, int semiVoicedMark);
    void ReadEucKana();

    // Conversions (NkfConvert.cpp): Shift-JIS to JIS, the output stage, folding.

    void Send(int c2, int c1) {
        if (m_inShift == kShiftKanji) {
            Output(c2, c1);
        } else {
            Input(c2, c1);
        }
    }
    void Input(int c2, int c1) {
        if (m_inputSjis) {
            SjisToJis(c2, c1);
        } else {
            Output(c2, c1);
        }
    }
    void SjisToJis(int c2, int c1);
    void Output(int c2, int c1);
    void OutputWide(uint16_t jis) { Output(jis >> 8, jis & 0xFF); }
    void Emit(int c2, int c1);
    FoldAction Fold(int c2, int c1);

    // Writers (NkfWrite.cpp).
    void Write(int c2, int c1);
    void WriteSingle(int c1);
    void WriteEuc(int c2, int c1);
    void WriteSjis(int c2, int c1);
    void WriteJis(int c2, int c1);
    void JisToAscii();

    const unsigned char* m_in;
    char* m_out;
    int m_limit;
    int m_count = 0;

    OutputCode m_output = OutputCode::Jis;
    bool m_inputSjis = false;
    bool m_established = false;
    Assumption m_assumption = Assumption::None;
    bool m_latin1 = false;
    int m_kanaMode = kKanaUndecided;
    int m_broken = 0;
    int m_zenMap = 0;
    bool m_rotate = false;
    bool m_mimeFlag = true;
    int m_mimeKind = 0;
    bool m_crMode = false;
    bool m_deleteCr = false;
    bool m_fold = false;
    int m_foldWidth = 0;
    int m_foldLength = 0;
    Pair m_foldPrevious = {0, 0};
    int m_kanjiFinal = 'B';
    int m_asciiFinal = 'B';
    int m_inShift = kShiftAscii;
    int m_shiftOut = kShiftOutNone;
    int m_outShift = kShiftAscii;
    Pair m_hold[kHoldPairs] = {};
    int m_holdCount = 0;
};

}  // namespace photogeo::kanji

#endif
