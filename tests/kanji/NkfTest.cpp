// The converter: the cases that go wrong in converters of this kind (buffer limits, escape
// sequences closed, unclosed, broken and unknown, detection with its look-ahead, half-width kana
// and sound marks, options, mapping, folding) as a table; every JIS X 0208 character, mixed
// texts and half-width katakana against glibc iconv in every direction between JIS
// (ISO-2022-JP), EUC-JP and Shift-JIS.
#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "photogeo/Nkf.h"

namespace {

// Converts text with a buffer that always fits; the result stops at the terminator.
std::string Nkf(const std::string& text, const char* options) {
    std::vector<char> out(text.size() * 16 + 64, '\x7F');
    int result = nkf(reinterpret_cast<const unsigned char*>(text.c_str()), out.data(),
                     static_cast<int>(out.size()), options);
    return result != 0 ? "<rejected>" : std::string(out.data());
}

// The descriptors are kept for the whole run and closed at exit, so the leak checker sees none.
struct IconvCloser {
    void operator()(void* cd) const {
        if (cd != reinterpret_cast<void*>(-1)) iconv_close(static_cast<iconv_t>(cd));
    }
};

// iconv's conversion of the whole text, or nothing when iconv refuses any of it.
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& text) {
    static std::map<std::pair<std::string, std::string>, std::unique_ptr<void, IconvCloser>> open;
    auto it = open.find({from, to});
    if (it == open.end())
        it = open.emplace(std::make_pair(from, to),
                          std::unique_ptr<void, IconvCloser>(iconv_open(to, from))).first;
    iconv_t cd = static_cast<iconv_t>(it->second.get());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string in = text, out(text.size() * 8 + 16, '\0');
    char *inPtr = in.data(), *outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}
std::string FromUtf8(const char* to, const std::string& utf8) {
    return Iconv("UTF-8", to, utf8).value_or("<iconv refused>");
}

const std::string kJis = "\x1b$B0!\x1b(B";  // JIS 0x3021, the first level-1 kanji
const std::string kSjis = "\x88\x9f";
const std::string kEuc = "\xb0\xa1";
std::string Kanji(int n) {  // n of them in EUC-JP
    std::string text;
    for (int i = 0; i < n; ++i) text += kEuc;
    return text;
}

