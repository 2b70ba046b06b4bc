// Fuzz target for the in-place patch CExif::OverwriteGPS: arbitrary bytes as a TIFF block, read
// (ReadExif) as the coder does, given a property record drawn from the input's last bytes
// (RewriteData), then patched into a heap copy of exactly the block's size, so AddressSanitizer
// catches a write outside it. One input in four patches with a directory built from nothing,
// unrelated to the block: the patch must still write nothing outside it. Only EBufferError may
// leave the patch.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzRecord.h"

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
