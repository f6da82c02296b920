// Where in a pixel its camera rays go when a render takes several a pixel (--pixel-samples): the
// pixel is cut into a grid of strata, as many as the samples, each sample at a place of its own
// stratum given by a hash of the pixel, the sample's index and the render's pixel seed. The
// places depend on nothing else, so an image repeats for any threads and lanes. One sample is
// the pixel's centre.
#ifndef TMHOST_PIXEL_SAMPLES_H
#define TMHOST_PIXEL_SAMPLES_H

#include <cstdint>

namespace tmhost {

constexpr int kMostPixelSamples = 64;

struct PixelPlace {
    double u = 0.5;  // across, 0 at the pixel's left edge, 1 at its right
    double v = 0.5;  // down, 0 at its top edge
};

// Sample `index` (0 .. count - 1) of `count` in pixel (x, y). The grid has m = ceil(sqrt(count))
// columns and ceil(count / m) rows; sample i lies in column i mod m, row i div m, at a place in
// it from the hash. count 1: the centre.
PixelPlace pixel_place(int x, int y, int index, int count);

}  // namespace tmhost

#endif
