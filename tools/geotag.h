// The pieces of "photogeo geotag", shared by its files: geotag_options.cpp declares the command
// line and turns it into a Batch, geotag_photo.cpp does one photo's work and says what came of
// it, geotag_report.cpp prints that and the batch's summary, and cmd_geotag.cpp runs the batch
// (in parallel with --jobs) in input order.
#ifndef PHOTOGEO_TOOLS_GEOTAG_H
#define PHOTOGEO_TOOLS_GEOTAG_H

#include <cstddef>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "gpx.h"
#include "photo_walk.h"
#include "shot_time.h"

namespace cli {
namespace geotag {

// The command line as parsed; given() tells whether an option was.
struct Arguments {
    const CLI::App* app = nullptr;
    std::vector<std::string> files;
    double lat = 0.0, lon = 0.0, alt = 0.0, dir = 0.0, maxGap = 300.0, maxDistance = 0.0;
    double drift = 0.0;
    std::string dirRef, datum, title, comment, offset, tz, sync, out;
    std::vector<std::string> gpx;
    unsigned jobs = 0;  // 0: one a core
    bool inPlace = false, patch = false, rebuild = false, dryRun = false, keepTime = false;
    bool json = false, recursive = false, skipTagged = false, quiet = false;

    bool given(const std::string& option) const { return app->count(option) != 0; }
};

// What to write into one photo; an item is written when set.
struct Request {
    std::optional<double> lat, lon, alt, dir, fixTime;
    std::optional<char> dirRef;
    std::optional<std::string> datum, title, comment;  // UTF-8

    bool Gps() const { return lat || alt || dir || dirRef || datum; }
};

enum class Mode { kLossless, kRebuild, kPatch };

// Everything a photo's work needs, fixed before the batch starts and only read while it runs
// (from several threads with --jobs).
struct Batch {
    Mode mode = Mode::kLossless;
    bool inPlace = false, outIsDir = false, dryRun = false, keepTime = false;
    bool json = false, skipTagged = false;
    std::string out;
    Request base;
    bool gpx = false;
    Track track;
    TrackLimits limits;
    CameraClock clock;
};

// Declares the options and arguments on app, bound to a.
void DeclareOptions(CLI::App& app, Arguments& a);
// The batch a parsed command line asks for, its tracks read; throws UsageError. A track that
// cannot be read is a failed file: false, reported.
bool MakeBatch(const Arguments& a, Batch& batch);

enum class Outcome { kWritten, kWouldWrite, kSkipped, kFailed };

// What came of one photo: what the report prints about it.
struct PhotoResult {
    std::string file;
    Outcome outcome = Outcome::kFailed;
    std::string reason;  // why skipped or failed
    std::string kind;    // a skip's reason in a few words, for the summary
    std::string text;    // the report's line after "FILE: " when written
    std::string written; // the file written, whose folder is still to be synced
    Json object;         // with --json: the object for the photo
};

// Makes, checks and (unless a dry run) writes one photo.
PhotoResult TagPhoto(const WalkedPhoto& photo, const Batch& batch);

// The report of a batch: one line (or JSON object) a photo, in input order, on out; failures on
// stderr; and a summary at the end.
class Report {
public:
    Report(std::FILE* out, bool json, bool quiet) : m_out(out), m_json(json), m_quiet(quiet) {}
    void Photo(const PhotoResult& result);
    void Summary(bool dryRun) const;
    // The exit status: 1 when a photo failed, 3 when every photo was skipped, else 0.
    int Status() const;

private:
    std::FILE* m_out;
    bool m_json, m_quiet;
    std::size_t m_photos = 0, m_written = 0, m_failed = 0, m_skipped = 0;
    std::map<std::string, std::size_t> m_skips;  // by kind
};

}  // namespace geotag
}  // namespace cli

#endif
