// The series-form UTM projection against an independent transverse Mercator implementation.
// Only this test links the projection library; the console itself does not.

#include "navigation/NavigationMath.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace vexar {
namespace {

struct Position {
    double latitude;
    double longitude;
};

/// 200 positions: spread over every zone and latitudes -80..84, the two exception areas, and
/// the corners of the widened zones, which lie 6 degrees from their central meridian.
std::vector<Position> TestPositions() {
    std::mt19937 random(1532);
    const auto uniform = [&](double low, double high) {
        return low + (high - low) * (static_cast<double>(random()) / 4294967296.0);
    };
    std::vector<Position> positions;
    for (int i = 0; i < 140; ++i) {
        positions.push_back({uniform(-80.0, 84.0), uniform(-180.0, 180.0)});
    }
    for (int i = 0; i < 24; ++i) {
        positions.push_back({uniform(56.0, 64.0), uniform(3.0, 12.0)});
    }
    for (int i = 0; i < 24; ++i) {
        positions.push_back({uniform(72.0, 84.0), uniform(0.0, 42.0)});
    }
    const Position corners[] = {{56.0, 3.0},     {63.999, 3.0}, {72.0, 8.999},   {72.0, 9.0},
                                {72.0, 20.999},  {72.0, 21.0},  {72.0, 32.999},  {72.0, 33.0},
                                {83.999, 8.999}, {0.0, 5.999},  {-80.0, -0.001}, {84.0, 179.999}};
    positions.insert(positions.end(), std::begin(corners), std::end(corners));
    return positions;
}

class Proj {
public:
    Proj() : m_context(proj_context_create()) {}
    ~Proj() { proj_context_destroy(m_context); }
    Proj(const Proj&) = delete;
    Proj& operator=(const Proj&) = delete;

    /// Easting and northing of the transverse Mercator of the zone, as the library computes it.
    bool Project(int zone, bool south, double latitude, double longitude, double& easting, double& northing) {
        char definition[160];
        std::snprintf(definition, sizeof definition,
                      "+proj=tmerc +lat_0=0 +lon_0=%d +k=0.9996 +x_0=500000 +y_0=%d +ellps=WGS84 +units=m",
                      zone * 6 - 183, south ? 10000000 : 0);
        PJ* projection = proj_create(m_context, definition);
        if (projection == nullptr) {
            return false;
        }
        const PJ_COORD in = proj_coord(proj_torad(longitude), proj_torad(latitude), 0.0, 0.0);
        const PJ_COORD out = proj_trans(projection, PJ_FWD, in);
        proj_destroy(projection);
        easting = out.enu.e;
        northing = out.enu.n;
        return std::isfinite(easting) && std::isfinite(northing);
    }

private:
    PJ_CONTEXT* m_context;
};

TEST(UtmAgainstProj, SeriesFormAgreesWithinAMillimetre) {
    Proj proj;
    double worst = 0.0;
    Position worstAt{};
    int exceptions = 0;
    for (const Position& p : TestPositions()) {
        const UtmPoint utm = LatLonToUtm(p.latitude, p.longitude);
        const int plainZone = static_cast<int>((p.longitude + 180.0) / 6.0) + 1;
        exceptions += utm.zone != plainZone ? 1 : 0;
        double easting = 0.0;
        double northing = 0.0;
        ASSERT_TRUE(proj.Project(utm.zone, p.latitude < 0.0, p.latitude, p.longitude, easting, northing));
        const double error = std::max(std::fabs(utm.easting - easting), std::fabs(utm.northing - northing));
        EXPECT_LT(error, 0.001) << "at " << p.latitude << ", " << p.longitude << " zone " << utm.zone;
        if (error > worst) {
            worst = error;
            worstAt = p;
        }
    }
    EXPECT_GT(exceptions, 20) << "the exception areas must change the zone of many positions";
    EXPECT_EQ(TestPositions().size(), 200u);
    std::printf("largest difference from the library: %.3f mm at %.4f, %.4f\n", worst * 1000.0,
                worstAt.latitude, worstAt.longitude);
}

} // namespace
} // namespace vexar
