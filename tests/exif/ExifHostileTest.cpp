// Hostile blocks: every truncation of a valid block, directory chains that loop, and blocks
// built to make the reader copy without end (random corruption, and the blocks the fuzzer once
// broke the reader with, are the fuzz targets' corpus). Each is read by both readers, written
// back, rewritten and patched, in buffers of exactly the right size, so that the sanitizer
// build sees any access outside them. The only failure a read may report is EBufferError.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/ExifTestUtil.h"

using namespace exiftest;

namespace {

// An exact-size heap copy, so that a read one byte past the block is caught.
std::unique_ptr<unsigned char[]> Copy(const unsigned char* p, size_t n) {
    std::unique_ptr<unsigned char[]> c(new unsigned char[n ? n : 1]);
    if (n) std::memcpy(c.get(), p, n);
    return c;
}

int64_t StoredBytes(const CExif& e) {
    int64_t total = 0;
    for (const SExifEntry& x : e.m_aEntry) total += x.nSize;
    return total;
}

// Runs every operation of the codec over the n bytes at p. Returns whether the full read
// completed.
bool Exercise(const unsigned char* p, size_t n) {
    bool complete = false;
    for (int quick = 0; quick < 2; ++quick) {
        auto block = Copy(p, n);
        CInBitStream s(block.get(), static_cast<int>(n));
        CExif exif;
        SExifProperty r{};
        try {
            if (quick)
                exif.ReadQuickExif(&s, static_cast<int>(n), &r, 1);
            else
                exif.ReadExif(&s, static_cast<int>(n), &r);
            if (!quick) complete = true;
        } catch (const EBufferError&) {
        } catch (...) {
            ADD_FAILURE() << "unexpected exception type";
        }
        EXPECT_LE(StoredBytes(exif), 2 * static_cast<int64_t>(n) + 65536);
        if (exif.m_pThumbData) {
            EXPECT_GT(exif.m_nThumbSize, 0);
        }

        // Whatever was read can be written, rewritten and written again, and patched back.
        for (int pass = 0; pass < 2; ++pass) {
            const int size = exif.GetTotalSize();
            std::unique_ptr<unsigned char[]> out(new unsigned char[size]);
            const int written = exif.WriteExif(out.get());
            EXPECT_GT(written, 0);
            EXPECT_LE(written, size);
            r.bGPSPosition = r.bGPSAltitude = r.bGPSMapDatum = r.bGPSImgDirection = 1;
            r.szGPSMapDatum[sizeof(r.szGPSMapDatum) - 1] = 0;
            exif.RewriteData(r, CTime(2001, 2, 3, 4, 5, 6), "name", pass, 1);
        }
        auto patched = Copy(p, n);
        CInBitStream ps(patched.get(), static_cast<int>(n));
        try {
            exif.OverwriteGPS(&ps);
        } catch (const EBufferError&) {
        }
    }
    return complete;
}

}  // namespace

TEST(Hostile, EveryTruncationOfAValidBlock) {
    for (bool intel : {true, false}) {
        const Bytes block = SampleBlock(intel);
        CExif full;
        SExifProperty all{};
        ASSERT_TRUE(ReadBlock(full, block, all));
        const std::string reference = DumpRecord(all);
        for (size_t n = 0; n <= block.size(); ++n) {
            Exercise(block.data(), n);
            // A cut block gives no invented values: every item it yields (the combined GPS
            // values aside, whose missing parts default to 0) is the one of the whole block.
            CExif cut;
            SExifProperty r{};
            ReadBlock(cut, Bytes(block.begin(), block.begin() + n), r);
            const std::string dump = DumpRecord(r);
            size_t from = dump.find('\n') + 1;
            while (from < dump.size()) {
                const size_t to = dump.find('\n', from);
                const std::string line = dump.substr(from, to - from + 1);
                if (line.rfind("gps ", 0) != 0 && line.rfind("dest ", 0) != 0) {
                    EXPECT_NE(reference.find(line), std::string::npos) << n << ": " << line;
                }
                from = to + 1;
            }
        }
        EXPECT_TRUE(Exercise(block.data(), block.size()));
        EXPECT_FALSE(Exercise(block.data(), 9));
    }
}

TEST(Hostile, LoopingChainsEnd) {
    for (bool intel : {true, false}) {
        TiffBuilder b(intel);
        b.Short(b.Ifd0(), 274, {1});
        b.Short(b.Ifd1(), 259, {6});
        Bytes block = b.Build();
        // IFD1 (at 8 + 18) links back to IFD0 at 8: a two-directory loop.
        const Bytes eight = b.U32(8);
        std::copy(eight.begin(), eight.end(), block.begin() + 8 + 18 + 14);
        CExif exif;
        SExifProperty r{};
        ASSERT_TRUE(ReadBlock(exif, block, r));
        EXPECT_EQ(exif.m_aEntry.size(), 2u);
        // IFD0 links to itself.
        std::copy(eight.begin(), eight.end(), block.begin() + 8 + 14);
        ASSERT_TRUE(ReadBlock(exif, block, r));
        EXPECT_EQ(exif.m_aEntry.size(), 1u);
    }
}

TEST(Hostile, LongChainStaysMain) {
    // 300 empty-but-one directories in a chain: reading stops before their numbers would
    // reach the sub-directory range.
    TiffBuilder b(true);
    for (int i = 0; i < 300; ++i) b.Short(b.Main(i), 1000 + i, {1});
    CExif exif;
    SExifProperty r{};
    ASSERT_TRUE(ReadBlock(exif, b.Build(), r));
    EXPECT_EQ(exif.m_aEntry.size(), 255u);
    for (const SExifEntry& e : exif.m_aEntry) EXPECT_LT(e.nParent, 0);
}

TEST(Hostile, RepeatedPointersCannotMultiplyTheCopies) {
    // 400 Exif pointers in IFD0, all to one directory of 300 entries that each name the same
    // 4000-byte value: 480 MB of copies if nothing stopped them.
    TiffBuilder b(false);
    const int exif = b.AddDir(false);
    const int blob = b.Blob(Bytes(4000, 7));
    for (int i = 0; i < 300; ++i) b.BlobOffsets(exif, 50000 + i, {blob});
    Bytes block = b.Build();
    // Turn each LONG x 1 offset into an UNDEFINED x 4000 value at that offset.
    for (int i = 0; i < 300; ++i) {
        const size_t e = 8 + 2 + 12 * i;
        block[e + 3] = 7;
        const Bytes count = b.U32(4000);
        std::copy(count.begin(), count.end(), block.begin() + e + 4);
    }
    // IFD0 appended at the end with 400 pointers to the Exif directory at 8.
    const size_t ifd0 = block.size();
    Bytes tail = b.U16(400);
    for (int i = 0; i < 400; ++i) {
        for (const Bytes& part : {b.U16(34665), b.U16(4), b.U32(1), b.U32(8)})
            tail.insert(tail.end(), part.begin(), part.end());
    }
    const Bytes zero = b.U32(0);
    tail.insert(tail.end(), zero.begin(), zero.end());
    block.insert(block.end(), tail.begin(), tail.end());
    const Bytes at = b.U32(static_cast<uint32_t>(ifd0));
    std::copy(at.begin(), at.end(), block.begin() + 4);
    // The reader gives up once the entries read exceed what a block of this size can hold.
    EXPECT_FALSE(Exercise(block.data(), block.size()));
}
