// The tables of the Japanese text converter: JIS X 0201 half-width katakana (0xA0-0xDF) to
// their JIS X 0208 full-width forms, plain, voiced (followed by the sound mark 0xDE) and
// semi-voiced (followed by 0xDF), and the JIS X 0208 row-1 symbols that have an ASCII
// counterpart. The katakana follow the JIS X 0201 to JIS X 0208 correspondence, with 0xA0
// taken as the full-width space; the voiced rows are ka, sa, ta and ha (u has no entry), the
// semi-voiced row is ha.
#include "kanji/NkfTables.h"

namespace photogeo::kanji {

const uint16_t kKanaToWide[64] = {
    0x2121, 0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527,
    0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A,
    0x252B, 0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552,
    0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568,
    0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

const uint16_t kKanaVoiced[64] = {
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0,      0,
    0x252C, 0x252E, 0x2530, 0x2532, 0x2534, 0x2536, 0x2538, 0x253A, 0x253C, 0x253E, 0x2540,
    0x2542, 0x2545, 0x2547, 0x2549, 0,      0,      0,      0,      0,      0x2550, 0x2553,
    0x2556, 0x2559, 0x255C, 0,      0,      0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,      0,
};

const uint16_t kKanaSemiVoiced[64] = {
    0,      0,      0,      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      0,
    0,      0,      0,      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2551, 0x2554,
    0x2557, 0x255A, 0x255D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

const unsigned char kWideSymbolToAscii[96] = {
    0,    0,    0,    0,    0x2C, 0x2E, 0,    0x3A, 0x3B, 0x3F, 0x21, 0,    0,    0x27, 0x60, 0,
    0x5E, 0,    0x5F, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x2D, 0,    0x2F,
    0x5C, 0,    0,    0x7C, 0,    0,    0x60, 0x27, 0x22, 0x22, 0x28, 0x29, 0,    0,    0x5B, 0x5D,
    0x7B, 0x7D, 0x3C, 0x3E, 0,    0,    0,    0,    0,    0,    0,    0,    0x2B, 0x2D, 0,    0,
    0,    0x3D, 0,    0x3C, 0x3E, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0x24, 0,    0,    0x25, 0x23, 0x26, 0x2A, 0x40, 0,    0,    0,    0,    0,    0,    0,    0,
};

}  // namespace photogeo::kanji
