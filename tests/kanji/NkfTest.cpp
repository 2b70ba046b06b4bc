// The converter's behaviour on the cases that have gone wrong in converters of this kind:
// buffer limits, escape sequences (closed, unclosed, broken, unknown), encoding detection with
// its look-ahead, half-width kana with sound marks, options, mapping and folding.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "NkfTestSupport.h"

namespace {

const std::string kKanjiJis = "\x1b$B0!\x1b(B";  // JIS 0x3021, the first level-1 kanji
const std::string kKanjiSjis = "\x88\x9f";
const std::string kKanjiEuc = "\xb0\xa1";

TEST(Nkf, EmptyInputWritesOnlyTheTerminator) {
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(nkf(reinterpret_cast<const unsigned char*>(""), out, 4, "s"), 0);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], 'x');
    EXPECT_EQ(nkf(nullptr, out, 4, nullptr), 0);
    EXPECT_EQ(out[0], '\0');
}

TEST(Nkf, OutputIsCutAtSize) {
    const unsigned char* input = reinterpret_cast<const unsigned char*>("\x1b$B0!0\"\x1b(B");
    char out[8];
    std::memset(out, 'x', sizeof out);
    // Two kanji in Shift-JIS need 4 bytes and the terminator: with 3 the terminator is lost.
    EXPECT_EQ(nkf(input, out, 3, "s"), 0);
    EXPECT_EQ(std::string(out, 4), "\x88\x9f\x88x");
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(nkf(input, out, 5, "s"), 0);
    EXPECT_EQ(std::string(out, 6), std::string("\x88\x9f\x88\xa0\0x", 6));
    std::memset(out, 'x', sizeof out);
    for (int size : {0, -1, INT_MIN}) {
        EXPECT_EQ(nkf(input, out, size, "s"), 0);
        EXPECT_EQ(out[0], 'x');
    }
    EXPECT_EQ(nkf(input, nullptr, 100, "s"), 0);
}

TEST(Nkf, JisInputToEachOutput) {
    EXPECT_EQ(Nkf(kKanjiJis, "s"), kKanjiSjis);
    EXPECT_EQ(Nkf(kKanjiJis, "e"), kKanjiEuc);
    EXPECT_EQ(Nkf(kKanjiJis, "j"), kKanjiJis);
    EXPECT_EQ(Nkf(kKanjiJis, ""), kKanjiJis);
    // An unclosed kanji run is still closed, and the designators can be chosen.
    EXPECT_EQ(Nkf("\x1b$B0!", "j"), kKanjiJis);
    EXPECT_EQ(Nkf("a" + kKanjiJis + "b", "i@oJ"), "a\x1b$@0!\x1b(Jb");
    EXPECT_EQ(Nkf("\x1b$(B0!\x1b(J", "s"), kKanjiSjis);
}

TEST(Nkf, Latin1RejectsOtherOutputsAndKeepsDstUntouched) {
    for (const char* options : {"ls", "le", "lx", "sl"}) {
        char out[8] = "untouch";
        EXPECT_EQ(nkf(reinterpret_cast<const unsigned char*>("caf\xe9"), out, 8, options), -1);
        EXPECT_STREQ(out, "untouch");
    }
    EXPECT_EQ(Nkf("caf\xe9 \xc9t\xe9", "l"), "caf\xe9 \xc9t\xe9");
}

TEST(Nkf, UnknownAndTruncatedEscapesAreCopied) {
    EXPECT_EQ(Nkf("a\x1b$Ab", "s"), "a\x1b$Ab");
    EXPECT_EQ(Nkf("a\x1b$(Qb", "s"), "a\x1b$(Qb");
    EXPECT_EQ(Nkf("a\x1b(Zb", "s"), "a\x1b(Zb");
    EXPECT_EQ(Nkf("a\x1bxb", "s"), "a\x1bxb");
    for (const char* tail : {"\x1b", "\x1b$", "\x1b$(", "\x1b("}) {
        EXPECT_EQ(Nkf(std::string("a") + tail, "s"), std::string("a") + tail);
    }
    // A control byte inside a kanji pair drops the pair, not the rest of the line.
    EXPECT_EQ(Nkf("\x1b$B0\n0!\x1b(B", "s"), kKanjiSjis);
}