TEST(Nkf, Cases) {
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\xe4\xb8";
    const std::string wide = FromUtf8("SHIFT_JIS", "ＡＢｚ０９！＃（）［］　終");
    // Row and cell 0x50 sit at the turn of ROT47.
    const std::string rot = FromUtf8("EUC-JP", "漢字 and カナ, mixed 123\n") + "\xd0\xd0";
    const struct {
        std::string in;
        const char* options;
        std::string out;
    } cases[] = {
        // JIS is the default output (every other leg is NkfIconv's); an unclosed run is
        // closed; designators can be chosen.
        {kJis, "", kJis},
        {"\x1b$B0!", "j", kJis},
        {"a" + kJis + "b", "i@oJ", "a\x1b$@0!\x1b(Jb"},
        {"\x1b$(B0!\x1b(J", "s", kSjis},
        // Latin-1 passes through alone and refuses any other output.
        {"caf\xe9 \xc9t\xe9", "l", "caf\xe9 \xc9t\xe9"},
        {"caf\xe9", "ls", "<rejected>"},
        {"caf\xe9", "sl", "<rejected>"},
        // Unknown and truncated escapes are copied; a control byte inside a kanji pair drops
        // the pair, not the rest of the line.
        {"a\x1b$Ab", "s", "a\x1b$Ab"},
        {"a\x1b$(Qb", "s", "a\x1b$(Qb"},
        {"a\x1b(Zb", "s", "a\x1b(Zb"},
        {"a\x1bxb", "s", "a\x1bxb"},
        {"a\x1b$(", "s", "a\x1b$("},
        {"a\x1b", "s", "a\x1b"},
        {"\x1b$B0\n0!\x1b(B", "s", kSjis},
        // Broken JIS: lost escape bytes recovered when asked; "B2" ends a run at a line feed.
        {"$B0!(Bx", "Bs", kSjis + "x"},
        {"$B0!(Bx", "s", "$B0!(Bx"},
        {"$x(y", "Bs", "$x(y"},
        {"\x1b$Q0!\x1b(Qx", "B1s", kSjis + "x"},
        {"\x1b$B0!\nab", "B2s", kSjis + "\nab"},
        // A MIME opening loses its equals sign unless turned off.
        {"a=?b=c=", "s", "a?b=c="},
        {"a=?b", "m0s", "a=?b"},
        // Detection: an ambiguous first character, then a hiragana (EUC-JP), nothing (EUC-JP),
        // a Shift-JIS-only second byte, or more ambiguity than the look-ahead holds.
        {"\xe4\xb8\xa4\xa2", "s", *Iconv("EUC-JP", "SHIFT_JIS", "\xe4\xb8\xa4\xa2")},
        {"\xe4\xb8\xe4\xb8", "j", *Iconv("EUC-JP", "ISO-2022-JP", "\xe4\xb8\xe4\xb8")},
        {"\xe4\xb8\xe4\xb8\x88\x9f", "e",
         *Iconv("SHIFT_JIS", "EUC-JP", "\xe4\xb8\xe4\xb8\x88\x9f")},
        {many + "\xa4\xa2", "s", *Iconv("EUC-JP", "SHIFT_JIS", many + "\xa4\xa2")},
        // Sound marks: Shift-JIS with "S"; EUC-JP as another 0x8E pair, a lone 0x8E kept;
        // JIS "^" and "_" under shift-out only.
        {"\xb6\xde", "sS", "\x83\x4b"},
        {"\xb6\xde", "Sx s", "\xb6\xde"},
        {"\x8e\xb6\x8e\xde", "Es", "\x83\x4b"},
        {"\x8e\xb6\x8e\xb6\x8e\xdf", "Es", "\x83\x4a\x83\x4a\x81\x4b"},
        {"\x8e\xb6\x8e", "Es", "\x83\x4a\x8e"},
        {"\x0e\x4a\x5f\x0f^", "s", "\x83\x70^"},
        {"\x0e\x4a\x5e\x0f", "s", "\x83\x6f"},
        {"\x1b(I\x36\x1b(B", "x", "\x1b(I\x36\x1b(B"},
        // Full-width to ASCII, the full-width space kept, as one or as two spaces.
        {wide, "Zs", "ABz09!#()[]\x81\x40\x8f\x49"},
        {wide, "Z1s", "ABz09!#()[] \x8f\x49"},
        {wide, "Z2s", "ABz09!#()[]  \x8f\x49"},
        {wide, "s", wide},
        // Rotation (ROT13 for ASCII, ROT47 for JIS rows) is its own inverse.
        {"Hello, World", "r", "Uryyb, Jbeyq"},
        {Nkf(rot, "re"), "re", rot},
        // Line ends.
        {"a\r\nb\n", "c", "a\r\r\nb\r\n"},
        {"a\r\nb\r", "d", "a\nb"},
        {kJis.substr(0, 5) + "\n", "dc", kJis + "\r\n"},
        // Folding: 60 columns unless 1..511 is given; Japanese lines join, words get a space,
        // a paragraph break stays; ASCII words and closing punctuation may run 10 columns over.
        {Kanji(70), "fe", Kanji(30) + "\n" + Kanji(30) + "\n" + Kanji(10) + "\n"},
        {Kanji(70), "f512e", Kanji(30) + "\n" + Kanji(30) + "\n" + Kanji(10) + "\n"},
        {Kanji(70), "f-3e", Kanji(30) + "\n" + Kanji(30) + "\n" + Kanji(10) + "\n"},
        {Kanji(3), "f511e", Kanji(3) + "\n"},
        {Kanji(3), "f2e", kEuc + "\n" + kEuc + "\n" + kEuc + "\n"},
        {Kanji(2) + "\n" + Kanji(2), "fe", Kanji(4) + "\n"},
        {"one\ntwo  three\n\nnext", "fe", "one two three \n\nnext\n"},
        {"abcd efghij", "f5e", "abcd \nefghij\n"},
        {"abcdefghijklmnopq", "f5e", "abcdefghijklmn\nopq\n"},
        {Kanji(2) + "\xa1\xa3" + Kanji(1), "f4e", Kanji(2) + "\xa1\xa3\n" + kEuc + "\n"},
        {Kanji(3), "f4ce", Kanji(2) + "\r\n" + kEuc + "\r\n"},
        {kJis + kJis, "f2", kJis + "\n" + kJis + "\n"},
        // No setting survives the call.
        {"abc\n" + Kanji(2), "rcf2e", "nop\r\n\xdf\xd0\r\n\xdf\xd0\r\n"},
        {"abc\n" + Kanji(2), "e", "abc\n" + Kanji(2)},
    };
    for (const auto& c : cases) EXPECT_EQ(Nkf(c.in, c.options), c.out) << "options " << c.options;
    EXPECT_NE(Nkf(rot, "re"), rot);
}

TEST(Nkf, OutputBufferLimits) {
    const auto* in = reinterpret_cast<const unsigned char*>("\x1b$B0!0\"\x1b(B");
    char out[8];
    // Two kanji in Shift-JIS need 4 bytes and the terminator: with 3 the terminator is lost.
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(nkf(in, out, 3, "s"), 0);
    EXPECT_EQ(std::string(out, 4), "\x88\x9f\x88x");
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(nkf(in, out, 5, "s"), 0);
    EXPECT_EQ(std::string(out, 6), std::string("\x88\x9f\x88\xa0\0x", 6));
    // Nothing is written for no room, and a refused conversion leaves dst alone.
    std::memset(out, 'x', sizeof out);
    for (int size : {0, -1, INT_MIN}) EXPECT_EQ(nkf(in, out, size, "s"), 0);
    EXPECT_EQ(nkf(reinterpret_cast<const unsigned char*>("caf\xe9"), out, 8, "le"), -1);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(nkf(in, nullptr, 100, "s"), 0);
    // Empty input writes only the terminator.
    EXPECT_EQ(nkf(reinterpret_cast<const unsigned char*>(""), out, 4, "s"), 0);
    EXPECT_EQ(std::string(out, 2), std::string("\0x", 2));
    out[0] = 'x';
    EXPECT_EQ(nkf(nullptr, out, 4, nullptr), 0);
    EXPECT_EQ(out[0], '\0');
}

