// "photogeo html": writes the HTML page that a photo keeps in its EXIF user comment to a file of
// its own (or standard output), byte for byte as CExifIfdCoder::PullupHtml would, but all or
// nothing through WriteOutput.
#include <photogeo/ExifIfdCoder.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli.h"
#include "commands.h"
#include "photo.h"

namespace cli {

namespace {

const char kUsage[] = "Usage: photogeo html FILE OUT.html\n";
const char kIntro[] =
    "Writes the photo's user comment to OUT.html when the comment is an HTML page (it\n"
    "contains <html> in any letter case). The text is written byte for byte, in the\n"
    "photo's Shift-JIS.\n";
const char kFooter[] =
    "Example: photogeo html samples/html-comment.jpg page.html\n";

int Run(const std::string& file, const std::string& out) {
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
    const CString& page = coder.m_Property.strUserComment;
    return WriteStatus(
        WriteOutput(out, {{static_cast<const char*>(page), static_cast<std::size_t>(page.GetLength())}}));
}

struct Arguments {
    std::string file, out;
};

std::function<int()> Setup(CLI::App& app) {
    SetHelp(app, kUsage, kIntro, kFooter);
    auto a = std::make_shared<Arguments>();
    app.add_option("FILE", a->file, "the photo")->required();
    app.add_option("OUT.html", a->out, "the page to write (a new or regular file, - for standard output)")->required();
    return [a] { return Run(a->file, a->out); };
}

}  // namespace

const Command kHtmlCommand = {"html", "extract the HTML page kept in a photo's comment", Setup};

}  // namespace cli
