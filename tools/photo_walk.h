// Input selection for the commands that take photos (geotag, track, map): the FILE arguments of
// the command line turned into the list of photos to process, going through directories with
// -r/--recursive. The caller reports the entries that carry a cause as failed files and
// processes the others in the order given.
#ifndef PHOTOGEO_TOOLS_PHOTO_WALK_H
#define PHOTOGEO_TOOLS_PHOTO_WALK_H

#include <string>
#include <vector>

namespace cli {

// One photo to process, or one argument that cannot be gone through.
struct WalkedPhoto {
    std::string path;      // the argument itself, or DIR/sub/name below a directory argument
    std::string relative;  // below its directory argument ("sub/name"); a file argument's name
    std::string cause;     // non-empty: not a photo to process, but a failure to report
};

struct WalkOptions {
    bool recursive = false;
    // Directories not to enter (an output folder inside the input tree), by any path to them.
    std::vector<std::string> skip;
};

// The photos of the arguments, in order. A file argument is taken as it is (whatever its name or
// content: the command checks it). A directory argument without recursive gives one entry with
// the cause "is a directory (give -r to go through it)". With recursive, a directory is gone
// through depth first with the names of each folder in byte order, so the order never depends
// on the file system; below it:
//  - names starting with '.' (hidden files and folders) are left out: name them to take them;
//  - a regular file is taken when its name ends in .jpg, .jpeg or .jpe (any case) or its
//    content starts with the JPEG start-of-image marker; other files are left out;
//  - symbolic links are followed, and a folder already gone through (a link loop, or two links
//    to one folder) is not gone through again;
//  - a folder that cannot be read gives an entry with the cause.
std::vector<WalkedPhoto> WalkPhotos(const std::vector<std::string>& arguments,
                                    const WalkOptions& options);

// True when the name ends in a JPEG extension (.jpg, .jpeg, .jpe; any case).
bool HasJpegExtension(const std::string& name);

}  // namespace cli

#endif