const struct Encoding {
    const char* iconvName;
    const char* output;
} kEncodings[] = {{"ISO-2022-JP", "j"}, {"EUC-JP", "e"}, {"SHIFT_JIS", "s"}};

// nkf from every encoding to every other one against iconv, for a text given in UTF-8, with
// the input encoding left to detection (or assumed with assume[from]).
void ExpectLikeIconv(const std::string& utf8, const char* const assume[3] = nullptr) {
    for (int from = 0; from < 3; ++from) {
        const std::string input = FromUtf8(kEncodings[from].iconvName, utf8);
        for (const Encoding& to : kEncodings) {
            const std::string options = (assume ? assume[from] : "") + std::string(to.output);
            EXPECT_EQ(Nkf(input, options.c_str()), FromUtf8(to.iconvName, utf8))
                << kEncodings[from].iconvName << " to " << to.iconvName << " " << options;
        }
    }
}

TEST(NkfIconv, EveryJisX0208CharacterAndMixedTexts) {
    // Every character iconv maps to all three (all 6879 of JIS X 0208), 40 to a line, so that
    // detection sees the text as it comes; then with the input encoding given.
    std::string euc;
    int count = 0;
    for (int row = 0xA1; row <= 0xFE; ++row)
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            const std::string c = {static_cast<char>(row), static_cast<char>(cell)};
            if (!Iconv("EUC-JP", "SHIFT_JIS", c) || !Iconv("EUC-JP", "ISO-2022-JP", c)) continue;
            euc += c;
            if (++count % 40 == 0) euc += "\n";
        }
    ASSERT_EQ(count, 6879);
    const std::string all = *Iconv("EUC-JP", "UTF-8", euc);
    const char* const assume[3] = {"J", "E", "S"};
    ExpectLikeIconv(all);
    ExpectLikeIconv(all, assume);
    for (const char* text : {
             "撮影地: 東京都千代田区 (35.6812N, 139.7671E)\n",
             "GPS 高度 42.5 m、方位 123.4° は磁北基準です。\r\nNext line: ＡＢＣ１２３ and more\n",
             "ascii only, no kanji at all\n",
             "漢字\n\nかな カナ\t─━│┃ αβγ АБВ 〒※→",
         })
        ExpectLikeIconv(text);
}

TEST(NkfIconv, HalfWidthKanaWidenedOrKept) {
    // The 63 half-width katakana, then the voiced and semi-voiced pairs, and the full-width
    // forms they become.
    const std::string half =
        "｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ"
        "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞｶﾟ";
    const std::string wide =
        "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
        "ホマミムメモヤユヨラリルレロワン゛゜ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポウ゛"
        "カ゜";
    const std::string sjis = FromUtf8("SHIFT_JIS", half);
    std::string designated = "\x1b(I", shiftedOut = "\x0e";
    for (char c : sjis) {
        designated += static_cast<char>(c & 0x7F);
        shiftedOut += static_cast<char>(c & 0x7F);
    }
    const std::pair<std::string, const char*> inputs[] = {{designated + "\x1b(B", ""},
                                                          {shiftedOut + "\x0f", ""},
                                                          {FromUtf8("EUC-JP", half), "E"},
                                                          {sjis, "S"}};
    for (const auto& [input, assume] : inputs)
        for (const Encoding& to : kEncodings)
            EXPECT_EQ(Nkf(input, (assume + std::string(to.output)).c_str()),
                      FromUtf8(to.iconvName, wide))
                << assume << " to " << to.iconvName;
    // After kanji, with detection: Shift-JIS kana are widened only when asked ("X"), EUC-JP
    // ones by default; kept ("x") they match iconv's half-width forms.
    for (const char* from : {"EUC-JP", "SHIFT_JIS"})
        for (const Encoding& to : kEncodings)
            EXPECT_EQ(Nkf(FromUtf8(from, "写真 " + half + "\n次の行\n"),
                          (std::string("X") + to.output).c_str()),
                      FromUtf8(to.iconvName, "写真 " + wide + "\n次の行\n"))
                << from << " to " << to.iconvName;
    EXPECT_EQ(Nkf(FromUtf8("EUC-JP", "半角 " + half), "xs"), FromUtf8("SHIFT_JIS", "半角 " + half));
    EXPECT_EQ(Nkf(FromUtf8("SHIFT_JIS", "半角 " + half), "Sxe"),
              FromUtf8("EUC-JP", "半角 " + half));
}

}  // namespace
