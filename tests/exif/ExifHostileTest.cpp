// Hostile blocks: every truncation of a valid block, directory chains that loop, and blocks
// built to make the reader copy without end (random corruption, and the blocks the fuzzer once
// broke the reader with, are fuzz_exif_block's corpus). Each is read by both readers, written
// back, rewritten and patched, in buffers of exactly the right size, so that the sanitizer
// build sees any access outside them (that only EBufferError leaves a read is the fuzz
// target's check).
#include <gtest/gtest.h>

#include "support/ExifTestUtil.h"
#include "support/Files.h"

using namespace exiftest;

namespace {

int64_t StoredBytes(const CExif& e) {
    int64_t total = 0;
    for (const SExifEntry& x : e.m_aEntry) total += x.nSize;
    return total;
}

// Runs every operation of the codec over the block. Returns whether the full read completed,
// and the record it read in read.
bool Exercise(const Bytes& block, SExifProperty* read = nullptr) {
    bool complete = false;
    for (bool quick : {false, true}) {
        CExif exif;
        SExifProperty r{};
        complete |= ReadBlock(exif, block, r, quick) && !quick;
        if (read && !quick) *read = r;
        EXPECT_LE(StoredBytes(exif), 2 * static_cast<int64_t>(block.size()) + 65536);
        EXPECT_TRUE(!exif.m_pThumbData || exif.m_nThumbSize > 0);
        // Whatever was read can be written, rewritten and written again, and patched back.
        for (int pass = 0; pass < 2; ++pass) {
            Bytes out(exif.GetTotalSize());
            const int written = exif.WriteExif(out.data());
            EXPECT_GT(written, 0);
            EXPECT_LE(written, static_cast<int>(out.size()));
            r.bGPSPosition = r.bGPSAltitude = r.bGPSMapDatum = r.bGPSImgDirection = 1;
            r.szGPSMapDatum[sizeof(r.szGPSMapDatum) - 1] = 0;
            exif.RewriteData(r, CTime(2001, 2, 3, 4, 5, 6), "name", pass, 1);
        }
        Bytes patched = block;
        CInBitStream ps(patched.data(), static_cast<int>(patched.size()));
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
            // A cut block gives no invented values: every item it yields (the combined GPS
            // values aside, whose missing parts default to 0) is the one of the whole block.
            SExifProperty r{};
            Exercise(Bytes(block.begin(), block.begin() + n), &r);
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
    // 400 Exif pointers in IFD0, all to one directory of 300 entries: 120,000 entries to read,
    // and in the data file, whose entries each name the same 4000-byte value, 480 MB of copies.
    // The reader gives up once the entries, or the value bytes, exceed what a block of this size
    // can hold.
    TiffBuilder b(false);
    const int exif = b.AddDir(false);
    for (int i = 0; i < 300; ++i) b.Short(exif, 50000 + i, {1});
    for (int i = 0; i < 400; ++i) b.Pointer(b.Ifd0(), 34665, exif);
    EXPECT_FALSE(Exercise(b.Build()));
    EXPECT_FALSE(
        Exercise(testsupport::ReadFile(PHOTOGEO_TEST_DATA "/exif/repeated-pointers.tiff")));
}
