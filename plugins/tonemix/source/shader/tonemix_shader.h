// The Tonemix shader node: one per shader instance the host creates. The host reaches every
// operation through the registration record's dispatch entries, and destroy through free_node.
#ifndef TONEMIX_SHADER_H
#define TONEMIX_SHADER_H

#include <cstddef>
#include <cstdint>

#include "host_api.h"
#include "light_filter.h"
#include "node_data_base.h"
#include "sample_points.h"
#include "shared_random_stream.h"

class TonemixShader : public NodeDataBase {
public:
    // A call takes the draws of up to this many sample points as one run of the stream, so a
    // call with up to kSamplesPerRun + 1 samples shares no run with another; the points wait on
    // the call's stack (12 bytes each) while their lights are gathered.
    static constexpr int32_t kSamplesPerRun = 64;
    // A sample point makes at most four draws of which at most two start a Gaussian pair (three
    // slots each, a uniform one): six slots.
    static constexpr std::size_t kDrawSlotsPerRun = 6 * kSamplesPerRun;

    TonemixShader() = default;

    // Slot 0: releases the light list, ends the node, and gives its memory back when flag bit 0
    // is set.
    virtual void destroy(int32_t flags);
    // Slot 1: writes every parameter default into the host node's container.
    virtual int32_t init_defaults(HostNodeHandle host_node);
    // Slots 2-11, 13-15: questions this shader answers with a fixed result.
    virtual void node_hook_2(int32_t);
    virtual int32_t node_hook_3(int32_t, int32_t, int32_t);
    virtual int32_t node_hook_4(int32_t, int32_t);
    virtual int32_t node_hook_5(int32_t, int32_t, int32_t);
    virtual int32_t node_hook_6(int32_t, int32_t, int32_t, int32_t, int32_t);
    virtual void node_hook_7(int32_t, int32_t);
    virtual int32_t node_hook_8(int32_t);
    virtual int32_t node_hook_9(int32_t, int32_t, int32_t);
    virtual int32_t node_hook_10(int32_t, int32_t, int32_t);
    virtual int32_t node_hook_11(int32_t, int32_t, int32_t, int32_t);
    // Slot 12: jitter is offered only while sampling along the normal; everything else always.
    virtual int32_t is_parameter_enabled(HostNodeHandle host_node,
                                         DescriptionIdHandle description_id, int32_t, int32_t,
                                         int32_t);
    virtual int32_t node_hook_13(int32_t, int32_t, int32_t, int32_t);
    virtual int32_t shader_hook_14(int32_t, int32_t, int32_t, int32_t, int32_t);
    virtual int32_t shader_hook_15(int32_t);
    // Slot 16: copies the parameters into the fields, restarts the random stream from the seed
    // and builds the light list.
    virtual int32_t prepare_render(HostNodeHandle host_node, RenderSetup* setup);
    // Slot 17: gives the light list back.
    virtual void release_render(int32_t);
    // Slot 18: the colour of one shaded point, written to colour_out[0..2]; answers colour_out.
    virtual float* compute_output(float* colour_out, int32_t, ShadingInput* input);

    // Copied from the container by prepare_render; compute_output reads only these.
    int32_t samples = 0;
    float distance = 0.0f;
    float offset = 0.0f;
    int32_t gaussian = 0;
    int32_t shadows = 0;
    int32_t jitter = 0;
    int32_t mode = 0;
    SharedRandomStream random;  // advanced by every draw of compute_output, from any thread
    LightFilter filter;         // light_list and exclude_listed

private:
    void gather_light(RenderContext* context, const float point[3], float sum[3]);
    // Adds the clamped light sums of sample points first .. first + count - 1 to total; count is
    // at most kSamplesPerRun.
    void gather_samples(RenderContext* context, const SamplingRule& rule, const float start[3],
                        const float normal[3], int32_t first, int32_t count, float total[3]);
    // Inline, defined beside its one caller in tonemix_output.cpp.
    inline bool light_is_accepted(const LightRecord* light, const RenderContext* context) const;
};

// The factory handed to the host: a new node in host memory, or null.
void* create_shader();

// Where a node's allocation is booked in the host's allocator.
enum : int32_t { SHADER_SOURCE_LINE = 24 };
extern const char SHADER_SOURCE_FILE[];

#endif
