// Sine and cosine of angles in degrees by plain arithmetic only: the library's sin, cos and tan
// may differ in their last bit between the C runtimes of the two builds, and these values place
// every camera ray and every vertex of a rotated mesh.
#ifndef TMHOST_ANGLES_H
#define TMHOST_ANGLES_H

namespace tmhost {

struct SineCosine {
    double sine = 0.0;
    double cosine = 1.0;
};

// Taylor series to the 25th power, for |radians| <= pi/4, where its error lies far below a
// double's precision.
SineCosine series_sine_cosine(double radians);

// Any finite angle. Whole multiples of 90 degrees give exactly 0 and +-1, so that a mesh turned
// by a right angle keeps its coordinates exact.
SineCosine sine_cosine_degrees(double degrees);

}  // namespace tmhost

#endif
