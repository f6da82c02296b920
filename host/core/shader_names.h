// What the host assumes of the shader it runs, in one place: the short names (a description's
// names without their prefix, in any letter case) of the few parameters the host reads or sets
// for its own work. Everything else the host learns from the shader's description; a shader
// without one of these parameters loses only the work named beside it.
#ifndef TMHOST_SHADER_NAMES_H
#define TMHOST_SHADER_NAMES_H

namespace tmhost::shader_names {

// The samples a shaded point takes: what the work of a render is counted in.
constexpr const char* kSamples = "samples";
// How far the sample points spread, and how far a shaded point is lifted along its normal before
// they do: fitted to a model file's size, and weighed against a scene's.
constexpr const char* kDistance = "distance";
constexpr const char* kOffset = "offset";
// Whether a scene's light list includes or excludes its lights.
constexpr const char* kListMode = "list_mode";
// The seed a scene's sample points are drawn from.
constexpr const char* kSeed = "seed";
// The sampling rule (scattered or along the normal), the scatter's Gaussian and the line's
// jitter: what validate varies so that every path of the shader runs.
constexpr const char* kMode = "mode";
constexpr const char* kGaussian = "gaussian";
constexpr const char* kJitter = "jitter";

}  // namespace tmhost::shader_names

#endif
