// The compiled coefficient tables against the data files they are generated from: every entry
// listed in a file must be in the table with the same value, every other entry must be zero,
// and the epoch named in the file must be the one the model uses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "magvar/IgrfTables.h"
#include "magvar/MagVarModel.h"

namespace {

namespace magvar = photogeo::magvar;

void ExpectTableEqualsFile(const magvar::IgrfCoefficients& table, const std::string& name,
                           int32_t epoch) {
    std::ifstream in(std::string(MAGVAR_DATA_DIR) + "/" + name);
    ASSERT_TRUE(in) << name;
    bool listed[magvar::kTableSize][magvar::kTableSize] = {};
    int rows = 0;
    bool sawEpoch = false;
    std::string line;
    while (std::getline(in, line)) {
        int y = 0, mo = 0, d = 0;
        if (line.rfind("# Epoch:", 0) == 0) {
            const auto open = line.find('(');
            ASSERT_NE(open, std::string::npos) << line;
            ASSERT_EQ(std::sscanf(line.c_str() + open, "(%d-%d-%d)", &y, &mo, &d), 3) << line;
            EXPECT_EQ(magvar::YmdToJulianDay(y % 100, mo, d), epoch) << name;
            sawEpoch = true;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        int n = -1, m = -1;
        std::string g, h, gt, ht;
        ASSERT_TRUE(fields >> n >> m >> g >> h >> gt >> ht) << line;
        ASSERT_TRUE(n >= 1 && n <= magvar::kMaxDegree && m >= 0 && m <= n) << line;
        EXPECT_EQ(table.g[n][m], std::strtod(g.c_str(), nullptr)) << line;
        EXPECT_EQ(table.h[n][m], std::strtod(h.c_str(), nullptr)) << line;
        EXPECT_EQ(table.gt[n][m], std::strtod(gt.c_str(), nullptr)) << line;
        EXPECT_EQ(table.ht[n][m], std::strtod(ht.c_str(), nullptr)) << line;
        listed[n][m] = true;
        ++rows;
    }
    EXPECT_TRUE(sawEpoch) << name;
    EXPECT_EQ(rows, 65) << name << ": degrees 1 to 10, every order";
    for (int n = 0; n <= magvar::kMaxDegree; ++n) {
        for (int m = 0; m <= magvar::kMaxDegree; ++m) {
            if (!listed[n][m]) {
                EXPECT_EQ(table.g[n][m], 0.0);
                EXPECT_EQ(table.h[n][m], 0.0);
                EXPECT_EQ(table.gt[n][m], 0.0);
                EXPECT_EQ(table.ht[n][m], 0.0);
            }
        }
    }
}

TEST(IgrfTables, EqualTheDataFiles) {
    ExpectTableEqualsFile(magvar::kIgrf1990, "igrf1990.txt", magvar::kEpoch1990);
    ExpectTableEqualsFile(magvar::kIgrf2000, "igrf2000.txt", magvar::kEpoch2000);
}

}  // namespace
