// The conversions of the converter (NkfConverter.h) between reading and writing: a Shift-JIS
// pair to its JIS pair, the output stage (7-bit JIS pair, rotation, full-width-to-ASCII
// mapping) and the folding of lines ("f").
#include <algorithm>
#include <iterator>

#include "kanji/NkfConverter.h"
#include "kanji/NkfTables.h"

namespace photogeo::kanji {

namespace {

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

}  // namespace

// The input stage of Shift-JIS text: single bytes and the end pass as they are.
void Converter::SjisToJis(int c2, int c1) {
    if (c2 == 0 || c2 == kEnd) {
        Output(c2, c1);
        return;
    }
    const Pair j = SjisToJisPair(c2, c1);
    Output(j.first, j.second);
}

// The output stage: 7-bit JIS pair, rotation, full-width-to-ASCII mapping.
void Converter::Output(int c2, int c1) {
    if (c2 != 0) {
        c1 &= kSevenBits;
        if (c2 == kEnd) {
            Emit(kEnd, c1);
            return;
        }
        c2 &= kSevenBits;
    }
    if (m_rotate) {
        if (c2 != 0) {
            if (c2 >= 0x21 && c2 <= 0x7E) c2 += c2 < 0x50 ? 47 : -47;
            if (c1 >= 0x21 && c1 <= 0x7E) c1 += c1 < 0x50 ? 47 : -47;
        } else if ((c1 >= 'A' && c1 <= 'Z') || (c1 >= 'a' && c1 <= 'z')) {
            c1 += (c1 & 0x1F) <= 13 ? 13 : -13;
        }
    }
    if (m_zenMap != 0) {
        if (c2 == 0x23) {
            c2 = 0;
        } else if (c2 == 0x21) {
            if (c1 == 0x21) {
                if (m_zenMap & kZenSpaceOne) {
                    c2 = 0;
                    c1 = ' ';
                } else if (m_zenMap & kZenSpaceTwo) {
                    c2 = kDoubleSpace;
                    c1 = ' ';
                }
            } else if (c1 >= 0x20 && kWideSymbolToAscii[c1 - 0x20] != 0) {
                c2 = 0;
                c1 = kWideSymbolToAscii[c1 - 0x20];
            }
        }
    }
    Emit(c2, c1);
}

void Converter::Emit(int c2, int c1) {
    if (!m_fold) {
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
    const Pair prev = m_foldPrevious;
    const bool prevLf = prev.first == 0 && prev.second == kLf;
    const bool prevBlank = IsBlank(prev.first, prev.second);
    if (c2 == kEnd) return m_foldLength != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
    if (c2 == 0) {
        if (c1 == kCr) return FoldAction::Drop;
        if (c1 == kBackspace) {
            if (m_foldLength > 0) --m_foldLength;
            return FoldAction::Pass;
        }
        if (c1 == kLf) {
            m_foldPrevious = {0, kLf};
            if (prevLf) {
                // A paragraph break survives as an empty line.
                FoldAction action = m_foldLength != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
                m_foldLength = 0;
                return action;
            }
            // Lines of Japanese text join without a space.
            if (prev.first > 0 || (prev.first == 0 && IsHalfKana(prev.second))) {
                return FoldAction::Drop;
            }
            if (prevBlank) return FoldAction::Drop;
            if (m_foldLength < m_foldWidth) {
                ++m_foldLength;
                return FoldAction::Space;
            }
            m_foldLength = 0;
            return FoldAction::Break;
        }
        if (c1 == kFormFeed) {
            m_foldPrevious = {0, kLf};
            FoldAction action = m_foldLength != 0 ? FoldAction::BreakBefore : FoldAction::Pass;
            m_foldLength = 0;
            return action;
        }
    }
    if (IsBlank(c2, c1)) {
        if (prevBlank) return FoldAction::Drop;
        m_foldPrevious = {c2, c1};
        if (m_foldLength < m_foldWidth) {
            ++m_foldLength;
            return FoldAction::Space;
        }
        m_foldLength = 0;
        return FoldAction::Break;
    }

    m_foldPrevious = {c2, c1};
    const int width = c2 != 0 ? 2 : 1;
    const int length = m_foldLength + width;
    if (length <= m_foldWidth) {
        m_foldLength = length;
        return FoldAction::Pass;
    }
    if (length < m_foldWidth + kFoldSlack) {
        // Nor is an ASCII word split.
        const bool inWord = c2 == 0 && c1 < 0x80 && prev.first == 0 && prev.second < 0x80 &&
                            !IsBlank(prev.first, prev.second) && prev.second != kLf &&
                            prev.second != kCr;
        if (inWord || MustNotBeginLine(c2, c1)) {
            m_foldLength = length;
            return FoldAction::Pass;
        }
    }
    m_foldLength = width;
    return FoldAction::BreakBefore;
}

}  // namespace photogeo::kanji
