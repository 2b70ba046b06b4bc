// Exiv2 wrapper for the EXIF tests (see Exiv2Oracle.h). The Exiv2 0.27 headers use
// std::auto_ptr, which C++17 deprecates; the warning is silenced for this file only.
#include "support/Exiv2Oracle.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace exiftest {

std::map<std::string, std::string> Exiv2ReadJpeg(const Bytes& jpeg) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
    image->readMetadata();
    std::map<std::string, std::string> out;
    for (const Exiv2::Exifdatum& d : image->exifData()) out.emplace(d.key(), d.value().toString());
    return out;
}

std::map<std::string, std::string> Exiv2Read(const Bytes& tiff) {
    return Exiv2ReadJpeg(WrapAsJpeg(tiff));
}

}  // namespace exiftest

#pragma GCC diagnostic pop
