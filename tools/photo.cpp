#include "photo.h"

#include "cli.h"

namespace cli {

bool ReadPhoto(const std::string& path, CExifIfdCoder& coder, bool quick, std::string& cause) {
    if (!CheckJpegFile(path, cause)) return false;
    const int read = quick ? coder.QuickDecoder(path.c_str(), 0) : coder.Decoder(path.c_str());
    if (!read) cause = "cannot open";
    return read != 0;
}

}  // namespace cli
