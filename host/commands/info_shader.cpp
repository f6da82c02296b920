#include "host/commands/info_shader.h"

#include <array>
#include <cmath>
#include <cstring>

#include "host/commands/host_report.h"
#include "host/commands/info_lights.h"
#include "host/core/list_library.h"
#include "host/core/point_light_renderer.h"
#include "host/core/text_format.h"
#include "host/loading/default_check.h"
#include "host/loading/shader_plugin.h"

namespace tmhost {

namespace {

using Vector = std::array<float, 3>;

std::string vector_text(const Vector& v) {
    return "(" + real_text(v[0]) + ", " + real_text(v[1]) + ", " + real_text(v[2]) + ")";
}

// Asks the wrapped source and counts the questions per light, so the report can show which
// lights the module asked about. info shades on one thread only.
class CountingLightSource {
public:
    explicit CountingLightSource(const FalloffLightSource& source, std::size_t lights)
        : source_(source), asked_(lights, 0) {}
    bool illuminate(int32_t index, const float point[3], bool shadows, float colour_out[3]) const {
        if (index >= 0 && static_cast<std::size_t>(index) < asked_.size()) {
            ++asked_[static_cast<std::size_t>(index)];
        }
        return source_.illuminate(index, point, shadows, colour_out);
    }
    const std::vector<long>& asked() const { return asked_; }
    void reset() { asked_.assign(asked_.size(), 0); }

private:
    const FalloffLightSource& source_;
    mutable std::vector<long> asked_;
};

struct FixedPoint {
    Vector p;
    Vector normal;
    int32_t object_index;
    uint32_t object_reference;  // 0: no light's object flags apply
};

// Three lights at different distances, the last of which does not light object 1; three points,
// the second on object 1 (so its flag applies) and the third on object 1 without a reference
// (so it does not).
const std::vector<FalloffLightSource::Light> info_lights = {
    {{0.0f, 10.0f, 0.0f}, {1.0f, 0.9f, 0.8f}, 100.0f},
    {{8.0f, 6.0f, -4.0f}, {0.2f, 0.4f, 1.0f}, 60.0f},
    {{-6.0f, 3.0f, 5.0f}, {1.0f, 0.3f, 0.2f}, 40.0f},
};
const std::vector<FixedPoint> info_points = {
    {{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 0, 1},
    {{2.0f, 0.5f, -1.0f}, {0.0f, 0.8f, 0.6f}, 1, 2},
    {{-3.0f, 1.0f, 2.0f}, {-1.0f, 0.0f, 0.0f}, 1, 0},
};
constexpr int32_t unlit_light = 2;
constexpr int32_t unlit_object = 1;
constexpr int32_t listed_light = 1;

// Shades every fixed point; false when a colour is not a number a renderer can use.
bool shade_points(const ShaderPlugin& shader, void* node, std::vector<std::string>& lines) {
    bool usable = true;
    ShadingPoint point;
    for (const FixedPoint& fixed : info_points) {
        point.set(fixed.p.data(), fixed.normal.data(), fixed.object_index, fixed.object_reference);
        float colour[3] = {0.0f, 0.0f, 0.0f};
        shader.compute_output(node, &point.input, colour);
        for (float c : colour) usable = usable && std::isfinite(c);
        lines.push_back("    point " + vector_text(fixed.p) + " normal " +
                        vector_text(fixed.normal) + " object " +
                        std::to_string(fixed.object_index) + " reference " +
                        std::to_string(fixed.object_reference) + ": " +
                        vector_text({colour[0], colour[1], colour[2]}));
    }
    if (!usable) lines.push_back("    a colour is not finite");
    return usable;
}

std::string asked_text(const CountingLightSource& counting) {
    std::string text;
    for (std::size_t i = 0; i < counting.asked().size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::string("light ") + std::to_string(i) + " " +
                std::to_string(counting.asked()[i]);
    }
    return text;
}

// The parameter whose value is a light list, or 0 when the description has none.
int32_t light_list_parameter(const Description& description) {
    for (const Parameter& parameter : description.parameters()) {
        if (parameter.custom_type == TM_LIBRARY_LIST) return parameter.id;
    }
    return 0;
}

// Two renders of the fixed points with the info lights: without a light list, then with one
// light in the list; false when a colour or the lights asked are not what a host expects.
bool run_renders(StandInHost& host, const ShaderPlugin& shader, void* node, Node& host_node,
                 const Description& description, std::vector<std::string>& lines) {
    bool as_expected = true;
    const FalloffLightSource falloff(info_lights);
    CountingLightSource counting(falloff, info_lights.size());
    std::vector<int> scene_objects(info_lights.size());  // the host object behind each light
    std::vector<PointLightEntry> entries(info_lights.size());
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].scene_object = &scene_objects[i];
    entries[unlit_light].object_flags = {0, 0};
    entries[unlit_light].object_flags[unlit_object] = TM_OBJECT_FLAG_NOT_LIT;
    PointLightRenderer renderer(std::move(entries), counting);
    host.set_render_backend(&renderer);
    lines.push_back("  lights:");
    for (std::size_t i = 0; i < info_lights.size(); ++i) {
        const FalloffLightSource::Light& light = info_lights[i];
        lines.push_back("    light " + std::to_string(i) + " at " + vector_text(light.position) +
                        ", colour " + vector_text(light.colour) + " x " +
                        real_text(light.intensity) + " / (1 + d^2)" +
                        (static_cast<int32_t>(i) == unlit_light
                             ? ", does not light object " + std::to_string(unlit_object)
                             : ""));
    }

    RenderSetup setup;
    std::memset(&setup, 0, sizeof setup);
    lines.push_back("  render without a light list:");
    lines.push_back("    prepare_render: " +
                    std::to_string(shader.prepare_render(node, host_node, &setup)));
    as_expected = shade_points(shader, node, lines) && as_expected;
    shader.release_render(node);
    lines.push_back("    asked: " + asked_text(counting));

    const int32_t list_id = light_list_parameter(description);
    if (list_id != 0) {
        LightListData list;
        list.scene_objects.push_back(&scene_objects[listed_light]);
        host_node.container.set_custom(list_id, TM_LIBRARY_LIST, &list);
        counting.reset();
        lines.push_back("  render with light " + std::to_string(listed_light) + " in list " +
                        std::to_string(list_id) + ", list mode as the defaults set it:");
        lines.push_back("    prepare_render: " +
                        std::to_string(shader.prepare_render(node, host_node, &setup)));
        const std::size_t handles = host.list_library().live_count();
        as_expected = shade_points(shader, node, lines) && as_expected;
        shader.release_render(node);
        lines.push_back(
            "    list handles while shading: " + std::to_string(handles) +
            ", after release_render: " + std::to_string(host.list_library().live_count()));
        lines.push_back("    asked: " + asked_text(counting));
        // The defaults leave listed lights out: the listed light is never asked, the others are.
        const std::vector<long>& asked = counting.asked();
        for (std::size_t i = 0; i < asked.size(); ++i) {
            const bool listed = static_cast<int32_t>(i) == listed_light;
            as_expected = as_expected && (listed ? asked[i] == 0 : asked[i] > 0);
        }
        as_expected = as_expected && handles == 1;
        host_node.container.remove(list_id);
    }
    host.set_render_backend(nullptr);
    return as_expected;
}

}  // namespace

bool run_info_shader(StandInHost& host, std::vector<std::string>& lines) {
    ShaderPlugin shader;
    const PluginRegistration* registration = nullptr;
    for (const PluginRegistration& candidate : host.registrations().list()) {
        if (shader.find(host, candidate.id)) {
            registration = &candidate;
            break;
        }
    }
    if (registration == nullptr) {
        lines.push_back("shader: no shader registration with a 288-byte record");
        return false;
    }
    bool as_expected = true;
    lines.push_back("shader: plug-in " + std::to_string(registration->id) + " " +
                    quoted(registration->name));
    const Description* description = host.description_library().registered(registration->id);
    if (description == nullptr) {
        lines.push_back("  description: none registered");
        return false;
    }
    const std::vector<Parameter>& parameters = description->parameters();
    lines.push_back("  description: " + quoted(description->name()) + ", " +
                    std::to_string(parameters.size()) + " parameters");
    lines.push_back("  record: " + std::to_string(registration->record.size()) + " bytes");
    for (const std::string& line : shader_record_report(shader.record())) {
        lines.push_back("    " + line);
    }

    void* node = shader.create();
    lines.push_back(std::string("  create: ") + (node != nullptr ? "a node" : "no node"));
    if (node == nullptr) return false;
    Node& host_node = host.containers().make_node();

    const int32_t defaults = shader.init_defaults(node, host_node);
    as_expected = as_expected && defaults != 0;
    lines.push_back("  init_defaults: " + std::to_string(defaults));
    lines.push_back("  container:");
    for (const std::string& line : host_node.container.dump()) lines.push_back("    " + line);
    const std::vector<std::string> differences =
        default_differences(*description, host_node.container);
    as_expected = as_expected && differences.empty();
    lines.push_back(differences.empty() ? "  defaults: as the description gives them"
                                        : "  defaults differ from the description:");
    for (const std::string& line : differences) lines.push_back("    " + line);

    lines.push_back("  is_parameter_enabled:");
    for (const Parameter& parameter : parameters) {
        const int32_t id = parameter.id;
        DescriptionIdHandle description_id = host.description_library().description_id(id);
        const int32_t enabled = shader.is_parameter_enabled(node, host_node, description_id);
        lines.push_back("    " + std::to_string(id) + " " + parameter.name + ": " +
                        std::to_string(enabled));
    }

    lines.push_back("  fixed operations:");
    for (const FixedOperation& operation : ShaderPlugin::fixed_operations()) {
        const int32_t result = shader.call_fixed(node, operation);
        lines.push_back("    " + std::string(operation.name) + ": " +
                        (operation.has_result ? std::to_string(result) : "no result"));
    }

    as_expected = run_renders(host, shader, node, host_node, *description, lines) && as_expected;

    shader.free_node(node);
    host.containers().destroy(host_node);
    lines.push_back("  free_node: done");
    return as_expected;
}

}  // namespace tmhost
