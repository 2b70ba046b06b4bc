// The shared machinery of the command-line tool declared in cli.h: the help layout and number
// checks of the command line, reporting on stderr, the progress line, whole-file reading, and
// the Shift-JIS/UTF-8 text helpers that sit between the library's texts and the terminal.
#include "cli.h"

#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <utility>

namespace cli {

namespace {

// The help layout of every command: the usage lines and the introduction first, then what
// CLI11 lists of the arguments and options, then the footer.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter(std::string usage, std::string intro)
        : m_usage(std::move(usage)), m_intro(std::move(intro)) {
        column_width(kOptionColumn);
        label("Positionals", "Arguments");
    }
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override {
        return m_usage + "\n" + m_intro + make_positionals(app) + make_groups(app, mode) + "\n" +
               make_footer(app);
    }
    // The value's placeholder as the command names it (option_text), else its type; arguments
    // are named by themselves.
    std::string make_option_opts(const CLI::Option* opt) const override {
        if (!opt->get_option_text().empty()) return " " + opt->get_option_text();
        if (opt->get_positional() || opt->get_type_size() == 0) return std::string();
        return " " + opt->get_type_name();
    }
    // Descriptions wrapped at word boundaries to fit beside the option column.
    std::string make_option_desc(const CLI::Option* opt) const override {
        std::string out;
        std::size_t lineStart = 0;
        std::istringstream words(opt->get_description());
        std::string word;
        while (words >> word) {
            if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > kTextWidth) {
                out += '\n';
                lineStart = out.size();
            } else if (out.size() > lineStart) {
                out += ' ';
            }
            out += word;
        }
        return out;
    }

private:
    static const std::size_t kOptionColumn = 24;
    static const std::size_t kTextWidth = 80 - kOptionColumn - 2;
    std::string m_usage;
    std::string m_intro;
};

bool ParseFinite(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

std::string FormatBound(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// iconv over a whole text. On an unconvertible or invalid sequence, one input byte is dropped
// and the replacement written in its place.
std::string Convert(const char* to, const char* from, const std::string& in,
                    const std::string& replacement, bool* lossy) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("no text conversion from ") + from + " to " + to);
    }
    std::string out;
    std::vector<char> buf(4 * in.size() + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    if (lossy) *lossy = false;
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), dst - buf.data());
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut at the end): replace one byte and go on.
            out += replacement;
            if (lossy) *lossy = true;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i, or -1 for a
// malformed sequence (i advanced by one byte).
long DecodeUtf8(const std::string& s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0) {
        ++i;
        return -1;
    }
    long cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size()) {
            ++i;
            return -1;
        }
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    return cp;
}

bool IsWide(long cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
           (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

}  // namespace

std::unique_ptr<CLI::App> MakeParser(const Command& command, std::function<int()>& run) {
    auto app = std::make_unique<CLI::App>(command.summary, std::string("photogeo ") + command.name);
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    run = command.setup(*app);
    return app;
}

void SetHelp(CLI::App& app, const std::string& usage, const std::string& intro,
             const std::string& footer) {
    app.formatter(std::make_shared<HelpFormatter>(usage, intro));
    app.footer(footer);
}

CLI::Validator Range(double lo, double hi) {
    return CLI::Validator(
        [lo, hi](std::string& text) -> std::string {
            double v = 0.0;
            if (!ParseFinite(text, v)) return "not a number: '" + text + "'";
            if (v < lo || v > hi) return "must lie in " + FormatBound(lo) + ".." + FormatBound(hi);
            return std::string();
        },
        std::string());
}

void PrintJsonLine(const Json& value) {
    std::string line = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    line += '\n';
    std::fputs(line.c_str(), stdout);
}

long ParseLong(const std::string& text, const std::string& what) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(begin, &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE) {
        throw UsageError(what + ": not a whole number: '" + text + "'");
    }
    return v;
}

