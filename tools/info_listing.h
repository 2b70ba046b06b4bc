// What "photogeo info" prints for one photo: the library's listing as aligned label/value
// columns (UTF-8, or the library's Shift-JIS bytes with sjis), or one JSON object per photo as
// docs/json-schema.json defines it. cmd_info.cpp parses the command line and calls ListPhoto
// for each file.
#ifndef PHOTOGEO_TOOLS_INFO_LISTING_H
#define PHOTOGEO_TOOLS_INFO_LISTING_H

#include <string>

namespace cli {

struct InfoOptions {
    bool quick = false;  // quick read (title, shooting time, comment, GPS); ignored with json
    bool all = false;    // also list the basic items that are absent (text only)
    bool json = false;
    bool sjis = false;   // text in the library's Shift-JIS
};

// Reads the photo named file ("-": standard input) and prints its listing to standard output;
// first says
// whether it is the first listing (text listings are separated by a blank line). Returns false,
// with the cause in plain words, when the file cannot be read or is not a JPEG file; nothing is
// printed then.
bool ListPhoto(const std::string& file, const InfoOptions& options, bool first,
               std::string& cause);

}  // namespace cli

#endif
