// Blocks per second of the EXIF codec held in memory: the full reader, the quick reader and
// the writer of CExif, against Exiv2's decoding of the same TIFF block (ExifParser::decode),
// each the best of five timed passes. The block is the tests' sample: about 80 entries over
// IFD0, Exif, Interoperability, GPS and IFD1, with a small JPEG thumbnail.
//   bench_exif [iterations]
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "support/ExifTestUtil.h"

namespace {

double Rate(int iterations, const std::function<void()>& once) {
    double best = 0.0;
    for (int pass = 0; pass < 5; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < iterations; ++i) once();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        const double rate = iterations / took.count();
        if (rate > best) best = rate;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    exiftest::Bytes block = exiftest::SampleBlock(true);
    const int size = static_cast<int>(block.size());
    CExif exif;
    SExifProperty prop{};
    const double full = Rate(iterations, [&] {
        CInBitStream s(block.data(), size);
        exif.ReadExif(&s, size, &prop);
    });
    const double quick = Rate(iterations, [&] {
        CInBitStream s(block.data(), size);
        exif.ReadQuickExif(&s, size, &prop, 0);
    });
    CInBitStream s(block.data(), size);
    exif.ReadExif(&s, size, &prop);
    exiftest::Bytes out(exif.GetTotalSize());
    const double write = Rate(iterations, [&] { exif.WriteExif(out.data()); });
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    const double exiv2 = Rate(iterations, [&] {
        Exiv2::ExifData data;
        Exiv2::ExifParser::decode(data, block.data(), static_cast<uint32_t>(size));
    });
    std::printf("block of %d bytes, %d iterations, best of 5 passes\n", size, iterations);
    std::printf("ReadExif        %10.0f blocks/s  %6.1fx Exiv2\n", full, full / exiv2);
    std::printf("ReadQuickExif   %10.0f blocks/s  %6.1fx Exiv2\n", quick, quick / exiv2);
    std::printf("WriteExif       %10.0f blocks/s\n", write);
    std::printf("Exiv2 decode    %10.0f blocks/s\n", exiv2);
    return 0;
}