void ReportFileError(const std::string& file, const std::string& cause) {
    std::fprintf(stderr, "photogeo: %s: %s\n", file.c_str(), cause.c_str());
}

void ReportError(const std::string& message) {
    std::fprintf(stderr, "photogeo: %s\n", message.c_str());
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

// Progress is worth showing only when a person watches a batch that takes a while.
static const std::size_t kProgressThreshold = 36;

Progress::Progress(std::size_t total)
    : m_total(total), m_enabled(total > kProgressThreshold && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    Clear();
}

void Progress::Step(const std::string& file) {
    ++m_done;
    if (!m_enabled) return;
    std::string name = file.size() > 50 ? "..." + file.substr(file.size() - 47) : file;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", m_done, m_total, name.c_str());
    std::fflush(stderr);
    m_shown = true;
}

void Progress::Clear() {
    if (!m_shown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_shown = false;
}

int WriteStatus(const photogeo::Result<void>& written) {
    if (written) return kExitOk;
    ReportError(written.error().message);
    return kExitFileFailed;
}

void AddPhotoArguments(CLI::App& app, const std::string& name, std::vector<std::string>& files,
                       bool& recursive) {
    app.add_option(name, files, "JPEG photos, or folders with -r")->required();
    app.add_flag("-r,--recursive", recursive,
                 "go through folders and their subfolders in name order, taking files named "
                 "*.jpg, *.jpeg or *.jpe and other files that start as a JPEG does; hidden "
                 "files and folders are left out unless named");
}

photogeo::Result<void> WriteOutput(const std::string& path, std::initializer_list<Bytes> pieces,
                                   const photogeo::WriteOptions& options) {
    if (path == "-") {
        for (const Bytes& piece : pieces) {
            if (std::fwrite(piece.data, 1, piece.size, stdout) != piece.size) {
                return photogeo::Error{"write (standard output): " + ErrnoText(errno), errno};
            }
        }
        if (std::fflush(stdout) != 0) {
            return photogeo::Error{"write (standard output): " + ErrnoText(errno), errno};
        }
        return {};
    }
    photogeo::Result<photogeo::FileReplacement> file =
        photogeo::FileReplacement::Begin(path, options);
    if (!file) return file.error();
    for (const Bytes& piece : pieces) {
        photogeo::Result<void> written = file.value().Write(piece.data, piece.size);
        if (!written) return written.error();
    }
    return file.value().Commit();
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& data) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    data.clear();
    unsigned char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    int err = errno;
    std::fclose(f);
    if (!ok) errno = err;
    return ok;
}

bool CheckJpegFile(const std::string& path, std::string& cause) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        cause = "cannot open: " + ErrnoText(errno);
        return false;
    }
    unsigned char head[2] = {0, 0};
    std::size_t n = std::fread(head, 1, 2, f);
    int err = errno;
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        cause = "cannot read: " + ErrnoText(err);
        return false;
    }
    if (n < 2 || head[0] != 0xFF || head[1] != 0xD8) {
        cause = "not a JPEG file (it does not start with a start-of-image marker)";
        return false;
    }
    return true;
}

std::string SjisToUtf8(const std::string& sjis) {
    return Convert("UTF-8", "CP932", sjis, "\xEF\xBF\xBD", nullptr);
}

std::string Utf8ToSjis(const std::string& utf8, const std::string& what) {
    bool lossy = false;
    std::string out = Convert("CP932", "UTF-8", utf8, "?", &lossy);
    if (lossy) throw UsageError(what + ": text is not UTF-8 or has characters Shift-JIS lacks");
    return out;
}

std::size_t DisplayWidthUtf8(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        long cp = DecodeUtf8(utf8, i);
        width += cp >= 0 && IsWide(cp) ? 2 : 1;
    }
    return width;
}

std::size_t DisplayWidthSjis(const std::string& sjis) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (lead && i + 1 < sjis.size()) {
            ++i;
            width += 2;
        } else {
            width += 1;
        }
    }
    return width;
}

}  // namespace cli
