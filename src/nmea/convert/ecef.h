// Earth-centred, Earth-fixed coordinates to latitude, longitude and height
// on the WGS84 ellipsoid.
#pragma once

struct geodetic {
    double lat, lon; // degrees
    double height;   // metres above the ellipsoid
};

// Five fixed-point steps in doubles from the first guess atan2(z, p·(1 − e²)),
// p the distance from the axis: the latitude of a point on the ellipsoid
// itself, exact at height 0. Each expression is evaluated as written (the
// results are printed to fixed decimals, so every step is defined to the
// bit).
geodetic ecef_to_geodetic(double x, double y, double z);
