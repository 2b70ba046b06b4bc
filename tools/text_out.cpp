// Clean UTF-8 for the human and JSON outputs (see text_out.h); used by info and decode.
#include "text_out.h"

#include <cstdio>

#include "cli.h"

namespace cli {

namespace {

// U+FF9F HALFWIDTH KATAKANA SEMI-VOICED SOUND MARK in UTF-8, and U+00B0 DEGREE SIGN.
const char kHalfwidthMark[] = "\xEF\xBE\x9F";
const char kDegreeSign[] = "\xC2\xB0";

std::string TrimTrailingBlanks(std::string text) {
    std::size_t end = text.find_last_not_of(std::string(" \t\0", 3));
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

}  // namespace

std::string ListedText(const std::string& sjis) {
    std::string text = SjisToUtf8(TrimTrailingBlanks(sjis));
    for (std::size_t at = text.find(kHalfwidthMark); at != std::string::npos;
         at = text.find(kHalfwidthMark, at + 1)) {
        // The listing writes degrees as digits, then the mark ("35ﾟ39'"); a mark after a kana
        // is the sound mark itself.
        if (at > 0 && text[at - 1] >= '0' && text[at - 1] <= '9') {
            text.replace(at, sizeof kHalfwidthMark - 1, kDegreeSign);
        }
    }
    return text;
}

std::string TerminalText(const std::string& utf8) {
    std::string in = TrimTrailingBlanks(utf8);
    std::string out;
    out.reserve(in.size());
    char escape[8];
    for (std::size_t i = 0; i < in.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        unsigned char next = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04X", next);
            out += escape;
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace cli
