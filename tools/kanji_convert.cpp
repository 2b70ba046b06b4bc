// Byte conversion for "photogeo kanji" (see kanji_convert.h). The library's nkf knows JIS,
// Shift-JIS and EUC-JP; a UTF-8 side is converted to or from CP932 with iconv and handed to nkf
// as Shift-JIS, so folding, kana widening and the other nkf options work the same for every
// code.
#include "kanji_convert.h"

#include <photogeo/Nkf.h>

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "cli.h"

namespace cli {

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";
// nkf's output is at most a few bytes an input byte (shift sequences, folding, CR before LF);
// the conversion is repeated with twice the room whenever the output filled the buffer.
const std::size_t kInitialGrowth = 4;
const std::size_t kMinimumRoom = 64;

// Whole-text iconv that stops at the first byte it cannot convert: gives its offset in
// failedAt and returns false.
bool Iconv(const char* to, const char* from, const std::string& in, std::string& out,
           std::size_t& failedAt) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("no text conversion from ") + from + " to " + to);
    }
    out.clear();
    std::vector<char> buf(2 * in.size() + kMinimumRoom);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf.data();
        std::size_t dstLeft = buf.size();
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), static_cast<std::size_t>(dst - buf.data()));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;
            failedAt = in.size() - srcLeft;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

// The code point of the UTF-8 sequence at s[i] (assumed valid), for error messages.
unsigned long CodePointAt(const std::string& s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    unsigned long cp = extra == 0 ? c : c & (0x3Fu >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    return cp;
}

std::string Nkf(const std::string& text, const std::string& options) {
    std::size_t capacity = text.size() * kInitialGrowth + kMinimumRoom;
    std::vector<char> output;
    for (;;) {
        if (capacity > static_cast<std::size_t>(INT_MAX)) {
            throw ConversionError("the converted text would exceed 2 GiB");
        }
        output.assign(capacity, 0);
        int rc = nkf(reinterpret_cast<const unsigned char*>(text.c_str()), output.data(),
                     static_cast<int>(capacity), options.c_str());
        if (rc != 0) {
            throw UsageError("Latin-1 input (option l) needs JIS output and no x");
        }
        std::size_t length = strnlen(output.data(), capacity);
        if (length + 1 < capacity) return std::string(output.data(), length);
        capacity *= 2;
    }
}

// iconv gives the IBM extensions (first bytes 0xFA-0xFC) for the characters that CP932 holds
// twice; the converter carries only their NEC forms (row 13 and the NEC-selected rows 0xED and
// 0xEE), which are what Windows and most encoders write. Maps each character's UTF-8 to its NEC
// form, row 13 first, built once from iconv's own table.
const std::map<std::string, std::string>& NecForms() {
    static const std::map<std::string, std::string> forms = [] {
        std::map<std::string, std::string> m;
        const std::pair<unsigned, unsigned> kRows[] = {{0x87, 0x87}, {0xED, 0xEE}};
        for (const auto& rows : kRows) {
            for (unsigned lead = rows.first; lead <= rows.second; ++lead) {
                for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                    std::string sjis{static_cast<char>(lead), static_cast<char>(trail)}, utf8;
                    std::size_t at = 0;
                    if (trail != 0x7F && Iconv("UTF-8", "CP932", sjis, utf8, at)) m.emplace(utf8, sjis);
                }
            }
        }
        return m;
    }();
    return forms;
}

// Replaces the IBM-extension characters of Shift-JIS text by their NEC forms where CP932 has one.
std::string PreferNecForms(const std::string& sjis) {
    const unsigned char kFirstIbm = 0xFA, kLastIbm = 0xFC;
    std::string out;
    out.reserve(sjis.size());
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        bool twoBytes = (c >= 0x81 && c <= 0x9F) || c >= 0xE0;
        if (!twoBytes || i + 1 >= sjis.size()) {
            out += sjis[i];
            continue;
        }
        std::string pair = sjis.substr(i++, 2), utf8;
        std::size_t at = 0;
        if (c >= kFirstIbm && c <= kLastIbm && Iconv("UTF-8", "CP932", pair, utf8, at)) {
            auto nec = NecForms().find(utf8);
            if (nec != NecForms().end()) pair = nec->second;
        }
        out += pair;
    }
    return out;
}

// nkf carries JIS X 0208 and NEC's rows of CP932 but drops the double-byte characters with a
// first byte from 0xF0 (user-defined area and IBM extensions). Gives the offset of the first
// such character in Shift-JIS text, or npos.
std::size_t FirstDroppedByNkf(const std::string& sjis) {
    const unsigned char kFirstDropped = 0xF0;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c >= kFirstDropped) return i;
        bool twoBytes = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
        if (twoBytes) ++i;
    }
    return std::string::npos;
}

