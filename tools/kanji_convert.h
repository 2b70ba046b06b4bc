// The text conversion behind "photogeo kanji": JIS, Shift-JIS and EUC-JP go through the
// library's nkf; UTF-8 goes through iconv's CP932 (the Windows Shift-JIS that the library's
// texts use) on its way into or out of nkf. cmd_kanji.cpp parses the command line and does the
// reading and writing; this file only turns bytes into bytes.
#ifndef PHOTOGEO_TOOLS_KANJI_CONVERT_H
#define PHOTOGEO_TOOLS_KANJI_CONVERT_H

#include <stdexcept>
#include <string>

namespace cli {

enum class KanjiCode { kAuto, kJis, kSjis, kEuc, kUtf8 };

// "auto" (input only), "jis", "sjis", "euc" or "utf8" (also "utf-8"); throws UsageError naming
// what for any other name.
KanjiCode ParseKanjiCode(const std::string& name, const std::string& what, bool allowAuto);

// Checks nkf option letters against the ones the converter knows (see photogeo/Nkf.h), with
// their arguments: B[1|2], Z[1|2], f[1..511], i@|iB, oJ|oB|oH, m[B|Q|0] and the single letters
// E J S l X x e s j n M r c d b u t O. Throws UsageError naming the first bad letter.
void CheckNkfOptions(const std::string& options);

// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsUtf8(const std::string& text);

// A text that cannot be converted: its byte offset in the input and what is wrong.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Converts text (which holds no NUL byte) from one code to another, applying the nkf options.
// kAuto takes the text for UTF-8 when it holds a byte above 0x7F and is valid UTF-8, and
// otherwise leaves the choice among JIS, Shift-JIS and EUC-JP to nkf. A UTF-8 byte-order mark at
// the start is dropped. Throws ConversionError for UTF-8 input that is malformed or holds a
// character without a CP932 form, and UsageError when nkf refuses the option combination.
std::string ConvertKanji(const std::string& text, KanjiCode from, KanjiCode to,
                         const std::string& options);

}  // namespace cli

#endif
