// Writers for the two image files the tool produces: a 24-bit BMP from the JPEG decoder's
// bitmap and a binary greyscale PGM from a noise texture. Both write through WriteOutput (cli.h):
// all or nothing, "-" for standard output.
#ifndef PHOTOGEO_TOOLS_IMAGE_FILES_H
#define PHOTOGEO_TOOLS_IMAGE_FILES_H

#include <photogeo/Result.h>

#include <cstddef>
#include <string>

namespace cli {

// Row stride of a 24-bit bitmap: three bytes a pixel rounded up to a multiple of four.
std::size_t BmpStride(int width);

// Writes a 24-bit BMP whose pixel rows are stored bottom-up, blue-green-red, each row
// BmpStride(width) bytes long: exactly the layout of the decoder's output, so the rows are
// copied as they are. Fails when the file cannot be written or the picture is too large for the
// format.
photogeo::Result<void> WriteBmp24(const std::string& path, int width, int height, const unsigned char* rows);

// Writes a binary PGM (P5, maximum 255) of width x height bytes, row 0 first.
photogeo::Result<void> WritePgm(const std::string& path, int width, int height, const unsigned char* pixels);

}  // namespace cli

#endif
