// Earth-centred coordinates to latitude, longitude and height.
#include "nmea/convert/ecef.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr double pi = 3.14159265358979323846;

// The closed-form way back: geodetic to Earth-centred, WGS84.
void to_ecef(double lat, double lon, double h, double& x, double& y, double& z)
{
    const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
    double phi = lat * pi / 180, lam = lon * pi / 180;
    double n = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    x = (n + h) * std::cos(phi) * std::cos(lam);
    y = (n + h) * std::cos(phi) * std::sin(lam);
    z = (n * (1 - e2) + h) * std::sin(phi);
}

TEST(ecef, known_points)
{
    // On the equator at the prime meridian, and a quarter turn east.
    geodetic g = ecef_to_geodetic(6378137.0, 0, 0);
    EXPECT_EQ(g.lat, 0.0);
    EXPECT_EQ(g.lon, 0.0);
    EXPECT_NEAR(g.height, 0.0, 1e-9);
    g = ecef_to_geodetic(0, 6378237.0, 0);
    EXPECT_NEAR(g.lon, 90.0, 1e-12);
    EXPECT_NEAR(g.height, 100.0, 1e-9);
    // Southern and western hemispheres, below the ellipsoid.
    double x, y, z;
    to_ecef(-33.8568, 151.2153, -25.0, x, y, z);
    g = ecef_to_geodetic(x, y, z);
    EXPECT_NEAR(g.lat, -33.8568, 1e-9);
    EXPECT_NEAR(g.lon, 151.2153, 1e-9);
    EXPECT_NEAR(g.height, -25.0, 1e-4);
}

TEST(ecef, round_trips_everywhere_but_the_poles)
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> lat(-89.9, 89.9), lon(-180, 180), h(-500, 20000);
    for (int i = 0; i < 20000; ++i) {
        double la = lat(rng), lo = lon(rng), he = h(rng), x, y, z;
        to_ecef(la, lo, he, x, y, z);
        geodetic g = ecef_to_geodetic(x, y, z);
        // A millimetre on the ground is about 1e-8 degrees.
        ASSERT_NEAR(g.lat, la, 1e-8) << la << " " << lo << " " << he;
        ASSERT_NEAR(g.lon, lo, 1e-9) << la << " " << lo << " " << he;
        ASSERT_NEAR(g.height, he, 1e-3) << la << " " << lo << " " << he;
    }
}

} // namespace
