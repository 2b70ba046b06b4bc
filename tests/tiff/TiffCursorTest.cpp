// The TIFF cursor's own limits, which the EXIF suites do not reach: spans whose end would
// overflow and the fault of each short header (both byte orders are the EXIF suites').
#include <gtest/gtest.h>

#include <cstdint>

#include "tiff/TiffCursor.h"

namespace {

using namespace photogeo::tiff;

TEST(TiffCursor, SpansNeverWrapAround) {
    const unsigned char bytes[16] = {};
    const Cursor c(bytes, sizeof(bytes));
    struct Case {
        int64_t offset;
        uint32_t count;
        int size;
        bool fits;
    } cases[] = {
        {0, 16, 1, true},          {16, 0, 1, true},         {15, 2, 1, false},
        {17, 0, 1, false},         {-1, 1, 1, false},        {8, 1, 8, true},
        {8, UINT32_MAX, 8, false}, {INT64_MAX, 1, 1, false}, {INT64_MAX - 3, UINT32_MAX, 8, false},
        {0xFFFFFFFF, 0, 1, false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(c.Span(k.offset, k.count, k.size) != nullptr, k.fits)
            << k.offset << " + " << k.count << " x " << k.size;
    EXPECT_THROW(c.Require(12, 5), Error);
    EXPECT_THROW(c.Get32At(13), Error);
}

TEST(TiffCursor, ShortHeadersNameTheStepThatFailed) {
    const unsigned char block[] = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const struct {
        int64_t size;
        Fault fault;
    } cases[] = {{1, Fault::kRead16}, {3, Fault::kSeek}, {7, Fault::kRead32}};
    for (const auto& k : cases) {
        Cursor c(block, k.size);
        try {
            c.ReadHeader();
            ADD_FAILURE() << k.size;
        } catch (const Error& e) {
            EXPECT_EQ(e.fault(), k.fault) << k.size;
            // The mark is taken before the IFD0 offset is missed.
            EXPECT_EQ(c.LittleEndian(), k.size >= 4) << k.size;
        }
    }
}

}  // namespace
