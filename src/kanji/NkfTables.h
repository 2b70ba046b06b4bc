// The read-only tables of the Japanese text converter (NkfConverter.h): the widening of JIS X 0201
// half-width katakana to JIS X 0208, with and without a following sound mark, and the folding
// of JIS X 0208 row-1 symbols to ASCII. A JIS X 0208 pair is held as first byte * 256 + second
// byte; 0 marks "no such form".
#ifndef PHOTOGEO_SRC_KANJI_NKFTABLES_H
#define PHOTOGEO_SRC_KANJI_NKFTABLES_H

#include <cstdint>

namespace photogeo::kanji {

// Indexed by half-width byte - 0xA0 (0xA0-0xDF).
extern const uint16_t kKanaToWide[64];
extern const uint16_t kKanaVoiced[64];
extern const uint16_t kKanaSemiVoiced[64];

// Indexed by the second JIS byte - 0x20 (0x20-0x7F) of a row-0x21 symbol; 0 when it has no
// ASCII counterpart.
extern const unsigned char kWideSymbolToAscii[96];

}  // namespace photogeo::kanji

#endif
