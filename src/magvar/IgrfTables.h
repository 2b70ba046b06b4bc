// The two coefficient sets of the geomagnetic model, as read-only tables. Their definitions are
// generated at build time by GenerateIgrfTables.cmake from data/igrf1990.txt and
// data/igrf2000.txt; HarmonicModel.cpp evaluates them.
#ifndef PHOTOGEO_MAGVAR_IGRFTABLES_H
#define PHOTOGEO_MAGVAR_IGRFTABLES_H

namespace photogeo::magvar {

// Every loop of the model runs to this degree; the published sets stop at degree 10 and the
// rows beyond hold zeros.
constexpr int kMaxDegree = 12;
constexpr int kTableSize = kMaxDegree + 1;

// Schmidt semi-normalised Gauss coefficients indexed [n][m] (degree n as the row, order m as
// the column): main field g, h in nT at the set's epoch, secular variation gt, ht in nT per
// year. Row 0, every entry with m > n, and h, ht for m = 0 are zero.
struct IgrfCoefficients {
    double g[kTableSize][kTableSize];
    double h[kTableSize][kTableSize];
    double gt[kTableSize][kTableSize];
    double ht[kTableSize][kTableSize];
};

// IGRF 1990, epoch 1990-01-01: main field to degree 10, secular variation to degree 8.
extern const IgrfCoefficients kIgrf1990;
// IGRF 2000, epoch 2000-01-01: main field to degree 10, secular variation to degree 8.
extern const IgrfCoefficients kIgrf2000;

}  // namespace photogeo::magvar

#endif
