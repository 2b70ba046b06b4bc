// Calls per second of GetMagVar inside the Japan box (the approximation) and outside it (the
// harmonic model), on one core, over fixed pseudo-random places and dates. The checksum of the
// results is printed so that a faster build can be seen to give the same values.
//
// Usage: bench_magvar [seconds per case, default 2]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "photogeo/MagVar.h"

namespace {

volatile double g_sink;

struct Query {
    double lat, lon, height;
    long time;
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
                static_cast<long>(seq.Uniform(0.0, 2147483647.0))};
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

void Run(const char* name, const std::vector<Query>& queries, double seconds) {
    using Clock = std::chrono::steady_clock;
    uint64_t calls = 0;
    double sum = 0.0;
    const auto start = Clock::now();
    double elapsed = 0.0;
    do {
        for (const Query& q : queries) {
            sum += GetMagVar(q.lat, q.lon, q.height, q.time);
        }
        calls += queries.size();
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    // One pass alone gives a checksum that does not depend on how long the run was.
    double onePass = 0.0;
    for (const Query& q : queries) {
        onePass += GetMagVar(q.lat, q.lon, q.height, q.time);
    }
    // Stored so that the timed calls cannot be optimised away.
    g_sink = sum;
    std::printf("%-24s %12.0f calls/s  (%llu calls in %.2f s)  checksum %.17g\n", name,
                calls / elapsed, static_cast<unsigned long long>(calls), elapsed, onePass);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: %s [seconds per case]\n", argv[0]);
        return 2;
    }
    Run("inside the Japan box", MakeQueries(true), seconds);
    Run("outside the Japan box", MakeQueries(false), seconds);
    return 0;
}
