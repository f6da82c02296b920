// One entry of the node answers what the boundary does not allow; which one, the environment's
// TONEMIX_TOLD_FAULT says when the module registers its shader (each load reads it afresh). The
// validator's own tests run a group in their process against each answer, so that every check a
// group makes of a node's answers is proved by one build instead of one build a check.
//
//   no-node         create answers null
//   keeps-nodes     free_node gives nothing back
//   runs-out        create answers null while 32 nodes of this load live
//   null-entries    is_parameter_enabled and node_hook_3 are null in the record
//   pops-wrong      node_hook_2 pops two words where the host pushes one
//   defaults-zero   init_defaults answers 0
//   enabled-two     is_parameter_enabled answers 2
//   prepare-one     prepare_render answers 1
//   lists-nothing   prepare_render ends the light list it built before it answers
//   drops-lists     release_render drops the light list instead of ending it, but for the
//                   first release of the load
//   other-place     compute_output answers another place than colour_out
//   shades-nan      compute_output writes NaN
//   constant        compute_output writes one grey whatever it draws
//   drifts          compute_output adds a little more at every call in this load
//   copied-context  compute_output hands the module a copy of the renderer's context
// Anything else leaves the record as the module made it.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "changed_record.h"
#include "tonemix_shader.h"

namespace {

ShaderFactory module_create = nullptr;
ShaderFreeNode module_free_node = nullptr;
std::atomic<int> live_nodes{0};
InitDefaultsEntry module_init_defaults = nullptr;
IsParameterEnabledEntry module_is_parameter_enabled = nullptr;
PrepareRenderEntry module_prepare_render = nullptr;
ReleaseRenderEntry module_release_render = nullptr;
ComputeOutputEntry module_compute_output = nullptr;
DispatchEntryVoid1 module_node_hook_2 = nullptr;
std::atomic<int> calls{0};
std::atomic<int> releases{0};
float elsewhere[3];

bool told(const char* fault) {
    const char* value = std::getenv("TONEMIX_TOLD_FAULT");
    return value != nullptr && std::strcmp(value, fault) == 0;
}

void* TM_CDECL create_nothing() { return nullptr; }
void TM_CDECL free_nothing(void*) {}

void* TM_CDECL create_up_to_32() {
    if (live_nodes.load() >= 32) return nullptr;
    void* node = module_create();
    if (node != nullptr) live_nodes.fetch_add(1);
    return node;
}
void TM_CDECL free_counted(void* node) {
    if (node != nullptr) live_nodes.fetch_sub(1);
    module_free_node(node);
}

void TM_THISCALL node_hook_2_two_words(void* node, int32_t a, int32_t) {
    module_node_hook_2(node, a);
}

int32_t TM_THISCALL init_defaults_zero(void* node, HostNodeHandle host_node) {
    module_init_defaults(node, host_node);
    return 0;
}

int32_t TM_THISCALL enabled_two(void* node, HostNodeHandle host_node, DescriptionIdHandle id,
                                int32_t a, int32_t b, int32_t c) {
    module_is_parameter_enabled(node, host_node, id, a, b, c);
    return 2;
}

int32_t TM_THISCALL prepare_one(void* node, HostNodeHandle host_node, RenderSetup* setup) {
    module_prepare_render(node, host_node, setup);
    return 1;
}

int32_t TM_THISCALL prepare_without_list(void* node, HostNodeHandle host_node, RenderSetup* setup) {
    const int32_t answer = module_prepare_render(node, host_node, setup);
    module_release_render(node, 0);
    return answer;
}

void TM_THISCALL release_dropping_later(void* node, int32_t a) {
    if (releases.fetch_add(1) == 0) {
        module_release_render(node, a);
        return;
    }
    static_cast<TonemixShader*>(node)->filter.light_list = nullptr;
}

float* TM_THISCALL output_elsewhere(void* node, float* colour_out, int32_t a, ShadingInput* input) {
    module_compute_output(node, colour_out, a, input);
    return elsewhere;
}

float* TM_THISCALL output_nan(void*, float* colour_out, int32_t, ShadingInput*) {
    colour_out[0] = colour_out[1] = colour_out[2] = std::numeric_limits<float>::quiet_NaN();
    return colour_out;
}

float* TM_THISCALL output_constant(void*, float* colour_out, int32_t, ShadingInput*) {
    colour_out[0] = colour_out[1] = colour_out[2] = 0.5f;
    return colour_out;
}

float* TM_THISCALL output_drifting(void* node, float* colour_out, int32_t a, ShadingInput* input) {
    module_compute_output(node, colour_out, a, input);
    colour_out[0] += 0.001f * static_cast<float>(calls.fetch_add(1) + 1);
    return colour_out;
}

float* TM_THISCALL output_on_a_copy(void* node, float* colour_out, int32_t a, ShadingInput* input) {
    if (input == nullptr || input->context == nullptr)
        return module_compute_output(node, colour_out, a, input);
    RenderContext context;
    std::memcpy(&context, input->context, sizeof context);
    ShadingInput copy;
    std::memcpy(&copy, input, sizeof copy);
    copy.context = &context;
    module_compute_output(node, colour_out, a, &copy);
    return colour_out;
}

}  // namespace

void change_shader_record(ShaderRegistration& record) {
    module_create = record.create;
    module_free_node = record.free_node;
    module_init_defaults = record.init_defaults;
    module_is_parameter_enabled = record.is_parameter_enabled;
    module_prepare_render = record.prepare_render;
    module_release_render = record.release_render;
    module_compute_output = record.compute_output;
    module_node_hook_2 = record.node_hook_2;
    if (told("no-node")) {
        record.create = create_nothing;
    } else if (told("keeps-nodes")) {
        record.free_node = free_nothing;
    } else if (told("runs-out")) {
        record.create = create_up_to_32;
        record.free_node = free_counted;
    } else if (told("null-entries")) {
        record.is_parameter_enabled = nullptr;
        record.node_hook_3 = nullptr;
    } else if (told("pops-wrong")) {
        record.node_hook_2 =
            reinterpret_cast<DispatchEntryVoid1>(reinterpret_cast<void*>(node_hook_2_two_words));
    } else if (told("defaults-zero")) {
        record.init_defaults = init_defaults_zero;
    } else if (told("enabled-two")) {
        record.is_parameter_enabled = enabled_two;
    } else if (told("prepare-one")) {
        record.prepare_render = prepare_one;
    } else if (told("lists-nothing")) {
        record.prepare_render = prepare_without_list;
    } else if (told("drops-lists")) {
        record.release_render = release_dropping_later;
    } else if (told("other-place")) {
        record.compute_output = output_elsewhere;
    } else if (told("shades-nan")) {
        record.compute_output = output_nan;
    } else if (told("constant")) {
        record.compute_output = output_constant;
    } else if (told("drifts")) {
        record.compute_output = output_drifting;
    } else if (told("copied-context")) {
        record.compute_output = output_on_a_copy;
    }
}
