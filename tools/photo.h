// The read every subcommand that takes photos starts with: the file check of cli.h, then the
// coder's read of the photo's EXIF.
#ifndef PHOTOGEO_TOOLS_PHOTO_H
#define PHOTOGEO_TOOLS_PHOTO_H

#include <photogeo/ExifIfdCoder.h>

#include <string>

namespace cli {

// CheckJpegFile, then the coder's full (Decoder) or quick (QuickDecoder) read; false with the
// cause in plain words when either fails.
bool ReadPhoto(const std::string& path, CExifIfdCoder& coder, bool quick, std::string& cause);

}  // namespace cli

#endif
