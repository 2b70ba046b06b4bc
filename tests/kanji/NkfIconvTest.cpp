// The converter against glibc iconv: every JIS X 0208 character, whole texts with the input
// encoding left to detection, mixed ASCII and kanji lines, and half-width katakana, in every
// direction between JIS (ISO-2022-JP), EUC-JP and Shift-JIS.
#include <gtest/gtest.h>

#include "NkfTestSupport.h"

namespace {

struct Encoding {
    const char* iconvName;
    const char* assumeInput;
    const char* output;
};
const Encoding kEncodings[] = {
    {"ISO-2022-JP", "J", "j"}, {"EUC-JP", "E", "e"}, {"SHIFT_JIS", "S", "s"}};

// The EUC-JP form of every JIS X 0208 code point that iconv converts to both other encodings.
std::vector<std::string> IconvCharacters() {
    std::vector<std::string> characters;
    for (int row = 0x21; row <= 0x7E; ++row) {
        for (int cell = 0x21; cell <= 0x7E; ++cell) {
            std::string euc = {static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
            if (Iconv("EUC-JP", "SHIFT_JIS", euc) && Iconv("EUC-JP", "ISO-2022-JP", euc)) {
                characters.push_back(euc);
            }
        }
    }
    return characters;
}

// Checks nkf from every encoding to every other one against iconv, for a text given in UTF-8.
void ExpectLikeIconv(const std::string& utf8, const char* extraOptions) {
    for (const Encoding& from : kEncodings) {
        std::optional<std::string> input = Iconv("UTF-8", from.iconvName, utf8);
        ASSERT_TRUE(input) << from.iconvName;
        for (const Encoding& to : kEncodings) {
            std::optional<std::string> expected = Iconv(from.iconvName, to.iconvName, *input);
            ASSERT_TRUE(expected);
            std::string options = std::string(to.output) + extraOptions;
            EXPECT_EQ(Nkf(*input, options.c_str()), *expected)
                << from.iconvName << " to " << to.iconvName << ": " << utf8;
        }
    }
}

TEST(NkfIconv, EveryJisX0208CharacterInEveryDirection) {
    std::vector<std::string> characters = IconvCharacters();
    // JIS X 0208 defines 6879 characters; iconv maps all of them.
    ASSERT_EQ(characters.size(), 6879u);
    int failures = 0;
    for (const std::string& euc : characters) {
        std::string forms[3] = {*Iconv("EUC-JP", "ISO-2022-JP", euc), euc,
                                *Iconv("EUC-JP", "SHIFT_JIS", euc)};
        for (int from = 0; from < 3; ++from) {
            for (int to = 0; to < 3; ++to) {
                std::optional<std::string> expected =
                    Iconv(kEncodings[from].iconvName, kEncodings[to].iconvName, forms[from]);
                ASSERT_TRUE(expected);
                std::string options =
                    std::string(kEncodings[from].assumeInput) + kEncodings[to].output;
                std::string got = Nkf(forms[from], options.c_str());
                if (got != *expected && ++failures <= 20) {
                    ADD_FAILURE() << kEncodings[from].iconvName << " to "
                                  << kEncodings[to].iconvName << " of EUC-JP " << std::hex
                                  << (static_cast<unsigned char>(euc[0]) << 8 |
                                      static_cast<unsigned char>(euc[1]));
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(NkfIconv, WholeCharacterSetWithDetectedInput) {
    // All characters as one text, 40 to a line, so that detection sees the text as it comes.
    std::string euc;
    int column = 0;
    for (const std::string& character : IconvCharacters()) {
        euc += character;
        if (++column % 40 == 0) euc += "\n";
    }
    std::string utf8 = *Iconv("EUC-JP", "UTF-8", euc);
    ExpectLikeIconv(utf8, "");
}

TEST(NkfIconv, MixedAsciiAndKanjiLines) {
    const char* lines[] = {
        "撮影地: 東京都千代田区 (35.6812N, 139.7671E)\n",
        "GPS 高度 42.5 m、方位 123.4° は磁北基準です。\r\nNext line: ＡＢＣ１２３ and more\n",
        "ascii only, no kanji at all\n",
        "漢字\n\nかな カナ\t─━│┃ αβγ АБВ 〒※→",
    };
    for (const char* line : lines) ExpectLikeIconv(line, "");
}

// The 63 half-width katakana U+FF61-U+FF9F and the full-width forms they become.
const char kHalfKana[] = "｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ";
const char kWideKana[] =
    "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
    "ホマミムメモヤユヨラリルレロワン゛゜";
const char kHalfSounds[] = "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞｶﾟ";
const char kWideSounds[] = "ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポウ゛カ゜";

// JIS forms of a half-width kana text given in Shift-JIS: designated and shifted out.
std::string JisKanaDesignated(const std::string& sjis) {
    std::string jis = "\x1b(I";
    for (char c : sjis) jis += static_cast<char>(c & 0x7F);
    return jis + "\x1b(B";
}
std::string JisKanaShiftedOut(const std::string& sjis) {
    std::string jis = "\x0e";
    for (char c : sjis) jis += static_cast<char>(c & 0x7F);
    return jis + "\x0f";
}

TEST(NkfIconv, HalfWidthKanaWidenedFromEveryEncoding) {
    const std::pair<const char*, const char*> texts[] = {{kHalfKana, kWideKana},
                                                         {kHalfSounds, kWideSounds}};
    for (const auto& [half, wide] : texts) {
        std::string sjis = *Iconv("UTF-8", "SHIFT_JIS", half);
        std::string inputs[] = {JisKanaDesignated(sjis), JisKanaShiftedOut(sjis),
                                *Iconv("UTF-8", "EUC-JP", half), sjis};
        const char* assume[] = {"", "", "E", "S"};
        for (int i = 0; i < 4; ++i) {
            for (const Encoding& to : kEncodings) {
                std::string options = std::string(assume[i]) + to.output;
                EXPECT_EQ(Nkf(inputs[i], options.c_str()), *Iconv("UTF-8", to.iconvName, wide))
                    << "input " << i << " to " << to.iconvName;
            }
        }
    }
}

TEST(NkfIconv, KanaAfterKanjiInLinesWithDetectedInput) {
    const std::string half = std::string("写真 ") + kHalfSounds + " ｱｲｳ｡\n次の行\n";
    const std::string wide = std::string("写真 ") + kWideSounds + " アイウ。\n次の行\n";
    // Shift-JIS kana are widened only when asked ("X"); EUC-JP and JIS ones by default.
    std::string inputs[] = {*Iconv("UTF-8", "EUC-JP", half), *Iconv("UTF-8", "SHIFT_JIS", half)};
    for (const std::string& input : inputs) {
        for (const Encoding& to : kEncodings) {
            std::string options = std::string("X") + to.output;
            EXPECT_EQ(Nkf(input, options.c_str()), *Iconv("UTF-8", to.iconvName, wide));
        }
    }
}

TEST(NkfIconv, KeptHalfWidthKanaMatchIconv) {
    std::string euc = *Iconv("UTF-8", "EUC-JP", std::string("半角 ") + kHalfKana);
    std::string sjis = *Iconv("UTF-8", "SHIFT_JIS", std::string("半角 ") + kHalfKana);
    EXPECT_EQ(Nkf(euc, "xs"), sjis);
    EXPECT_EQ(Nkf(sjis, "Sxe"), euc);
}

}  // namespace
