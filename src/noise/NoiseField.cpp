// Row sampling for the texture fills (see NoiseField.h). The per-pixel arithmetic here repeats
// CPerlinNoise::InterpolatedNoise2D and PerlinNoise2D operation for operation; only the parts
// that depend on one coordinate are hoisted out of the pixel loop.
//
// Every mode is written as w0 * a + w1 * b. That is exact rewriting, not approximation:
// IEEE multiplication and addition are commutative, so (1 - t) * a + b * t (linear),
// (1 - f) * a + f * b (cosine) and (1 - s) * b + s * a (edge) give the same bits in this form.
#include "noise/NoiseField.h"

#include <cstddef>

namespace noise_field {
namespace {

void Weights(int nMode, double t, double& w0, double& w1) {
    if (nMode == kCosine) {
        double f = (1.0 - std::cos(3.141592653589793 * t)) * 0.5;
        w0 = 1.0 - f;
        w1 = f;
    } else if (nMode == kEdge) {
        double s = 1.0 - std::sqrt(t);
        w0 = s;
        w1 = 1.0 - s;
    } else {
        w0 = 1.0 - t;
        w1 = t;
    }
}

}  // namespace

RowSampler::RowSampler(const Settings& settings, int nCapacity)
    : settings_(settings),
      capacity_(nCapacity),
      count_(0),
      columns_(static_cast<size_t>(settings.octaves) * static_cast<size_t>(nCapacity)) {}

void RowSampler::SetColumns(const double* pX, int nCount) {
    count_ = nCount;
    for (int k = 0; k < nCount; ++k) {
        double u = (pX[k] + settings_.offset) / settings_.scaleX;
        for (int o = 0; o < settings_.octaves; ++o) {
            Cell cell = Locate(u * settings_.frequency[o]);
            Column& column = columns_[static_cast<size_t>(o) * capacity_ + k];
            column.i0 = cell.i0;
            column.i1 = cell.i1;
            Weights(settings_.interpolate, cell.t, column.w0, column.w1);
        }
    }
}

void RowSampler::Sample(double y, double* pOut) const {
    for (int k = 0; k < count_; ++k) pOut[k] = 0.0;
    const double* smoothed = noise_lattice::Smoothed();
    double v = (y + settings_.offset) / settings_.scaleY;
    for (int o = 0; o < settings_.octaves; ++o) {
        Cell cell = Locate(v * settings_.frequency[o]);
        double wy0;
        double wy1;
        Weights(settings_.interpolate, cell.t, wy0, wy1);
        const double* row0 = smoothed + cell.i0 * noise_lattice::kSize;
        const double* row1 = smoothed + cell.i1 * noise_lattice::kSize;
        const double amplitude = settings_.amplitude[o];
        const Column* columns = columns_.data() + static_cast<size_t>(o) * capacity_;
        for (int k = 0; k < count_; ++k) {
            const Column& c = columns[k];
            double r0 = c.w0 * row0[c.i0] + c.w1 * row0[c.i1];
            double r1 = c.w0 * row1[c.i0] + c.w1 * row1[c.i1];
            pOut[k] += (r0 * wy0 + r1 * wy1) * amplitude;
        }
    }
}

}  // namespace noise_field
