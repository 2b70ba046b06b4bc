// The three writers of the converter (NkfConverter.h): a character pair in 7-bit JIS form to
// JIS (with its designators), EUC-JP or Shift-JIS bytes in the caller's buffer, and the line
// ends that options "c" and "d" change.
#include "kanji/NkfConverter.h"

namespace photogeo::kanji {

void Converter::Write(int c2, int c1) {
    switch (m_output) {
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
        if (m_crMode) PutByte(kCr);
        PutByte(kLf);
    } else if (c1 == kCr) {
        if (!m_deleteCr) PutByte(kCr);
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
        PutByte(c2 | kHighBit);
        PutByte(c1 | kHighBit);
    } else {
        // Not a character: the bytes were not what the guessed encoding made of them.
        m_established = false;
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
        const Pair s = JisToSjisPair(c2, c1);
        PutByte(s.first);
        PutByte(s.second);
    } else {
        m_established = false;
    }
}

void Converter::JisToAscii() {
    if (m_outShift != kShiftAscii) {
        PutByte(kEsc);
        PutByte('(');
        PutByte(m_asciiFinal);
        m_outShift = kShiftAscii;
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
        if (IsHalfKana(c1) && !(m_latin1 && m_inShift != kShiftKana)) {
            if (m_outShift != kShiftKana) {
                PutByte(kEsc);
                PutByte('(');
                PutByte('I');
                m_outShift = kShiftKana;
            }
            PutByte(c1 & kSevenBits);
        } else {
            JisToAscii();
            WriteSingle(c1);
        }
    } else {
        if (m_outShift != kShiftKanji) {
            PutByte(kEsc);
            PutByte('$');
            PutByte(m_kanjiFinal);
            m_outShift = kShiftKanji;
        }
        if (IsJisByte(c2) && IsJisByte(c1)) {
            PutByte(c2);
            PutByte(c1);
        }
    }
}

}  // namespace photogeo::kanji