TEST(Nkf, BrokenJisRecovery) {
    EXPECT_EQ(Nkf("$B0!(Bx", "Bs"), kKanjiSjis + "x");
    EXPECT_EQ(Nkf("$B0!(Bx", "s"), "$B0!(Bx");
    EXPECT_EQ(Nkf("$x(y", "Bs"), "$x(y");
    EXPECT_EQ(Nkf("\x1b$Q0!\x1b(Qx", "B1s"), kKanjiSjis + "x");
    // With "B2" a line feed ends a kanji run whose closing designator was lost.
    EXPECT_EQ(Nkf("\x1b$B0!\nab", "B2s"), kKanjiSjis + "\nab");
}

TEST(Nkf, MimeOpeningLosesItsEqualsSignUnlessTurnedOff) {
    EXPECT_EQ(Nkf("a=?b=c=", "s"), "a?b=c=");
    EXPECT_EQ(Nkf("a=?b", "m0s"), "a=?b");
}

TEST(Nkf, EucDetectedAfterAmbiguousFirstCharacter) {
    // 0xE4 0xB8 fits both EUC-JP and Shift-JIS; the hiragana 0xA4 0xA2 decides EUC-JP.
    EXPECT_EQ(Nkf("\xe4\xb8\xa4\xa2", "s"), *Iconv("EUC-JP", "SHIFT_JIS", "\xe4\xb8\xa4\xa2"));
    // Undecided to the end: read as EUC-JP.
    EXPECT_EQ(Nkf("\xe4\xb8\xe4\xb8", "j"), *Iconv("EUC-JP", "ISO-2022-JP", "\xe4\xb8\xe4\xb8"));
    // A Shift-JIS second byte 0x40-0xA0 after ambiguous characters decides Shift-JIS.
    std::string sjis = "\xe4\xb8\xe4\xb8\x88\x9f";
    EXPECT_EQ(Nkf(sjis, "e"), *Iconv("SHIFT_JIS", "EUC-JP", sjis));
    // More ambiguous characters than the look-ahead holds.
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\xe4\xb8";
    EXPECT_EQ(Nkf(many + "\xa4\xa2", "s"), *Iconv("EUC-JP", "SHIFT_JIS", many + "\xa4\xa2"));
}

TEST(Nkf, HalfWidthKanaSoundMarks) {
    // Shift-JIS 0xB6 0xDE with "S": one voiced character, JIS 0x252C.
    EXPECT_EQ(Nkf("\xb6\xde", "sS"), "\x83\x4b");
    EXPECT_EQ(Nkf("\xb6\xde", "Sx s"), "\xb6\xde");
    // EUC-JP: the mark comes as another 0x8E pair; a lone trailing 0x8E is kept.
    EXPECT_EQ(Nkf("\x8e\xb6\x8e\xde", "Es"), "\x83\x4b");
    EXPECT_EQ(Nkf("\x8e\xb6\x8e\xb6\x8e\xdf", "Es"), "\x83\x4a\x83\x4a\x81\x4b");
    EXPECT_EQ(Nkf("\x8e\xb6\x8e", "Es"), "\x83\x4a\x8e");
    EXPECT_EQ(Nkf("\x8e", "Es"), "\x8e");
    // JIS: the marks are "^" and "_" under shift-out; "^" outside it is ASCII.
    EXPECT_EQ(Nkf("\x0e\x4a\x5f\x0f^", "s"), "\x83\x70^");
    EXPECT_EQ(Nkf("\x1b(I\x36\x1b(B", "x"), "\x1b(I\x36\x1b(B");
}

