// Earth-centred, Earth-fixed coordinates to latitude, longitude and height
// on the WGS84 ellipsoid.
#pragma once

struct geodetic {
    double lat, lon; // degrees
    double height;   // metres above the ellipsoid
};

// Five fixed-point steps from the spherical first guess, in doubles, each
// expression evaluated as written (the results are printed to fixed
// decimals, so every step is defined to the bit).
geodetic ecef_to_geodetic(double x, double y, double z);
