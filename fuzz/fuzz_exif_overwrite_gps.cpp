// Fuzz target for the in-place patch CExif::OverwriteGPS: arbitrary bytes as a TIFF block.
//
// As the coder does it, the block is first read (ReadExif) into a directory, a property record
// drawn from the input's last bytes is applied to that directory (RewriteData), and the
// directory is then patched into a second copy of the block. One input in four instead patches
// with a directory built from nothing (no block read), whose entries have no relation to the
// block's: the patch must then still write nothing outside the block.
//
// The copy that is patched is a heap buffer of exactly the block's size, so AddressSanitizer
// catches a write outside it. Only EBufferError may leave the patch.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzRecord.h"
#include "photogeo/Exif.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "JST-9", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    FuzzedDataProvider fdp(data, size);
    const bool from_nothing = fdp.ConsumeIntegralInRange<int>(0, 3) == 0;
    FuzzRewrite rewrite = DrawRewrite(fdp);
    const std::vector<unsigned char> block = fdp.ConsumeRemainingBytes<unsigned char>();
    const int length = static_cast<int>(block.size());

    CExif exif;
    if (!from_nothing) {
        std::vector<unsigned char> read_copy = block;
        SExifProperty read_prop{};
        ReadBlock(exif, read_copy.data(), length, read_prop);
    }
    exif.RewriteData(rewrite.prop, rewrite.time, rewrite.name.c_str(), rewrite.bDate,
                     rewrite.bWriteGPS);

    unsigned char* patched = static_cast<unsigned char*>(std::malloc(block.size()));
    if (!block.empty()) std::memcpy(patched, block.data(), block.size());
    CInBitStream stream(patched, length);
    try {
        exif.OverwriteGPS(&stream);
    } catch (const EBufferError&) {
    }
    std::free(patched);
    return 0;
}
