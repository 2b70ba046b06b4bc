// Calls per second of GetMagVar inside the Japan box (the approximation) and outside it (the
// harmonic model), and of the IGRF-14 model (one-off Igrf14Field calls at varying dates,
// Igrf14Model::Field at one date, and Igrf14Model::FieldAlongParallel filling rows of a map
// grid, counted per place), on one core (measured in the thread's CPU time), over fixed
// pseudo-random places and dates. The checksum of the results is printed so that a faster build
// can be seen to give the same values.
//
// Usage: bench_magvar [CPU seconds per case, default 2] [only the cases whose name contains this]
// With 0 seconds each case makes exactly two passes over its 4,096 queries, for counting
// instructions: valgrind --tool=callgrind bench_magvar 0 "one date", less the count of
// bench_magvar 0 none (no case), over 8,192 calls.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "photogeo/GeomagneticField.h"
#include "photogeo/MagVar.h"

namespace {

volatile double g_sink;
const char* g_onlyCases = "";

struct Query {
    double lat, lon, height;
    long time;
    double year;  // the same instant as a decimal year (IGRF-14 cases)
};

// A fixed linear congruential sequence, so every run measures the same calls.
class Sequence {
public:
    double Uniform(double lo, double hi) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + (hi - lo) * static_cast<double>(m_state >> 11) * 0x1.0p-53;
    }

private:
    uint64_t m_state = 12345;
};

std::vector<Query> MakeQueries(bool japan) {
    Sequence seq;
    std::vector<Query> queries;
    while (queries.size() < 4096) {
        Query q{seq.Uniform(-89.0, 89.0), seq.Uniform(-180.0, 180.0), seq.Uniform(0.0, 4000.0),
                static_cast<long>(seq.Uniform(0.0, 2147483647.0)), 0.0};
        q.year = 1970.0 + q.time / (365.2425 * 86400.0);
        if (japan) {
            q.lat = seq.Uniform(22.0, 46.0);
            q.lon = seq.Uniform(122.0, 149.0);
        } else if (q.lat >= 22.0 && q.lat <= 46.0 && q.lon >= 122.0 && q.lon <= 149.0) {
            continue;
        }
        queries.push_back(q);
    }
    return queries;
}

// CPU time of this thread, so that a machine shared with other work still shows what one
// core achieves; the wall-clock rate is printed beside it.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Each call of `evaluate` answers `places` places.
template <typename Evaluate>
void Run(const char* name, const std::vector<Query>& queries, double seconds, Evaluate evaluate,
         uint64_t places = 1) {
    if (!std::strstr(name, g_onlyCases)) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    uint64_t calls = 0;
    double sum = 0.0;
    const auto wallStart = Clock::now();
    const double cpuStart = ThreadSeconds();
    double cpu = 0.0;
    do {
        for (const Query& q : queries) {
            sum += evaluate(q);
        }
        calls += queries.size() * places;
        cpu = ThreadSeconds() - cpuStart;
    } while (cpu < seconds);
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    // One pass alone gives a checksum that does not depend on how long the run was.
    double onePass = 0.0;
    for (const Query& q : queries) {
        onePass += evaluate(q);
    }
    // Stored so that the timed calls cannot be optimised away.
    g_sink = sum;
    std::printf("%-22s %11.0f calls/s of CPU time, %11.0f calls/s of wall time  checksum %.17g\n",
                name, calls / cpu, calls / wall, onePass);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (!(seconds >= 0.0)) {
        std::fprintf(stderr, "usage: %s [seconds per case] [case name part]\n", argv[0]);
        return 2;
    }
    if (argc > 2) {
        g_onlyCases = argv[2];
    }
    auto legacy = [](const Query& q) { return GetMagVar(q.lat, q.lon, q.height, q.time); };
    Run("inside the Japan box", MakeQueries(true), seconds, legacy);
    const std::vector<Query> world = MakeQueries(false);
    Run("outside the Japan box", world, seconds, legacy);
    Run("IGRF-14, Igrf14Field", world, seconds, [](const Query& q) {
        return photogeo::Igrf14Field(q.lat, q.lon, q.height, q.year).field.declination;
    });
    photogeo::Igrf14Model model;
    model.SetTime(2026.5);
    Run("IGRF-14, one date", world, seconds, [&model](const Query& q) {
        return model.Field(q.lat, q.lon, q.height).field.declination;
    });
    // A row of a one-degree grid from each query's place eastward.
    constexpr int kRow = 360;
    Run("IGRF-14, rows of 360", world, seconds, [&model](const Query& q) {
        double longitudes[kRow];
        photogeo::GeomagneticResult results[kRow];
        for (int i = 0; i < kRow; ++i) {
            longitudes[i] = q.lon + i;
        }
        model.FieldAlongParallel(q.lat, q.height, longitudes, kRow, results);
        double sum = 0.0;
        for (const photogeo::GeomagneticResult& r : results) {
            sum += r.field.declination;
        }
        return sum;
    }, kRow);
    return 0;
}
