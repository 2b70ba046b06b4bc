// Row sampling for the texture fills (see NoiseField.h). The per-pixel arithmetic here repeats
// CPerlinNoise::InterpolatedNoise2D and PerlinNoise2D operation for operation; only the parts
// that depend on one coordinate are hoisted out of the pixel loop.
//
// Every mode is written as w0 * a + w1 * b. That is exact rewriting, not approximation:
// IEEE multiplication and addition are commutative, so (1 - t) * a + b * t (linear),
// (1 - f) * a + f * b (cosine) and (1 - s) * b + s * a (edge) give the same bits in this form.
#include "noise/NoiseField.h"

#include <cstddef>

namespace photogeo::noise {
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
    : m_settings(settings),
      m_capacity(nCapacity),
      m_count(0),
      m_columns(static_cast<size_t>(settings.octaves) * static_cast<size_t>(nCapacity)) {}

void RowSampler::SetColumns(const double* pX, int nCount) {
    m_count = nCount;
    for (int k = 0; k < nCount; ++k) {
        double u = (pX[k] + m_settings.offset) / m_settings.scaleX;
        for (int o = 0; o < m_settings.octaves; ++o) {
            Cell cell = Locate(u * m_settings.frequency[o]);
            Column& column = m_columns[static_cast<size_t>(o) * m_capacity + k];
            column.i0 = cell.i0;
            column.i1 = cell.i1;
            Weights(m_settings.interpolate, cell.t, column.w0, column.w1);
        }
    }
}

void RowSampler::Sample(double y, double* pOut) const {
    for (int k = 0; k < m_count; ++k) pOut[k] = 0.0;
    const double* smoothed = photogeo::noise::Smoothed();
    double v = (y + m_settings.offset) / m_settings.scaleY;
    for (int o = 0; o < m_settings.octaves; ++o) {
        Cell cell = Locate(v * m_settings.frequency[o]);
        double wy0;
        double wy1;
        Weights(m_settings.interpolate, cell.t, wy0, wy1);
        const double* row0 = smoothed + cell.i0 * photogeo::noise::kSize;
        const double* row1 = smoothed + cell.i1 * photogeo::noise::kSize;
        const double amplitude = m_settings.amplitude[o];
        const Column* columns = m_columns.data() + static_cast<size_t>(o) * m_capacity;
        for (int k = 0; k < m_count; ++k) {
            const Column& c = columns[k];
            double r0 = c.w0 * row0[c.i0] + c.w1 * row0[c.i1];
            double r1 = c.w0 * row1[c.i0] + c.w1 * row1[c.i1];
            pOut[k] += (r0 * wy0 + r1 * wy1) * amplitude;
        }
    }
}

}  // namespace photogeo::noise
