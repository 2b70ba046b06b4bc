// "photogeo html": writes the HTML page that a photo keeps in its EXIF user comment to a file of
// its own, through CExifIfdCoder::PullupHtml.
#include <photogeo/ExifIfdCoder.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli.h"
#include "commands.h"
#include "photo.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: photogeo html FILE OUT.html\n"
    "\n"
    "Writes the photo's user comment to OUT.html when the comment is an HTML page (it\n"
    "contains <html> in any letter case). The text is written byte for byte, in the\n"
    "photo's Shift-JIS.\n"
    "Example: photogeo html samples/html-comment.jpg page.html\n";

int Run(const std::vector<std::string>& args) {
    ParsedArgs parsed = ParseArgs(args, {});
    if (parsed.positional.size() != 2) throw UsageError("needs FILE and OUT.html");
    const std::string& file = parsed.positional[0];
    const std::string& out = parsed.positional[1];
    CExifIfdCoder coder;
    std::string cause;
    if (!ReadPhoto(file, coder, false, cause)) {
        ReportFileError(file, cause);
        return kExitFileFailed;
    }
    if (!coder.m_Property.bUserComment) {
        ReportFileError(file, "has no user comment");
        return kExitFileFailed;
    }
    CString upper = coder.m_Property.strUserComment;
    upper.MakeUpper();
    if (upper.Find("<HTML>") < 0) {
        ReportFileError(file, "its comment is not an HTML page (no <html> tag)");
        return kExitFileFailed;
    }
    errno = 0;
    if (!coder.PullupHtml(out.c_str())) {
        ReportFileError(out, "cannot write" + (errno ? ": " + ErrnoText(errno) : std::string()));
        return kExitFileFailed;
    }
    return kExitOk;
}

}  // namespace

const Command kHtmlCommand = {"html", "extract the HTML page kept in a photo's comment", kHelp,
                              Run};

}  // namespace cli
