// The Japanese text converter behind the exported nkf: a byte-level state machine that reads
// a NUL-terminated text in JIS, EUC-JP or Shift-JIS and writes it, in one pass, in the chosen
// output encoding. The EXIF readers call it for JIS user comments; the host calls it directly.
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
#include "photogeo/Nkf.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "kanji/NkfTables.h"

namespace {

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

bool IsJisByte(int c) {
    return c >= 0x20 && c <= 0x7E;
}
bool IsHalfKana(int c) {
    return c >= 0xA0 && c <= 0xDF;
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Space, tab, the full-width space and the double space: folding writes each as one space.
bool IsBlank(int c2, int c1) {
    return (c2 == 0 && (c1 == ' ' || c1 == kTab)) || (c2 == 0x21 && c1 == 0x21) ||
           c2 == kDoubleSpace;
}

// Characters that folding keeps off the start of a line: the Japanese comma and full stop,
// full-width comma, period, colon, semicolon, question and exclamation marks and the two sound
// marks; their half-width kana counterparts and the prolonged sound mark; ASCII closing
// brackets and punctuation.
bool MustNotBeginLine(int c2, int c1) {
    static constexpr int kSingles[] = {0xA1, 0xA3, 0xA4, 0xB0, 0xDE, 0xDF, ')', ']',
                                       '}',  '.',  ',',  '!',  '?',  '/',  ':', ';'};
    if (c2 == 0x21) return (c1 >= 0x22 && c1 <= 0x25) || (c1 >= 0x27 && c1 <= 0x2C);
    return c2 == 0 && std::find(std::begin(kSingles), std::end(kSingles), c1) != std::end(kSingles);
}

// atoi without its undefined overflow: the value saturates, which any width check rejects.
int ParseWidth(const char* p) {
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; IsDigit(static_cast<unsigned char>(*p)); ++p) {
        if (value < INT_MAX) value = value * 10 + (*p - '0');
    }
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(negative ? -value : value);
}

// What folding does with one character.
enum class FoldAction { Drop, Pass, Space, BreakBefore, Break };

class Converter {
public:
    Converter(const unsigned char* src, char* dst, int size) : in_(src), out_(dst), limit_(size) {}

    void ParseOptions(const char* options);
    // Latin-1 input can only be written as JIS, and its high bytes are never kana.
    bool OptionsRejected() const {
        return latin1_ && (output_ != OutputCode::Jis || kanaMode_ == kKanaKeep);
    }
    void Run();
    void Terminate() { PutByte(0); }

private:
    struct Pair {
        int first;
        int second;
    };

    // Byte source: the NUL ends the text and is never stepped over.
    int GetByte() {
        if (*in_ == 0) return kEnd;
        return *in_++;
    }
    // Only ever called right after a GetByte that did not return kEnd.
    void UngetByte() { --in_; }

    // Byte sink: bytes beyond the caller's size are dropped.
    void PutByte(int b) {
        if (count_ < limit_) out_[count_++] = static_cast<char>(b);
    }

    void FastRun();
    void Escape();
    int ReadSevenBit(int c1);
    void WidenJisKana(int kana);
    void WidenKana(int kana, int voicedMark, int semiVoicedMark);
    void ReadEucKana();
    void LookAhead(int c2, int c1);

