// Fuzz target for the EXIF readers: arbitrary bytes as the TIFF block of an EXIF segment, read by
// CExif::ReadExif and by CExif::ReadQuickExif (thumbnail or not by the block's length), each from
// a heap copy of exactly the block's size so that AddressSanitizer catches any read outside it.
// The table the full read leaves, also after a read that failed part-way, is then deep-copied.
//
// Checks: only EBufferError leaves a reader; a read that completes leaves the stream at the
// block's end; the copy holds the same entries.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const int length = static_cast<int>(size);
    CExif exif, quick;
    SExifProperty prop{}, quick_prop{};
    for (CExif* reader : {&exif, &quick}) {
        std::vector<unsigned char> block(data, data + size);
        CInBitStream stream(block.data(), length);
        try {
            if (reader == &exif)
                exif.ReadExif(&stream, length, &prop);
            else
                quick.ReadQuickExif(&stream, length, &quick_prop, static_cast<int>(size & 1));
            Require(stream.GetPosition() == block.data() + block.size());
        } catch (const EBufferError&) {
        }
    }

    CExif copy;
    copy = exif;
    Require(copy.m_aEntry.size() == exif.m_aEntry.size() &&
            copy.GetTotalSize() == exif.GetTotalSize());
    for (size_t i = 0; i < exif.m_aEntry.size(); ++i) {
        const SExifEntry& a = exif.m_aEntry[i];
        const SExifEntry& b = copy.m_aEntry[i];
        Require(a.nParent == b.nParent && a.nTag == b.nTag && a.nSize == b.nSize);
        Require(a.nParent == DIR_DELETED || a.nSize <= 0 ||
                std::memcmp(a.pData, b.pData, a.nSize) == 0);
    }
    return 0;
}
