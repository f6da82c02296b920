// render: handed to the attached RenderBackend (render_backend.h).
#include "host/core/entries.h"
#include "host/core/entry_call.h"

namespace tmhost {

namespace {

RenderBackend* backend_for(EntryCall& call) {
    RenderBackend* backend = call.render_backend();
    if (backend == nullptr) {
        call.host().misuses().add(std::string(call.name()) + ": no renderer attached to the host");
    }
    return backend;
}

int32_t TM_CDECL render_illuminate(RenderContext* context, LightRecord* light, float colour_out[3],
                                   float work[3], const float point[3], float work_again[3],
                                   int32_t shadow_flag, int32_t zero) {
    EntryCall call(Operation::render_illuminate,
                   {word(context), word(light), word(colour_out), word(work), word(point),
                    word(work_again), word(shadow_flag), word(zero)});
    if (!call) return 0;
    RenderBackend* backend = backend_for(call);
    if (backend == nullptr) return 0;
    return backend->illuminate(context, light, colour_out, work, point, work_again, shadow_flag,
                               zero);
}

LightRecord* TM_CDECL render_get_light(RenderContext* context, int32_t index) {
    EntryCall call(Operation::render_get_light, {word(context), word(index)});
    if (!call) return nullptr;
    RenderBackend* backend = backend_for(call);
    return backend != nullptr ? backend->get_light(context, index) : nullptr;
}

int32_t TM_CDECL render_light_count(RenderContext* context) {
    EntryCall call(Operation::render_light_count, {word(context)});
    if (!call) return 0;
    RenderBackend* backend = backend_for(call);
    return backend != nullptr ? backend->light_count(context) : 0;
}

}  // namespace

void install_render_entries(HostRender& table) {
    table.illuminate = render_illuminate;
    table.get_light = render_get_light;
    table.light_count = render_light_count;
}

}  // namespace tmhost