    void Send(int c2, int c1) {
        if (inShift_ == kShiftKanji) {
            Output(c2, c1);
        } else {
            Input(c2, c1);
        }
    }
    void Input(int c2, int c1) {
        if (inputSjis_) {
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
    void Write(int c2, int c1);
    void WriteSingle(int c1);
    void WriteEuc(int c2, int c1);
    void WriteSjis(int c2, int c1);
    void WriteJis(int c2, int c1);
    void JisToAscii();

    const unsigned char* in_;
    char* out_;
    int limit_;
    int count_ = 0;

    OutputCode output_ = OutputCode::Jis;
    bool inputSjis_ = false;
    bool established_ = false;
    Assumption assumption_ = Assumption::None;
    bool latin1_ = false;
    int kanaMode_ = kKanaUndecided;
    int broken_ = 0;
    int zenMap_ = 0;
    bool rotate_ = false;
    bool mimeFlag_ = true;
    int mimeKind_ = 0;
    bool crMode_ = false;
    bool deleteCr_ = false;
    bool fold_ = false;
    int foldWidth_ = 0;
    int foldLength_ = 0;
    Pair foldPrevious_ = {0, 0};
    int kanjiFinal_ = 'B';
    int asciiFinal_ = 'B';
    int inShift_ = kShiftAscii;
    int shiftOut_ = 0;
    int outShift_ = kShiftAscii;
    Pair hold_[kHoldPairs] = {};
    int holdCount_ = 0;
};

void Converter::ParseOptions(const char* p) {
    for (; *p != 0; ++p) {
        switch (*p) {
            case 'B':
                if (IsDigit(p[1])) {
                    broken_ |= 1 << (*++p - '0');
                } else {
                    broken_ |= 1;
                }
                break;
            case 'E':
            case 'J':
                assumption_ = Assumption::EucOrJis;
                break;
            case 'S':
                assumption_ = Assumption::Sjis;
                if (kanaMode_ == kKanaUndecided) kanaMode_ = kKanaWiden;
                break;
            case 'l':
                latin1_ = true;
                assumption_ = Assumption::Latin1;
                break;
            case 'X':
                kanaMode_ = kKanaWiden;
                break;
            case 'x':
                kanaMode_ = kKanaKeep;
                break;
            case 'Z':
                if (IsDigit(p[1])) {
                    zenMap_ |= 1 << (*++p - '0');
                } else {
                    zenMap_ |= 1;
                }
                break;
            case 'e':
                output_ = OutputCode::Euc;
                break;
            case 's':
                output_ = OutputCode::Sjis;
                break;
            case 'j':
            case 'n':
            case 'M':
                output_ = OutputCode::Jis;
                break;
            case 'f':
                fold_ = true;
                foldWidth_ = ParseWidth(p + 1);
                if (foldWidth_ < 1 || foldWidth_ > kMaxFoldWidth) foldWidth_ = kDefaultFoldWidth;
                while (IsDigit(p[1])) ++p;
                break;
            case 'i':
                if (p[1] == '@' || p[1] == 'B') kanjiFinal_ = *++p;
                break;
            case 'o':
                if (p[1] == 'J' || p[1] == 'B' || p[1] == 'H') asciiFinal_ = *++p;
                break;
            case 'm':
                mimeFlag_ = true;
                if (p[1] == 'B' || p[1] == 'Q') {
                    mimeKind_ = *++p;
                } else if (p[1] == '0') {
                    mimeFlag_ = false;
                }
                break;
            case 'r':
                rotate_ = true;
                break;
            case 'c':
                crMode_ = true;
                break;
            case 'd':
                deleteCr_ = true;
                break;
            default:
                break;
        }
    }
}

void Converter::Run() {
    switch (assumption_) {
        case Assumption::EucOrJis:
        case Assumption::Latin1:
            established_ = true;
            inputSjis_ = false;
            break;
        case Assumption::Sjis:
            established_ = true;
            inputSjis_ = true;
            break;
        case Assumption::None:
            established_ = false;
            inputSjis_ = false;
            break;
    }
    inShift_ = kShiftAscii;
    shiftOut_ = 0;
    outShift_ = kShiftAscii;

    // Folding, rotation and mapping look at every character: only without them do plain
    // runs take the short way.
    const bool plainOutput = !fold_ && !rotate_ && zenMap_ == 0;
    int c2 = 0;
    for (int c1;;) {
        if (c2 == 0 && plainOutput) FastRun();
        if ((c1 = GetByte()) == kEnd) break;
        if (c2 != 0) {
            if (c2 < 0x80) {
                // Second byte of a JIS pair: a control byte or DEL breaks the pair.
                if (c1 != 0x7F && c1 > 0x20) Send(c2, c1);
            } else if (!established_) {
                if (c1 > 0xA0) {
                    LookAhead(c2, c1);
                } else if (c1 >= 0x40) {
                    // Only Shift-JIS has second bytes in 0x40-0xA0.
                    established_ = true;
                    inputSjis_ = true;
                    Send(c2, c1);
                }
            } else if (c1 >= 0x40) {
                Send(c2, c1);
            }
            c2 = 0;
            continue;
        }
        if (c1 < 0x80) {
            c2 = ReadSevenBit(c1);
            continue;
        }
        if (latin1_) {
            Send(0, c1);
            continue;
        }
        if (!established_) {
            // EUC-JP first bytes are 0xA1-0xFE, Shift-JIS ones 0x81-0x9F and 0xE0-0xFC.
            if (c1 < 0xA0) {
                established_ = true;
                inputSjis_ = true;
            } else if (c1 < 0xE0) {
                established_ = true;
                inputSjis_ = false;
            }
            c2 = c1;
            continue;
        }
        if (inputSjis_ && IsHalfKana(c1)) {
            if (kanaMode_ == kKanaUndecided) {
                inputSjis_ = false;
                c2 = c1;
            } else if (kanaMode_ == kKanaKeep) {
                Send(0, c1);
            } else {
                WidenKana(c1, 0xDE, 0xDF);
            }
            continue;
        }
        if (!inputSjis_) {
            if (c1 == kSingleShift2) {
                ReadEucKana();
                continue;
            }
            // Not an EUC-JP first byte: the text is Shift-JIS after all.
            if (c1 < 0xA0) inputSjis_ = true;
        }
        c2 = c1;
    }
    Input(kEnd, 0);
}

// The bulk of a text, converted without the general machinery: JIS kanji pairs and the usual
// designators, EUC-JP and Shift-JIS pairs once the input is established, and printable ASCII,
// each written at once in
// an output state that needs no designator. Whatever the reading loop would treat in any other
// way (control bytes, escapes, kana, invalid pairs, the end of the room) is left to it, so the
// bytes written are exactly those the reading loop and the writers would write.
void Converter::FastRun() {
    if (limit_ < 2 || shiftOut_ != 0) return;
    // The state is copied into locals: stores through the char output could otherwise alias
    // it and force a reload after every byte.
    const unsigned char* p = in_;
    char* const out = out_;
    int n = count_;
    int inShift = inShift_;
    const int last = limit_ - 2;  // every step writes at most two bytes
    const OutputCode output = output_;
    const bool jisKanji = output != OutputCode::Jis || outShift_ == kShiftKanji;
    const bool jisAscii = output != OutputCode::Jis || outShift_ == kShiftAscii;
    const bool equalsSpecial = mimeFlag_ && mimeKind_ == 0;
    const bool dollarSpecial = broken_ != 0 && mimeKind_ == 0;
    const bool parenSpecial = broken_ != 0;
    // Pairs with bit 7 set: 0 not yet (the reading loop decides), else EUC-JP or Shift-JIS.
    const int eightBit = !established_ || latin1_ ? 0 : inputSjis_ ? 2 : 1;
    while (n <= last) {
        // Each byte is read only after the one before it has been found not to be the
        // terminator.
        const int c1 = p[0];
        int j1;
        int j2;
        if (c1 == kEsc) {
            // The designators of ordinary JIS text.
            if (p[1] == '$' && (p[2] == 'B' || p[2] == '@')) {
                inShift = kShiftKanji;
            } else if (p[1] == '(' && (p[2] == 'B' || p[2] == 'J' || p[2] == 'H')) {
                inShift = kShiftAscii;
            } else {
                break;
            }
            p += 3;
            continue;
        }
        if (inShift == kShiftKanji) {
            if (c1 < 0x21 || c1 > 0x7E || (c1 == '(' && parenSpecial)) break;
            const int c = p[1];
            if (c < 0x21 || c > 0x7E) break;
            j1 = c1;
            j2 = c;
        } else if (c1 >= 0x80) {
            const int c = p[1];
            if (eightBit == 0 || c < 0x40) break;
            if (eightBit == 2) {
                if (IsHalfKana(c1)) break;
                const int row = c1 < 0xA0 ? 2 * c1 - 0xE1 : 2 * c1 - 0x161;
                if (c >= 0x9F) {
                    j1 = row + 1;
                    j2 = c - 0x7E;
                } else {
                    j1 = row;
                    j2 = c < 0x80 ? c - 0x1F : c - 0x20;
                }
            } else {
                if (c1 < 0xA0) break;
                j1 = c1 & 0x7F;
                j2 = c & 0x7F;
            }
            // Out-of-range pairs change the detection state: the reading loop handles them.
            if (!IsJisByte(j1) || !IsJisByte(j2)) break;
        } else {
            if (c1 < 0x20 || c1 == 0x7F || !jisAscii) break;
            if ((c1 == '=' && equalsSpecial) || (c1 == '$' && dollarSpecial)) break;
            out[n++] = static_cast<char>(c1);
            ++p;
            continue;
        }
        if (!jisKanji) break;
        switch (output) {
            case OutputCode::Jis:
                out[n] = static_cast<char>(j1);
                out[n + 1] = static_cast<char>(j2);
                break;
            case OutputCode::Euc:
                out[n] = static_cast<char>(j1 | 0x80);
                out[n + 1] = static_cast<char>(j2 | 0x80);
                break;
            case OutputCode::Sjis:
                out[n] = static_cast<char>(((j1 - 1) >> 1) + (j1 < 0x5F ? 0x71 : 0xB1));
                out[n + 1] = static_cast<char>(j1 & 1 ? j2 + (j2 < 0x60 ? 0x1F : 0x20) : j2 + 0x7E);
                break;
        }
        n += 2;
        p += 2;
    }
    in_ = p;
    count_ = n;
    inShift_ = inShift;
}

// A byte below 0x80 with no pair pending. Returns the byte when it is held as the first byte of
// a JIS pair, else 0.
int Converter::ReadSevenBit(int c1) {
    if (c1 < 0x21 || c1 == 0x7F) {
        if (c1 == kShiftIn) {
            shiftOut_ = 0;
        } else if (c1 == kShiftOut) {
            shiftOut_ = 1;
        } else if (c1 == kEsc) {
            Escape();
        } else if (c1 == kLf && (broken_ & kBrokenLfResets)) {
            inShift_ = kShiftAscii;
            Input(0, c1);
        } else {
            Send(0, c1);
        }
        return 0;
    }
    if (shiftOut_ != 0) {
        WidenJisKana(c1 | 0x80);
        return 0;
    }
    if (c1 == '(' && broken_ != 0) {
        if (inShift_ != kShiftKanji) {
            Send(0, c1);
            return 0;
        }
        if (mimeKind_ != 0) return c1;
        // In kanji mode "(" can only be a designator that lost its ESC.
        int c = GetByte();
        if (c == 'B' || c == 'J' || c == 'H') {
            inShift_ = kShiftAscii;
            shiftOut_ = 0;
        } else {
            Output(0, '(');
            if (c != kEnd) Send(0, c);
        }
        return 0;
    }
    if (inShift_ == kShiftKanji) return c1;
    if (c1 == '=' && mimeFlag_ && mimeKind_ == 0) {
        int c = GetByte();
        if (c == '?') {
            Send(0, c);
        } else {
            Send(0, c1);
            if (c != kEnd) UngetByte();
        }
        return 0;
    }
    if (c1 == '$' && broken_ != 0 && mimeKind_ == 0) {
        int c = GetByte();
        if (c == '@' || c == 'B') {
            inShift_ = kShiftKanji;
            shiftOut_ = 0;
        } else {
            Output(0, '$');
            if (c != kEnd) Output(0, c);
        }
        return 0;
    }
    Send(0, c1);
    return 0;
}

// After ESC: designators change the shift state; anything else is copied as it came.
void Converter::Escape() {
    int c = GetByte();
    if (c == kEnd) {
        Output(0, kEsc);
        return;
    }
    if (c == '$') {
        int c3 = GetByte();
        if (c3 == '@' || c3 == 'B' || (c3 != '(' && c3 != kEnd && (broken_ & kBrokenAnyFinal))) {
            inShift_ = kShiftKanji;
            shiftOut_ = 0;
            return;
        }
        if (c3 == '(') {
            int c4 = GetByte();
            if (c4 == '@' || c4 == 'B') {
                inShift_ = kShiftKanji;
                shiftOut_ = 0;
                return;
            }
            Output(0, kEsc);
            Output(0, '$');
            Output(0, '(');
            if (c4 != kEnd) Output(0, c4);
            return;
        }
        Output(0, kEsc);
        Output(0, '$');
        if (c3 != kEnd) Output(0, c3);
        return;
    }
    if (c == '(') {
        int c3 = GetByte();
        if (c3 == 'I') {
            inShift_ = kShiftKana;
            shiftOut_ = 2;
            return;
        }
        if (c3 == 'B' || c3 == 'J' || c3 == 'H' || (c3 != kEnd && (broken_ & kBrokenAnyFinal))) {
            inShift_ = kShiftAscii;
            shiftOut_ = 0;
            return;
        }
        Output(0, kEsc);
        Output(0, '(');
        if (c3 != kEnd) Send(0, c3);
        return;
    }
    Output(0, kEsc);
    Send(0, c);
}

// A printable byte under shift-out, already turned into a half-width kana byte.
void Converter::WidenJisKana(int kana) {
    if (kanaMode_ == kKanaKeep || (latin1_ && inShift_ != kShiftKana) || !IsHalfKana(kana)) {
        Send(0, kana);
        return;
    }
    // Under shift-out the sound marks 0xDE and 0xDF arrive as "^" and "_".
    WidenKana(kana, 0x5E, 0x5F);
}

// Writes the full-width form of a half-width kana, merged with a sound mark that follows it.
void Converter::WidenKana(int kana, int voicedMark, int semiVoicedMark) {
    int i = kana - 0xA0;
    if (kanji::kanaVoiced[i] == 0 && kanji::kanaSemiVoiced[i] == 0) {
        OutputWide(kanji::kanaToWide[i]);
        return;
    }
    int c = GetByte();
    if (c == voicedMark && kanji::kanaVoiced[i] != 0) {
        OutputWide(kanji::kanaVoiced[i]);
        return;
    }
    if (c == semiVoicedMark && kanji::kanaSemiVoiced[i] != 0) {
        OutputWide(kanji::kanaSemiVoiced[i]);
        return;
    }
    if (c != kEnd) UngetByte();
    OutputWide(kanji::kanaToWide[i]);
}

// After an EUC-JP single shift 2 (0x8E): a half-width kana, whose sound mark, if any, comes as
// another 0x8E pair.
void Converter::ReadEucKana() {
    int c = GetByte();
    if (c == kEnd) {
        Output(0, kSingleShift2);
        return;
    }
    for (;;) {
        if (kanaMode_ == kKanaKeep || !IsHalfKana(c)) {
            Send(0, c);
            return;
        }
        int i = c - 0xA0;
        if (kanji::kanaVoiced[i] == 0 && kanji::kanaSemiVoiced[i] == 0) {
            OutputWide(kanji::kanaToWide[i]);
            return;
        }
        int next = GetByte();
        if (next != kSingleShift2) {
            if (next != kEnd) UngetByte();
            OutputWide(kanji::kanaToWide[i]);
            return;
        }
        int mark = GetByte();
        if (mark == 0xDE && kanji::kanaVoiced[i] != 0) {
            OutputWide(kanji::kanaVoiced[i]);
            return;
        }
        if (mark == 0xDF && kanji::kanaSemiVoiced[i] != 0) {
            OutputWide(kanji::kanaSemiVoiced[i]);
            return;
        }
        OutputWide(kanji::kanaToWide[i]);
        if (mark == kEnd) {
            Output(0, kSingleShift2);
            return;
        }
        c = mark;
    }
}

// A first byte 0xE0-0xFF with a second byte above 0xA0 is valid in both EUC-JP and Shift-JIS.
// The following characters are held until one of them decides (or the buffer fills, or the
// text ends), then all held characters go through the input stage as it then stands: EUC-JP
// when nothing decided.
void Converter::LookAhead(int c2, int c1) {
    holdCount_ = 0;
    hold_[holdCount_++] = {c2, c1};
    int first = 0;
    for (int c; (c = GetByte()) != kEnd;) {
        if (first != 0) {
            if (!established_) {
                if (c < 0x40) {
                    first = 0;
                } else if (c <= 0xA0) {
                    established_ = true;
                    inputSjis_ = true;
                }
            }
        } else if (c >= 0x80) {
            if (c < 0xA0) {
                established_ = true;
                inputSjis_ = true;
            } else if (c < 0xE0) {
                established_ = true;
                inputSjis_ = false;
            }
            first = c;
            continue;
        }
        hold_[holdCount_++] = {first, c};
        first = 0;
        if (holdCount_ == kHoldPairs || established_) break;
    }
    for (int i = 0; i < holdCount_; ++i) Input(hold_[i].first, hold_[i].second);
}

// Shift-JIS rows pack two JIS rows each: the first byte selects the pair of rows, the second
// byte (0x40-0x9E or 0x9F-0xFC) the odd or the even row of it.
void Converter::SjisToJis(int c2, int c1) {
    if (c2 == 0 || c2 == kEnd) {
        Output(c2, c1);
        return;
    }
    int row = c2 < 0xA0 ? 2 * c2 - 0xE1 : 2 * c2 - 0x161;
    if (c1 >= 0x9F) {
        Output(row + 1, c1 - 0x7E);
    } else {
        Output(row, c1 < 0x80 ? c1 - 0x1F : c1 - 0x20);
    }
}

// The output stage: 7-bit JIS pair, rotation, full-width-to-ASCII mapping.
void Converter::Output(int c2, int c1) {
    if (c2 != 0) {
        c1 &= 0x7F;
        if (c2 == kEnd) {
            Emit(kEnd, c1);
            return;
        }
        c2 &= 0x7F;
    }
    if (rotate_) {
        if (c2 != 0) {
            if (c2 >= 0x21 && c2 <= 0x7E) c2 += c2 < 0x50 ? 47 : -47;
            if (c1 >= 0x21 && c1 <= 0x7E) c1 += c1 < 0x50 ? 47 : -47;
        } else if ((c1 >= 'A' && c1 <= 'Z') || (c1 >= 'a' && c1 <= 'z')) {
            c1 += (c1 & 0x1F) <= 13 ? 13 : -13;
        }
    }
    if (zenMap_ != 0) {
        if (c2 == 0x23) {
            c2 = 0;
        } else if (c2 == 0x21) {
            if (c1 == 0x21) {
                if (zenMap_ & kZenSpaceOne) {
                    c2 = 0;
                    c1 = ' ';
                } else if (zenMap_ & kZenSpaceTwo) {
                    c2 = kDoubleSpace;
                    c1 = ' ';
                }
            } else if (c1 >= 0x20 && kanji::wideSymbolToAscii[c1 - 0x20] != 0) {
                c2 = 0;
                c1 = kanji::wideSymbolToAscii[c1 - 0x20];
            }
        }
    }
    Emit(c2, c1);
}

void Converter::Emit(int c2, int c1) {
    if (!fold_) {
        Write(c2, c1);
        return;
    }
    switch (Fold(c2, c1)) {
        case FoldAction::Drop:
            break;
        case FoldAction::Pass:
            Write(c2, c1);
            break;
        case FoldAction::Space:
            Write(0, ' ');
            break;
        case FoldAction::BreakBefore:
            Write(0, kLf);
            Write(c2, c1);
            break;
        case FoldAction::Break:
            Write(0, kLf);
            break;
    }
}

FoldAction Converter::Fold(int c2, int c1) {
    const Pair prev = foldPrevious_;
    const bool prevLf = prev.first == 0 && prev.second == kLf;
    const bool prevBlank = IsBlank(prev.first, prev.second);
    if (c2 == kEnd) return foldLength_ != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
    if (c2 == 0) {
        if (c1 == kCr) return FoldAction::Drop;
        if (c1 == kBackspace) {
            if (foldLength_ > 0) --foldLength_;
            return FoldAction::Pass;
        }
        if (c1 == kLf) {
            foldPrevious_ = {0, kLf};
            if (prevLf) {
                // A paragraph break survives as an empty line.
                FoldAction action = foldLength_ != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
                foldLength_ = 0;
                return action;
            }
            // Lines of Japanese text join without a space.
            if (prev.first > 0 || (prev.first == 0 && IsHalfKana(prev.second))) {
                return FoldAction::Drop;
            }
            if (prevBlank) return FoldAction::Drop;
            if (foldLength_ < foldWidth_) {
                ++foldLength_;
                return FoldAction::Space;
            }
            foldLength_ = 0;
            return FoldAction::Break;
        }
        if (c1 == kFormFeed) {
            foldPrevious_ = {0, kLf};
            FoldAction action = foldLength_ != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
            foldLength_ = 0;
            return action;
        }
    }
    if (IsBlank(c2, c1)) {
        if (prevBlank) return FoldAction::Drop;
        foldPrevious_ = {c2, c1};
        if (foldLength_ < foldWidth_) {
            ++foldLength_;
            return FoldAction::Space;
        }
        foldLength_ = 0;
        return FoldAction::Break;
    }

    foldPrevious_ = {c2, c1};
    const int width = c2 != 0 ? 2 : 1;
    const int length = foldLength_ + width;
    if (length <= foldWidth_) {
        foldLength_ = length;
        return FoldAction::Pass;
    }
    if (length < foldWidth_ + kFoldSlack) {
        // Nor is an ASCII word split.
        const bool inWord = c2 == 0 && c1 < 0x80 && prev.first == 0 && prev.second < 0x80 &&
                            !IsBlank(prev.first, prev.second) && prev.second != kLf &&
                            prev.second != kCr;
        if (inWord || MustNotBeginLine(c2, c1)) {
            foldLength_ = length;
            return FoldAction::Pass;
        }
    }
    foldLength_ = width;
    return FoldAction::BreakBefore;
}

void Converter::Write(int c2, int c1) {
    switch (output_) {
        case OutputCode::Jis:
            WriteJis(c2, c1);
            break;
        case OutputCode::Euc:
            WriteEuc(c2, c1);
            break;
        case OutputCode::Sjis:
            WriteSjis(c2, c1);
            break;
    }
}

// LF, CR and every other single byte that is not a half-width kana.
void Converter::WriteSingle(int c1) {
    if (c1 == kLf) {
        if (crMode_) PutByte(kCr);
        PutByte(kLf);
    } else if (c1 == kCr) {
        if (!deleteCr_) PutByte(kCr);
    } else {
        PutByte(c1);
    }
}

void Converter::WriteEuc(int c2, int c1) {
    if (c2 == kDoubleSpace) {
        PutByte(' ');
        PutByte(' ');
    } else if (c2 == kEnd) {
        return;
    } else if (c2 == 0) {
        if (IsHalfKana(c1)) {
            PutByte(kSingleShift2);
            PutByte(c1);
        } else {
            WriteSingle(c1);
        }
    } else if (IsJisByte(c2) && IsJisByte(c1)) {
        PutByte(c2 | 0x80);
        PutByte(c1 | 0x80);
    } else {
        // Not a character: the bytes were not what the guessed encoding made of them.
        established_ = false;
    }
}

void Converter::WriteSjis(int c2, int c1) {
    if (c2 == kDoubleSpace) {
        PutByte(' ');
        PutByte(' ');
    } else if (c2 == kEnd) {
        return;
    } else if (c2 == 0) {
        if (IsHalfKana(c1)) {
            PutByte(c1);
        } else {
            WriteSingle(c1);
        }
    } else if (IsJisByte(c2) && IsJisByte(c1)) {
        PutByte(((c2 - 1) >> 1) + (c2 < 0x5F ? 0x71 : 0xB1));
        if (c2 & 1) {
            PutByte(c1 + (c1 < 0x60 ? 0x1F : 0x20));
        } else {
            PutByte(c1 + 0x7E);
        }
    } else {
        established_ = false;
    }
}

void Converter::JisToAscii() {
    if (outShift_ != kShiftAscii) {
        PutByte(kEsc);
        PutByte('(');
        PutByte(asciiFinal_);
        outShift_ = kShiftAscii;
    }
}

void Converter::WriteJis(int c2, int c1) {
    if (c2 == kDoubleSpace) {
        JisToAscii();
        PutByte(' ');
        PutByte(' ');
    } else if (c2 == kEnd) {
        JisToAscii();
    } else if (c2 == 0) {
        // Latin-1 text keeps its high bytes, except inside an explicit ESC "(" "I".
        if (IsHalfKana(c1) && !(latin1_ && inShift_ != kShiftKana)) {
            if (outShift_ != kShiftKana) {
                PutByte(kEsc);
                PutByte('(');
                PutByte('I');
                outShift_ = kShiftKana;
            }
            PutByte(c1 & 0x7F);
        } else {
            JisToAscii();
            WriteSingle(c1);
        }
    } else {
        if (outShift_ != kShiftKanji) {
            PutByte(kEsc);
            PutByte('$');
            PutByte(kanjiFinal_);
            outShift_ = kShiftKanji;
        }
        if (IsJisByte(c2) && IsJisByte(c1)) {
            PutByte(c2);
            PutByte(c1);
        }
    }
}

}  // namespace

extern "C" int nkf(const unsigned char* src, char* dst, int size, const char* options) {
    static const unsigned char kEmpty[1] = {0};
    Converter converter(src != nullptr ? src : kEmpty, dst, dst != nullptr ? size : 0);
    converter.ParseOptions(options != nullptr ? options : "");
    if (converter.OptionsRejected()) return -1;
    converter.Run();
    converter.Terminate();
    return 0;
}
