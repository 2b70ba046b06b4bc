// The TIFF cursor's own limits, which the EXIF suites do not reach: spans whose end would
// overflow, the fault of each short header, and one block read in both byte orders.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

TEST(TiffCursor, BothOrdersGiveTheSameEntry) {
    // One entry (tag 0x0110, ASCII, count 20, value at 0x1A) in each order.
    const std::vector<unsigned char> mm = {'M',  'M', 0, 42, 0, 0, 0,  8, 0, 1, 0x01,
                                           0x10, 0,   2, 0,  0, 0, 20, 0, 0, 0, 0x1A};
    const std::vector<unsigned char> ii = {'I',  'I', 42, 0,  8, 0, 0, 0,    1, 0, 0x10,
                                           0x01, 2,   0,  20, 0, 0, 0, 0x1A, 0, 0, 0};
    for (const auto* block : {&mm, &ii}) {
        Cursor c(block->data(), static_cast<int64_t>(block->size()), ByteOrder::kLittleEndian);
        const Header h = c.ReadHeader();
        EXPECT_TRUE(h.Valid());
        c.SeekFirstIfd(h.firstIfd);
        EXPECT_EQ(c.ReadCount(), 1);
        const Entry e = c.ReadEntry();
        EXPECT_EQ(e.offset, 10);
        EXPECT_EQ(e.tag, 0x0110);
        EXPECT_EQ(e.type, kAscii);
        EXPECT_EQ(e.count, 20u);
        EXPECT_EQ(e.value, 0x1Au);
        EXPECT_EQ(e.ByteSize(), 20);
        EXPECT_FALSE(e.Inline());
        EXPECT_EQ(c.Pos(), c.Size());
        EXPECT_THROW(c.ReadEntry(), Error);
        EXPECT_EQ(c.Pos(), c.Size()) << "a failed read leaves the cursor where it was";
    }
}

}  // namespace
