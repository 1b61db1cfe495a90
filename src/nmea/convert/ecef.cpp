#include "ecef.h"

#include <cmath>

namespace {
constexpr double wgs84_a = 6378137.0;
constexpr double wgs84_f = 1 / 298.257223563;
constexpr double wgs84_e2 = wgs84_f * (2 - wgs84_f);
constexpr double degrees = 180.0 / 3.141592653589793;
} // namespace

geodetic ecef_to_geodetic(double x, double y, double z)
{
    const double a = wgs84_a, e2 = wgs84_e2;
    double p = std::sqrt(x * x + y * y);
    double lon = std::atan2(y, x);
    double lat = std::atan2(z, p * (1.0 - e2));
    double n = 0, h = 0;
    for (int i = 0; i < 5; ++i) {
        double s = std::sin(lat);
        n = a / std::sqrt(1.0 - e2 * s * s);
        h = p / std::cos(lat) - n;
        lat = std::atan2(z, p * (1.0 - e2 * n / (n + h)));
    }
    double s = std::sin(lat);
    n = a / std::sqrt(1.0 - e2 * s * s);
    h = p / std::cos(lat) - n;
    return {lat * degrees, lon * degrees, h};
}
