// Builds the shared noise lattice on first use: the 65,536 hash values stored as floats, and
// from them the smoothed value of every lattice point. The smoothing is a pure function of the
// lattice, so it is done here once instead of nine lattice reads per corner per octave; every
// evaluation in CPerlinNoise and the texture fills reads these two tables.
#include "noise/NoiseLattice.h"

#include <cstdint>
#include <vector>

namespace photogeo::noise {
namespace {

// Indices wrap modulo 256 in unsigned arithmetic, which also handles negative coordinates.
inline int Wrap(int v) {
    return static_cast<int>(static_cast<uint32_t>(v) & kMask);
}

class Lattice {
public:
    Lattice() : m_values(kSize * kSize), m_smoothed(kSize * kSize) {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                m_values[y * kSize + x] = static_cast<float>(HashNoise(x, y));
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) m_smoothed[y * kSize + x] = Smooth(x, y);
    }
    const float* Values() const { return m_values.data(); }
    const double* Smoothed() const { return m_smoothed.data(); }

private:
    double At(int x, int y) const { return m_values[Wrap(y) * kSize + Wrap(x)]; }

    // Edges 1/8, corners 1/16, centre 1/4; each float is widened before the sums, which are
    // taken in this order on purpose: the published values depend on it.
    double Smooth(int x, int y) const {
        double edges = At(x - 1, y) + At(x, y - 1) + At(x, y + 1) + At(x + 1, y);
        double corners = At(x + 1, y - 1) + At(x - 1, y - 1) + At(x + 1, y + 1) + At(x - 1, y + 1);
        return edges * 0.125 + corners * 0.0625 + At(x, y) * 0.25;
    }

    std::vector<float> m_values;
    std::vector<double> m_smoothed;
};

// Built on first use (thread-safe initialisation of a function-local static), destroyed when
// the library is unloaded.
const Lattice& TheLattice() {
    static const Lattice lattice;
    return lattice;
}

// First use is when the library is loaded, so that no evaluation (not even the fills' fallback
// when memory runs short) ever has to allocate the lattice.
const Lattice& loadedLattice = TheLattice();

}  // namespace

double HashNoise(int x, int y) {
    // Unsigned arithmetic gives the 32-bit wrap-around of the hash without signed overflow.
    uint32_t n = static_cast<uint32_t>(x) + 1600u * static_cast<uint32_t>(y);
    n ^= n << 13;
    uint32_t m = ((n * n * 15731u + 789221u) * n - 771171059u) & 0x7FFFFFFFu;
    // m < 2^31, so m * 2^-30 is exact and the result lies in (-1, 1].
    return 1.0 - static_cast<double>(m) * 9.313225746154785e-10;
}

const float* Values() {
    return TheLattice().Values();
}

const double* Smoothed() {
    return TheLattice().Smoothed();
}

}  // namespace photogeo::noise