TEST(Nkf, FullWidthToAscii) {
    std::string wide = *Iconv("UTF-8", "SHIFT_JIS", "ＡＢｚ０９！＃（）［］　終");
    EXPECT_EQ(Nkf(wide, "Zs"), "ABz09!#()[]\x81\x40\x8f\x49");
    EXPECT_EQ(Nkf(wide, "Z1s"), "ABz09!#()[] \x8f\x49");
    EXPECT_EQ(Nkf(wide, "Z2s"), "ABz09!#()[]  \x8f\x49");
    EXPECT_EQ(Nkf(wide, "s"), wide);
}

TEST(Nkf, RotationIsItsOwnInverse) {
    EXPECT_EQ(Nkf("Hello, World", "r"), "Uryyb, Jbeyq");
    std::string text = *Iconv("UTF-8", "EUC-JP", "漢字 and カナ, mixed 123\n");
    std::string rotated = Nkf(text, "re");
    EXPECT_NE(rotated, text);
    EXPECT_EQ(Nkf(rotated, "re"), text);
}

TEST(Nkf, LineEnds) {
    EXPECT_EQ(Nkf("a\r\nb\n", "c"), "a\r\r\nb\r\n");
    EXPECT_EQ(Nkf("a\r\nb\r", "d"), "a\nb");
    EXPECT_EQ(Nkf(kKanjiJis.substr(0, 5) + "\n", "dc"), "\x1b$B0!\x1b(B\r\n");
}

// n copies of the kanji JIS 0x3021 in EUC-JP.
std::string Kanji(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += kKanjiEuc;
    return text;
}

TEST(Nkf, FoldWidthDefaultsTo60) {
    std::string folded60 = Kanji(30) + "\n" + Kanji(30) + "\n" + Kanji(10) + "\n";
    for (const char* options : {"fe", "f0e", "f512e", "f60e", "f-3e"}) {
        EXPECT_EQ(Nkf(Kanji(70), options), folded60) << options;
    }
    EXPECT_EQ(Nkf(Kanji(3), "f511e"), Kanji(3) + "\n");
    EXPECT_EQ(Nkf(Kanji(3), "f2e"), Kanji(1) + "\n" + Kanji(1) + "\n" + Kanji(1) + "\n");
}

TEST(Nkf, FoldingJoinsAndBreaksLines) {
    // A line feed between Japanese characters goes; between words it becomes a space.
    EXPECT_EQ(Nkf(Kanji(2) + "\n" + Kanji(2), "fe"), Kanji(4) + "\n");
    EXPECT_EQ(Nkf("one\ntwo  three\n\nnext", "fe"), "one two three \n\nnext\n");
    // ASCII words and closing punctuation stay on the line up to 10 columns over.
    EXPECT_EQ(Nkf("abcd efghij", "f5e"), "abcd \nefghij\n");
    EXPECT_EQ(Nkf("abcdefghijklmnopq", "f5e"), "abcdefghijklmn\nopq\n");
    EXPECT_EQ(Nkf(Kanji(2) + "\xa1\xa3" + Kanji(1), "f4e"),
              Kanji(2) + "\xa1\xa3\n" + Kanji(1) + "\n");
    // With "c" the inserted break is CR LF and the character follows on the new line.
    EXPECT_EQ(Nkf(Kanji(3), "f4ce"), Kanji(2) + "\r\n" + Kanji(1) + "\r\n");
    EXPECT_EQ(Nkf(kKanjiJis + kKanjiJis, "f2"), kKanjiJis + "\n" + kKanjiJis + "\n");
}

TEST(Nkf, NoSettingSurvivesTheCall) {
    EXPECT_EQ(Nkf("abc\n" + Kanji(2), "rcf2e"), "nop\r\n\xdf\xd0\r\n\xdf\xd0\r\n");
    EXPECT_EQ(Nkf("abc\n" + Kanji(2), "e"), "abc\n" + Kanji(2));
}

}  // namespace
