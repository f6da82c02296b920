// Shader nodes through their whole life, many times over: create, defaults, the enabling
// question for every parameter, render set-up (with a light list every few cycles), a shaded
// point, every operation of fixed answer, tear-down and free. Every entry of the registration
// record is called with its stack use measured, and after each cycle the host's books (strings,
// file names, memory, resources, light lists) must be back where they were before it. Every
// few hundred cycles, many nodes live at once and are freed in a shuffled order.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/core/list_library.h"
#include "host/loading/checked_call.h"
#include "host/validate/group_support.h"
#include "host/validate/isolated_run.h"

namespace tmhost {

namespace {

// The host's books that a finished node must leave as it found them.
struct Books {
    std::size_t strings = 0;
    std::size_t file_names = 0;
    std::size_t allocations = 0;
    std::size_t resources = 0;
    std::size_t lists = 0;

    static Books of(const StandInHost& host) {
        Books books;
        books.strings = host.strings().live_count();
        books.file_names = host.filenames().live_count() + host.filenames().block_count();
        books.allocations = host.memory().live_count();
        books.resources = host.resources().live_count();
        books.lists = host.list_library().live_count();
        return books;
    }
};

std::string books_difference(const Books& before, const Books& after) {
    std::string text;
    const auto add = [&](const char* what, std::size_t was, std::size_t is) {
        if (was == is) return;
        if (!text.empty()) text += ", ";
        text += std::string(what) + " " + std::to_string(was) + " -> " + std::to_string(is);
    };
    add("strings", before.strings, after.strings);
    add("file names", before.file_names, after.file_names);
    add("allocations", before.allocations, after.allocations);
    add("resources", before.resources, after.resources);
    add("light lists", before.lists, after.lists);
    return text;
}

uint32_t word_of(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

class NodeCycles {
public:
    NodeCycles(const ValidationSettings& settings, Findings& findings)
        : settings_(settings),
          findings_(findings),
          engine_(settings.seed ^ 0x4E4F4445u),
          session_(start_module(settings)),
          host_(session_->host()),
          record_(session_->shader().record()),
          lights_(make_lights(3, [](int32_t index, const float*, bool, float colour[3]) {
              colour[0] = colour[1] = colour[2] = 0.25f * static_cast<float>(index + 1);
              return true;
          })) {
        host_.set_render_backend(lights_.get());
        list_.scene_objects = {lights_->record(1).scene_object};
        if (const Parameter* lights = session_->description().find(ParameterType::light_list)) {
            list_id_ = lights->id;
        }
    }
    ~NodeCycles() { host_.set_render_backend(nullptr); }

    void run() {
        const Books before = Books::of(host_);
        const long cycles = scaled(settings_, 10000);
        for (long cycle = 0; cycle < cycles && findings_.failure_count() < 5; ++cycle) {
            const std::string what = "cycle " + std::to_string(cycle + 1);
            note_progress(what);
            {
                ValidatedNode node(host_, session_->shader());
                if (!node.made()) {
                    findings_.fail(what + ": create answered no node");
                    break;
                }
                one_life(node, what, cycle % 4 == 0, cycle < 4);
            }
            const std::string changed = books_difference(before, Books::of(host_));
            if (!changed.empty()) {
                findings_.fail(what + ": the node left the host's books changed: " + changed);
            }
            findings_.count("cycles");
            if (cycle % 500 == 499) many_at_once(what);
        }
        check_host_rules(host_, findings_, "nodes");
        finish_module(*session_, findings_, "at the end");
    }

private:
    // One entry called with its words, its stack use and, where it has one, its answer checked.
    uint32_t checked(const char* name, const void* entry, void* node,
                     std::initializer_list<uint32_t> words, const std::string& what) {
        if (entry == nullptr) {
            findings_.fail(what + ": the record's " + name + " entry is null");
            return 0;
        }
        const std::vector<uint32_t> list(words);
        const CheckedCall call =
            call_thiscall_checked(entry, node, list.data(), static_cast<int>(list.size()));
        const int32_t expected = static_cast<int32_t>(4 * list.size());
        if (call.popped_bytes != expected) {
            findings_.fail(what + ": " + name + " popped " + std::to_string(call.popped_bytes) +
                           " bytes of arguments, " + std::to_string(expected) +
                           " expected (a thiscall entry compiled for another word count)");
        }
        findings_.count("entry calls");
        return call.result;
    }

    void one_life(ValidatedNode& node, const std::string& what, bool with_list, bool every_fixed) {
        void* self = node.node();
        const uint32_t host_node = word_of(node.host_node().handle());
        const uint32_t defaults =
            checked("init_defaults", entry_address(record_.init_defaults), self, {host_node}, what);
        if (defaults != 1) {
            findings_.fail(what + ": init_defaults answered " + std::to_string(defaults));
        }
        if (with_list && list_id_ != 0) {
            node.container().set_custom(list_id_, TM_LIBRARY_LIST, &list_);
        }
        for (const Parameter& parameter : session_->description().parameters()) {
            DescriptionIdHandle id = host_.description_library().description_id(parameter.id);
            const uint32_t enabled =
                checked("is_parameter_enabled", entry_address(record_.is_parameter_enabled), self,
                        {host_node, word_of(id), 0, 0, 0}, what);
            if (enabled > 1) {
                findings_.fail(what + ": is_parameter_enabled answered " + std::to_string(enabled) +
                               " for " + parameter.name);
            }
        }
        RenderSetup setup{};
        setup.list_build_word = static_cast<int32_t>(engine_());
        const uint32_t prepared = checked("prepare_render", entry_address(record_.prepare_render),
                                          self, {host_node, word_of(&setup)}, what);
        if (prepared != 0) {
            findings_.fail(what + ": prepare_render answered " + std::to_string(prepared));
        }
        if (with_list && host_.list_library().live_count() == 0) {
            findings_.fail(what + ": prepare_render built no light list from a list of one light");
        }
        ShadingPoint point;
        place_point(point, 1.0f, 0.0f, 2.0f);
        float colour[3] = {-1.0f, -1.0f, -1.0f};
        const uint32_t answered = checked("compute_output", entry_address(record_.compute_output),
                                          self, {word_of(colour), 0, word_of(&point.input)}, what);
        if (answered != word_of(colour)) {
            findings_.fail(what + ": compute_output answered another place than its colour's");
        }
        if (!finite_colour(colour)) findings_.fail(what + ": shaded " + colour_text(colour));
        if (every_fixed) {
            for (const FixedOperation& operation : ShaderPlugin::fixed_operations()) {
                const void* entry = nullptr;
                std::memcpy(&entry,
                            reinterpret_cast<const unsigned char*>(&record_) + operation.byte,
                            sizeof entry);
                if (entry == nullptr) {
                    findings_.fail(what + ": the record's " + operation.name + " entry is null");
                    continue;
                }
                std::vector<uint32_t> zeros(static_cast<std::size_t>(operation.words), 0);
                const CheckedCall call =
                    call_thiscall_checked(entry, self, zeros.data(), operation.words);
                findings_.count("entry calls");
                if (call.popped_bytes != 4 * operation.words) {
                    findings_.fail(what + ": " + operation.name + " popped " +
                                   std::to_string(call.popped_bytes) + " bytes of arguments, " +
                                   std::to_string(4 * operation.words) + " expected");
                }
            }
        }
        checked("release_render", entry_address(record_.release_render), self, {0}, what);
        if (host_.list_library().live_count() != 0) {
            findings_.fail(what + ": release_render left " +
                           std::to_string(host_.list_library().live_count()) + " light lists");
        }
        check_host_rules(host_, findings_, what);
    }

    void many_at_once(const std::string& what) {
        const Books before = Books::of(host_);
        std::vector<std::unique_ptr<ValidatedNode>> nodes;
        for (int i = 0; i < 64; ++i) {
            nodes.push_back(std::make_unique<ValidatedNode>(host_, session_->shader()));
            if (!nodes.back()->made()) {
                findings_.fail(what + ": node " + std::to_string(i + 1) + " of 64 was not made");
                nodes.pop_back();
                break;
            }
            nodes.back()->init_defaults();
            if (list_id_ != 0 && i % 2 == 0) {
                nodes.back()->container().set_custom(list_id_, TM_LIBRARY_LIST, &list_);
            }
            nodes.back()->prepare(i);
        }
        ShadingPoint point;
        place_point(point, 0.0f, 0.0f, 0.0f);
        for (int round = 0; round < 4; ++round) {
            for (const auto& node : nodes) {
                float colour[3];
                node->shade(&point.input, colour);
                if (!finite_colour(colour)) {
                    findings_.fail(what + ": a node among 64 shaded " + colour_text(colour));
                }
            }
        }
        std::shuffle(nodes.begin(), nodes.end(), engine_);
        nodes.clear();
        const std::string changed = books_difference(before, Books::of(host_));
        if (!changed.empty()) {
            findings_.fail(what + ": 64 nodes at once left the host's books changed: " + changed);
        }
        findings_.count("nodes at once", 64);
        check_host_rules(host_, findings_, what);
    }

    const ValidationSettings& settings_;
    Findings& findings_;
    std::mt19937 engine_;
    std::unique_ptr<ModuleSession> session_;
    StandInHost& host_;
    const ShaderRegistration& record_;
    std::unique_ptr<PointLightRenderer> lights_;
    LightListData list_;
    int32_t list_id_ = 0;
};

}  // namespace

GroupVerdict validate_nodes(const ValidationSettings& settings) {
    Findings findings;
    NodeCycles cycles(settings, findings);
    cycles.run();
    return findings.verdict();
}

}  // namespace tmhost
