// The report of a "photogeo geotag" batch (see geotag.h): a line a photo on the report stream
// ("FILE: 35.0, 135.7 -> OUT", "FILE: skipped, WHY"), or its JSON object with --json, failures
// on stderr, and at the end of a batch of several photos a summary that counts the photos
// written, skipped (by reason) and failed. cmd_geotag.cpp hands the photos over in input order.
#include <string>

#include "geotag.h"

namespace cli {
namespace geotag {

namespace {

const char* const kOutcomeNames[] = {"written", "would_write", "skipped", "failed"};

}  // namespace

void Report::Photo(const PhotoResult& result) {
    ++m_photos;
    switch (result.outcome) {
        case Outcome::kWritten:
        case Outcome::kWouldWrite:
            ++m_written;
            break;
        case Outcome::kSkipped:
            ++m_skipped;
            ++m_skips[result.kind];
            break;
        case Outcome::kFailed:
            ++m_failed;
            ReportFileError(result.file, result.reason);
            break;
    }
    if (m_quiet) return;
    if (m_json) {
        Json object = result.object;
        object["outcome"] = kOutcomeNames[static_cast<int>(result.outcome)];
        if (!result.reason.empty()) object["reason"] = result.reason;
        std::string line = object.dump(-1, ' ', false, Json::error_handler_t::replace);
        std::fprintf(m_out, "%s\n", line.c_str());
    } else if (result.outcome == Outcome::kSkipped) {
        std::fprintf(m_out, "%s: skipped, %s\n", result.file.c_str(), result.reason.c_str());
    } else if (result.outcome != Outcome::kFailed) {
        std::fprintf(m_out, "%s: %s\n", result.file.c_str(), result.text.c_str());
    }
}

void Report::Summary(bool dryRun) const {
    if (m_quiet || m_json || m_photos < 2) return;
    std::string line = std::to_string(m_photos) + " photos: " + std::to_string(m_written) +
                       (dryRun ? " to write, " : " written, ") + std::to_string(m_skipped) +
                       " skipped";
    if (!m_skips.empty()) {
        const char* separator = " (";
        for (const auto& [kind, count] : m_skips) {
            line += separator + std::to_string(count) + " " + kind;
            separator = ", ";
        }
        line += ")";
    }
    line += ", " + std::to_string(m_failed) + " failed";
    std::fprintf(m_out, "%s\n", line.c_str());
}

int Report::Status() const {
    if (m_failed != 0) return kExitFileFailed;
    // Every photo skipped: nothing was done, which a script should notice.
    if (m_photos != 0 && m_skipped == m_photos) return kExitNothingDone;
    return kExitOk;
}

}  // namespace geotag
}  // namespace cli
