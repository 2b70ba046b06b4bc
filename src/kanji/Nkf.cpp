// The exported nkf (photogeo/Nkf.h) and the converter's set-up: the option letters, and the
// detection of the input encoding where the options do not fix it (the reading loop in
// NkfRead.cpp decides on the first byte with bit 7 set; LookAhead settles the bytes that fit
// both EUC-JP and Shift-JIS). NkfConverter.h describes the whole flow.
#include "photogeo/Nkf.h"

#include <climits>

#include "kanji/NkfConverter.h"

namespace photogeo::kanji {

namespace {

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

}  // namespace

void Converter::ParseOptions(const char* p) {
    for (; *p != 0; ++p) {
        switch (*p) {
            case 'B':
                if (IsDigit(p[1])) {
                    m_broken |= 1 << (*++p - '0');
                } else {
                    m_broken |= 1;
                }
                break;
            case 'E':
            case 'J':
                m_assumption = Assumption::EucOrJis;
                break;
            case 'S':
                m_assumption = Assumption::Sjis;
                if (m_kanaMode == kKanaUndecided) m_kanaMode = kKanaWiden;
                break;
            case 'l':
                m_latin1 = true;
                m_assumption = Assumption::Latin1;
                break;
            case 'X':
                m_kanaMode = kKanaWiden;
                break;
            case 'x':
                m_kanaMode = kKanaKeep;
                break;
            case 'Z':
                if (IsDigit(p[1])) {
                    m_zenMap |= 1 << (*++p - '0');
                } else {
                    m_zenMap |= 1;
                }
                break;
            case 'e':
                m_output = OutputCode::Euc;
                break;
            case 's':
                m_output = OutputCode::Sjis;
                break;
            case 'j':
            case 'n':
            case 'M':
                m_output = OutputCode::Jis;
                break;
            case 'f':
                m_fold = true;
                m_foldWidth = ParseWidth(p + 1);
                if (m_foldWidth < 1 || m_foldWidth > kMaxFoldWidth) m_foldWidth = kDefaultFoldWidth;
                while (IsDigit(p[1])) ++p;
                break;
            case 'i':
                if (p[1] == '@' || p[1] == 'B') m_kanjiFinal = *++p;
                break;
            case 'o':
                if (p[1] == 'J' || p[1] == 'B' || p[1] == 'H') m_asciiFinal = *++p;
                break;
            case 'm':
                m_mimeFlag = true;
                if (p[1] == 'B' || p[1] == 'Q') {
                    m_mimeKind = *++p;
                } else if (p[1] == '0') {
                    m_mimeFlag = false;
                }
                break;
            case 'r':
                m_rotate = true;
                break;
            case 'c':
                m_crMode = true;
                break;
            case 'd':
                m_deleteCr = true;
                break;
            default:
                break;
        }
    }
}

void Converter::StartDetection() {
    switch (m_assumption) {
        case Assumption::EucOrJis:
        case Assumption::Latin1:
            m_established = true;
            m_inputSjis = false;
            break;
        case Assumption::Sjis:
            m_established = true;
            m_inputSjis = true;
            break;
        case Assumption::None:
            m_established = false;
            m_inputSjis = false;
            break;
    }
}

// A first byte 0xE0-0xFF with a second byte above 0xA0 is valid in both EUC-JP and Shift-JIS.
// The following characters are held until one of them decides (or the buffer fills, or the
// text ends), then all held characters go through the input stage as it then stands: EUC-JP
// when nothing decided.
void Converter::LookAhead(int c2, int c1) {
    m_holdCount = 0;
    m_hold[m_holdCount++] = {c2, c1};
    int first = 0;
    for (int c; (c = GetByte()) != kEnd;) {
        if (first != 0) {
            if (!m_established) {
                if (c < 0x40) {
                    first = 0;
                } else if (c <= 0xA0) {
                    m_established = true;
                    m_inputSjis = true;
                }
            }
        } else if (c >= 0x80) {
            if (c < 0xA0) {
                m_established = true;
                m_inputSjis = true;
            } else if (c < 0xE0) {
                m_established = true;
                m_inputSjis = false;
            }
            first = c;
            continue;
        }
        m_hold[m_holdCount++] = {first, c};
        first = 0;
        if (m_holdCount == kHoldPairs || m_established) break;
    }
    for (int i = 0; i < m_holdCount; ++i) Input(m_hold[i].first, m_hold[i].second);
}

}  // namespace photogeo::kanji

extern "C" int nkf(const unsigned char* src, char* dst, int size, const char* options) {
    static const unsigned char kEmpty[1] = {0};
    photogeo::kanji::Converter converter(src != nullptr ? src : kEmpty, dst,
                                         dst != nullptr ? size : 0);
    converter.ParseOptions(options != nullptr ? options : "");
    if (converter.OptionsRejected()) return -1;
    converter.Run();
    converter.Terminate();
    return 0;
}
