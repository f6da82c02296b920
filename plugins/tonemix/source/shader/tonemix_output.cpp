// The shader's colour: the mean of the clamped light sums at the lifted point and at the sample
// points around it.
#include "host_binding.h"
#include "sample_points.h"
#include "tonemix_shader.h"

namespace {

void clamp_at_zero(float colour[3]) {
    for (int k = 0; k < 3; ++k) {
        if (colour[k] < 0.0f) colour[k] = 0.0f;
    }
}

void write_colour(float* out, float r, float g, float b) {
    out[0] = r;
    out[1] = g;
    out[2] = b;
}

// A light with an object flag table skips the objects whose flag byte has bit value 1, unless
// the shaded object carries no reference or lies outside the table.
bool barred_by_object_flags(const LightRecord* light, const ShadedObjectRecord* object) {
    if (object == nullptr || object->object_reference == 0) return false;
    int32_t index = object->object_index;
    if (index < 0 || index >= light->object_flag_count) return false;
    return (light->object_flags[index] & TM_OBJECT_FLAG_NOT_LIT) != 0;
}

}  // namespace

// Inline: it runs for every light at every evaluation point, and a call to it (with the PIC
// register set-up of 32-bit x86) cost more than the test itself.
inline bool TonemixShader::light_is_accepted(const LightRecord* light,
                                             const RenderContext* context) const {
    if (filter.in_use()) return filter.accepts(light->scene_object);
    if (light->object_flags == nullptr) return true;
    return !barred_by_object_flags(light, context->shaded_object);
}

void TonemixShader::gather_light(RenderContext* context, const float point[3], float sum[3]) {
    const HostRender& render = *host().render;
    // Zeroed once per point: a light that answers without writing its colour repeats the last one.
    float colour[3] = {0.0f, 0.0f, 0.0f};
    float work[3] = {0.0f, 0.0f, 0.0f};
    sum[0] = sum[1] = sum[2] = 0.0f;
    int32_t shadow_flag = shadows != 0 ? 1 : 0;
    // The host's count is not trusted: counting down from count - 1 would overflow at INT32_MIN.
    int32_t count = render.light_count(context);
    if (count <= 0) return;
    for (int32_t index = count - 1; index >= 0; --index) {
        LightRecord* light = render.get_light(context, index);
        if (light == nullptr || !light_is_accepted(light, context)) continue;
        if (render.illuminate(context, light, colour, work, point, work, shadow_flag, 0) != 0) {
            sum[0] += colour[0];
            sum[1] += colour[1];
            sum[2] += colour[2];
        }
    }
}

// The points are placed before the host is asked for any light: they depend only on the stream
// and the node's fields, so the run of draws can be taken, and retried, without a host call.
void TonemixShader::gather_samples(RenderContext* context, const SamplingRule& rule,
                                   const float start[3], const float normal[3], int32_t first,
                                   int32_t count, float total[3]) {
    float points[kSamplesPerRun][3];
    if (rule.draws()) {
        random.take_run<kDrawSlotsPerRun>([&](auto& stream) {
            for (int32_t j = 0; j < count; ++j) drawn_point(rule, start, normal, stream, points[j]);
        });
    } else {
        for (int32_t j = 0; j < count; ++j) {
            even_line_point(rule, start, normal, first + j, points[j]);
        }
    }
    for (int32_t j = 0; j < count; ++j) {
        float sum[3];
        gather_light(context, points[j], sum);
        clamp_at_zero(sum);
        total[0] += sum[0];
        total[1] += sum[1];
        total[2] += sum[2];
    }
}

float* TonemixShader::compute_output(float* colour_out, int32_t, ShadingInput* input) {
    RenderContext* context = input != nullptr ? input->context : nullptr;
    if (context == nullptr) {
        write_colour(colour_out, 1.0f, 1.0f, 1.0f);
        return colour_out;
    }
    // Copied: a retried run of draws must place its points from the same values.
    const float normal[3] = {context->nv[0], context->nv[1], context->nv[2]};
    float start[3];
    for (int k = 0; k < 3; ++k) start[k] = normal[k] * offset + context->p[k];

    float total[3];
    gather_light(context, start, total);
    clamp_at_zero(total);

    // A count below one leaves nothing to average: negative counts give black like zero does.
    if (samples <= 0) {
        write_colour(colour_out, 0.0f, 0.0f, 0.0f);
        return colour_out;
    }

    SamplingRule rule = {mode, jitter, gaussian, distance, distance / static_cast<float>(samples)};
    if (rule.even_line()) {
        float half = distance * 0.5f;
        for (int k = 0; k < 3; ++k) start[k] = start[k] - normal[k] * half;
    }
    // Sample points 1 .. samples - 1, in runs that each take their draws at once.
    for (int32_t first = 1, left = samples - 1; left > 0;) {
        int32_t count = left < kSamplesPerRun ? left : kSamplesPerRun;
        gather_samples(context, rule, start, normal, first, count, total);
        first += count;
        left -= count;
    }
    float n = static_cast<float>(samples);
    write_colour(colour_out, total[0] / n, total[1] / n, total[2] / n);
    return colour_out;
}