bool HasHighByte(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) return true;
    }
    return false;
}

}  // namespace

KanjiCode ParseKanjiCode(const std::string& name, const std::string& what, bool allowAuto) {
    if (name == "auto" && allowAuto) return KanjiCode::kAuto;
    if (name == "jis") return KanjiCode::kJis;
    if (name == "sjis") return KanjiCode::kSjis;
    if (name == "euc") return KanjiCode::kEuc;
    if (name == "utf8" || name == "utf-8") return KanjiCode::kUtf8;
    throw UsageError(what + " must be " + (allowAuto ? "auto, " : "") + "jis, sjis, euc or utf8");
}

void CheckNkfOptions(const std::string& options) {
    static const char kPlain[] = "EJSlXxesjnMrcdbutO";
    for (std::size_t i = 0; i < options.size(); ++i) {
        char c = options[i];
        char next = i + 1 < options.size() ? options[i + 1] : '\0';
        auto bad = [&](const std::string& why) {
            throw UsageError("--options: '" + std::string(1, c) + "' at position " +
                             std::to_string(i + 1) + " " + why);
        };
        if (c == 'B' || c == 'Z') {
            if (next == '1' || next == '2') ++i;
        } else if (c == 'f') {
            std::size_t digits = 0;
            long width = 0;
            while (i + 1 + digits < options.size() && options[i + 1 + digits] >= '0' &&
                   options[i + 1 + digits] <= '9' && digits < 4) {
                width = width * 10 + (options[i + 1 + digits] - '0');
                ++digits;
            }
            if (digits > 0 && (width < 1 || width > 511)) bad("takes a width from 1 to 511");
            i += digits;
        } else if (c == 'i') {
            if (next != '@' && next != 'B') bad("must be followed by @ or B");
            ++i;
        } else if (c == 'o') {
            if (next != 'J' && next != 'B' && next != 'H') bad("must be followed by J, B or H");
            ++i;
        } else if (c == 'm') {
            if (next == 'B' || next == 'Q' || next == '0') ++i;
        } else if (c == '\0' || std::strchr(kPlain, c) == nullptr) {
            bad("is not a converter option");
        }
    }
}

bool IsUtf8(const std::string& text) {
    std::size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned long cp, min;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::string ConvertKanji(const std::string& text, KanjiCode from, KanjiCode to,
                         const std::string& options) {
    std::string input = text;
    if (from == KanjiCode::kAuto && HasHighByte(input) && IsUtf8(input)) from = KanjiCode::kUtf8;
    // The letters the command sets go last, so they win over any in the user's options.
    std::string letters = options;
    if (from == KanjiCode::kUtf8) {
        if (input.compare(0, 3, kUtf8Bom) == 0) input.erase(0, 3);
        if (!IsUtf8(input)) throw ConversionError("not valid UTF-8");
        std::string sjis;
        std::size_t at = 0;
        if (!Iconv("CP932", "UTF-8", input, sjis, at)) {
            char where[64];
            std::snprintf(where, sizeof where, "byte %zu: U+%04lX", at + 1, CodePointAt(input, at));
            throw ConversionError(std::string(where) + " has no Shift-JIS (CP932) form");
        }
        sjis = PreferNecForms(sjis);
        std::size_t dropped = FirstDroppedByNkf(sjis);
        if (dropped != std::string::npos) {
            // Map the Shift-JIS offset back to the UTF-8 one for the message.
            std::string head;
            Iconv("UTF-8", "CP932", sjis.substr(0, dropped), head, at);
            char where[96];
            std::snprintf(where, sizeof where, "byte %zu: U+%04lX", head.size() + 1,
                          CodePointAt(input, head.size()));
            throw ConversionError(std::string(where) +
                                  " is a user-defined character, which the converter does not "
                                  "carry");
        }
        input.swap(sjis);
        letters += 'S';
    } else if (from == KanjiCode::kSjis) {
        letters += 'S';
    } else if (from == KanjiCode::kEuc) {
        letters += 'E';
    } else if (from == KanjiCode::kJis) {
        letters += 'J';
    }
    letters += to == KanjiCode::kEuc ? 'e' : to == KanjiCode::kJis ? 'j' : 's';
    std::string converted = Nkf(input, letters);
    if (to != KanjiCode::kUtf8) return converted;
    std::string utf8;
    std::size_t at = 0;
    if (!Iconv("UTF-8", "CP932", converted, utf8, at)) {
        throw ConversionError("the converter's Shift-JIS output has no UTF-8 form at byte " +
                              std::to_string(at + 1));
    }
    return utf8;
}

}  // namespace cli
