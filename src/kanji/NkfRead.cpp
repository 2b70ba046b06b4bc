// The reading loop of the converter (NkfConverter.h): bytes to characters. Run walks the text,
// handing plain runs to FastRun and everything else to the general machinery: escape
// sequences and shift-out, the first bytes with bit 7 set that decide the input encoding, and
// the widening of half-width kana with their sound marks.
#include "kanji/NkfConverter.h"
#include "kanji/NkfTables.h"

namespace photogeo::kanji {

void Converter::Run() {
    StartDetection();
    m_inShift = kShiftAscii;
    m_shiftOut = kShiftOutNone;
    m_outShift = kShiftAscii;

    // Folding, rotation and mapping look at every character: only without them do plain
    // runs take the short way.
    const bool plainOutput = !m_fold && !m_rotate && m_zenMap == 0;
    int c2 = 0;
    for (int c1;;) {
        if (c2 == 0 && plainOutput) FastRun();
        if ((c1 = GetByte()) == kEnd) break;
        if (c2 != 0) {
            if (c2 < 0x80) {
                // Second byte of a JIS pair: a control byte or DEL breaks the pair.
                if (c1 != 0x7F && c1 > 0x20) Send(c2, c1);
            } else if (!m_established) {
                if (c1 > 0xA0) {
                    LookAhead(c2, c1);
                } else if (c1 >= 0x40) {
                    // Only Shift-JIS has second bytes in 0x40-0xA0.
                    m_established = true;
                    m_inputSjis = true;
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
        if (m_latin1) {
            Send(0, c1);
            continue;
        }
        if (!m_established) {
            // EUC-JP first bytes are 0xA1-0xFE, Shift-JIS ones 0x81-0x9F and 0xE0-0xFC.
            if (c1 < 0xA0) {
                m_established = true;
                m_inputSjis = true;
            } else if (c1 < 0xE0) {
                m_established = true;
                m_inputSjis = false;
            }
            c2 = c1;
            continue;
        }
        if (m_inputSjis && IsHalfKana(c1)) {
            if (m_kanaMode == kKanaUndecided) {
                m_inputSjis = false;
                c2 = c1;
            } else if (m_kanaMode == kKanaKeep) {
                Send(0, c1);
            } else {
                WidenKana(c1, kVoicedMark, kSemiVoicedMark);
            }
            continue;
        }
        if (!m_inputSjis) {
            if (c1 == kSingleShift2) {
                ReadEucKana();
                continue;
            }
            // Not an EUC-JP first byte: the text is Shift-JIS after all.
            if (c1 < 0xA0) m_inputSjis = true;
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
    if (m_limit < 2 || m_shiftOut != kShiftOutNone) return;
    // The state is copied into locals: stores through the char output could otherwise alias
    // it and force a reload after every byte.
    const unsigned char* p = m_in;
    char* const out = m_out;
    int n = m_count;
    int inShift = m_inShift;
    const int last = m_limit - 2;  // every step writes at most two bytes
    const OutputCode output = m_output;
    const bool jisKanji = output != OutputCode::Jis || m_outShift == kShiftKanji;
    const bool jisAscii = output != OutputCode::Jis || m_outShift == kShiftAscii;
    const bool equalsSpecial = m_mimeFlag && m_mimeKind == 0;
    const bool dollarSpecial = m_broken != 0 && m_mimeKind == 0;
    const bool parenSpecial = m_broken != 0;
    // Pairs with bit 7 set: 0 not yet (the reading loop decides), else EUC-JP or Shift-JIS.
    const int eightBit = !m_established || m_latin1 ? 0 : m_inputSjis ? 2 : 1;
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
                const Pair j = SjisToJisPair(c1, c);
                j1 = j.first;
                j2 = j.second;
            } else {
                if (c1 < 0xA0) break;
                j1 = c1 & kSevenBits;
                j2 = c & kSevenBits;
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
                out[n] = static_cast<char>(j1 | kHighBit);
                out[n + 1] = static_cast<char>(j2 | kHighBit);
                break;
            case OutputCode::Sjis: {
                const Pair s = JisToSjisPair(j1, j2);
                out[n] = static_cast<char>(s.first);
                out[n + 1] = static_cast<char>(s.second);
                break;
            }
        }
        n += 2;
        p += 2;
    }
    m_in = p;
    m_count = n;
    m_inShift = inShift;
}

// A byte below 0x80 with no pair pending. Returns the byte when it is held as the first byte of
// a JIS pair, else 0.
int Converter::ReadSevenBit(int c1) {
    if (c1 < 0x21 || c1 == 0x7F) {
        if (c1 == kShiftIn) {
            m_shiftOut = kShiftOutNone;
        } else if (c1 == kShiftOut) {
            m_shiftOut = kShiftOutSo;
        } else if (c1 == kEsc) {
            Escape();
        } else if (c1 == kLf && (m_broken & kBrokenLfResets)) {
            m_inShift = kShiftAscii;
            Input(0, c1);
        } else {
            Send(0, c1);
        }
        return 0;
    }
    if (m_shiftOut != kShiftOutNone) {
        WidenJisKana(c1 | kHighBit);
        return 0;
    }
    if (c1 == '(' && m_broken != 0) {
        if (m_inShift != kShiftKanji) {
            Send(0, c1);
            return 0;
        }
        if (m_mimeKind != 0) return c1;
        // In kanji mode "(" can only be a designator that lost its ESC.
        int c = GetByte();
        if (c == 'B' || c == 'J' || c == 'H') {
            m_inShift = kShiftAscii;
            m_shiftOut = kShiftOutNone;
        } else {
            Output(0, '(');
            if (c != kEnd) Send(0, c);
        }
        return 0;
    }
    if (m_inShift == kShiftKanji) return c1;
    if (c1 == '=' && m_mimeFlag && m_mimeKind == 0) {
        int c = GetByte();
        if (c == '?') {
            Send(0, c);
        } else {
            Send(0, c1);
            if (c != kEnd) UngetByte();
        }
        return 0;
    }
    if (c1 == '$' && m_broken != 0 && m_mimeKind == 0) {
        int c = GetByte();
        if (c == '@' || c == 'B') {
            m_inShift = kShiftKanji;
            m_shiftOut = kShiftOutNone;
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
        if (c3 == '@' || c3 == 'B' || (c3 != '(' && c3 != kEnd && (m_broken & kBrokenAnyFinal))) {
            m_inShift = kShiftKanji;
            m_shiftOut = kShiftOutNone;
            return;
        }
        if (c3 == '(') {
            int c4 = GetByte();
            if (c4 == '@' || c4 == 'B') {
                m_inShift = kShiftKanji;
                m_shiftOut = kShiftOutNone;
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
            m_inShift = kShiftKana;
            m_shiftOut = kShiftOutDesignated;
            return;
        }
        if (c3 == 'B' || c3 == 'J' || c3 == 'H' || (c3 != kEnd && (m_broken & kBrokenAnyFinal))) {
            m_inShift = kShiftAscii;
            m_shiftOut = kShiftOutNone;
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
    if (m_kanaMode == kKanaKeep || (m_latin1 && m_inShift != kShiftKana) || !IsHalfKana(kana)) {
        Send(0, kana);
        return;
    }
    // Under shift-out the sound marks 0xDE and 0xDF arrive as "^" and "_".
    WidenKana(kana, kVoicedMarkShifted, kSemiVoicedMarkShifted);
}

// Writes the full-width form of a half-width kana, merged with a sound mark that follows it.
void Converter::WidenKana(int kana, int voicedMark, int semiVoicedMark) {
    int i = kana - 0xA0;
    if (kKanaVoiced[i] == 0 && kKanaSemiVoiced[i] == 0) {
        OutputWide(kKanaToWide[i]);
        return;
    }
    int c = GetByte();
    if (c == voicedMark && kKanaVoiced[i] != 0) {
        OutputWide(kKanaVoiced[i]);
        return;
    }
    if (c == semiVoicedMark && kKanaSemiVoiced[i] != 0) {
        OutputWide(kKanaSemiVoiced[i]);
        return;
    }
    if (c != kEnd) UngetByte();
    OutputWide(kKanaToWide[i]);
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
        if (m_kanaMode == kKanaKeep || !IsHalfKana(c)) {
            Send(0, c);
            return;
        }
        int i = c - 0xA0;
        if (kKanaVoiced[i] == 0 && kKanaSemiVoiced[i] == 0) {
            OutputWide(kKanaToWide[i]);
            return;
        }
        int next = GetByte();
        if (next != kSingleShift2) {
            if (next != kEnd) UngetByte();
            OutputWide(kKanaToWide[i]);
            return;
        }
        int mark = GetByte();
        if (mark == kVoicedMark && kKanaVoiced[i] != 0) {
            OutputWide(kKanaVoiced[i]);
            return;
        }
        if (mark == kSemiVoicedMark && kKanaSemiVoiced[i] != 0) {
            OutputWide(kKanaSemiVoiced[i]);
            return;
        }
        OutputWide(kKanaToWide[i]);
        if (mark == kEnd) {
            Output(0, kSingleShift2);
            return;
        }
        c = mark;
    }
}

}  // namespace photogeo::kanji
