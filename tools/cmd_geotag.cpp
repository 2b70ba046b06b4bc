// "photogeo geotag": gives photos a position (and optionally altitude, bearing, datum, title,
// comment), either as typed or interpolated from GPX tracks at each photo's shooting time.
// This file runs a batch: it selects the photos (photo_walk.h), has geotag_photo.cpp make each
// one, in parallel with --jobs, and hands the results to the report in input order, so the
// output and the files written do not depend on the number of jobs.
#include <photogeo/SafeFile.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "geotag.h"

namespace cli {

namespace {

using namespace geotag;

// With -o DIR each photo goes to DIR/its path below its argument; two photos meeting on one
// target are refused before anything is written.
void RefuseCollisions(const std::vector<WalkedPhoto>& photos, const std::string& out) {
    std::map<std::string, const WalkedPhoto*> targets;
    for (const WalkedPhoto& photo : photos) {
        if (!photo.cause.empty()) continue;
        auto [at, fresh] = targets.emplace(out + "/" + photo.relative, &photo);
        if (!fresh) {
            throw UsageError(at->second->path + " and " + photo.path + " would both be written to " +
                             at->first);
        }
    }
}
// Makes every photo with up to jobs threads and passes the results to done one by one in input
// order, as soon as each one and all before it are ready.
void MakeInOrder(const std::vector<WalkedPhoto>& photos, const Batch& batch, unsigned jobs,
                 const std::function<void(const PhotoResult&)>& done) {
    auto make = [&](std::size_t i) {
        try {
            return TagPhoto(photos[i], batch);
        } catch (const std::exception& e) {
            PhotoResult failed;
            failed.file = photos[i].path;
            failed.reason = e.what();
            return failed;
        }
    };
    if (jobs <= 1) {
        for (std::size_t i = 0; i < photos.size(); ++i) done(make(i));
        return;
    }
    std::vector<std::optional<PhotoResult>> results(photos.size());
    std::mutex lock;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < photos.size(); i = next++) {
            PhotoResult result = make(i);
            std::lock_guard<std::mutex> hold(lock);
            results[i] = std::move(result);
            ready.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned j = 0; j < jobs; ++j) workers.emplace_back(work);
    for (std::size_t i = 0; i < photos.size(); ++i) {
        PhotoResult result;
        {
            std::unique_lock<std::mutex> hold(lock);
            ready.wait(hold, [&] { return results[i].has_value(); });
            result = std::move(*results[i]);
            results[i].reset();
        }
        done(result);
    }
    for (std::thread& worker : workers) worker.join();
}

int Run(const Arguments& a) {
    Batch batch;
    if (!MakeBatch(a, batch)) return kExitFileFailed;
    WalkOptions walk;
    walk.recursive = a.recursive;
    if (batch.outIsDir) walk.skip.push_back(batch.out);
    const std::vector<WalkedPhoto> photos = WalkPhotos(a.files, walk);
    if (batch.outIsDir) RefuseCollisions(photos, batch.out);
    if (photos.empty()) {
        ReportError("no photos in the folders given");
        return kExitNothingDone;
    }

    unsigned jobs = a.jobs != 0 ? a.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, photos.size()));
    // With the photo on standard output, the reports go to standard error.
    Report report(batch.out == "-" ? stderr : stdout, a.json, a.quiet);
    Progress progress(photos.size());
    std::map<std::string, std::string> folders;  // folder -> a file written into it
    MakeInOrder(photos, batch, jobs, [&](const PhotoResult& result) {
        progress.Step(result.file);
        if (result.outcome == Outcome::kFailed) progress.Clear();
        report.Photo(result);
        if (!result.written.empty()) {
            std::size_t slash = result.written.find_last_of('/');
            folders.emplace(slash == std::string::npos ? "." : result.written.substr(0, slash),
                            result.written);
        }
    });
    progress.Clear();
    // The photos were renamed into place without syncing their folders: one sync per folder
    // makes the renames durable.
    int status = kExitOk;
    for (const auto& [folder, file] : folders) {
        if (photogeo::Result<void> synced = photogeo::SyncFolder(file); !synced) {
            ReportError(synced.error().message);
            status = kExitFileFailed;
        }
    }
    report.Summary(batch.dryRun);
    return status != kExitOk ? status : report.Status();
}

std::function<int()> Setup(CLI::App& app) {
    auto a = std::make_shared<Arguments>();
    DeclareOptions(app, *a);
    return [a] { return Run(*a); };
}

}  // namespace

const Command kGeotagCommand = {"geotag",
                                "write a position (typed or from GPX tracks) into photos", Setup};

}  // namespace cli
