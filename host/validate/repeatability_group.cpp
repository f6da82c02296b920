// A render must repeat exactly: the same points shaded twice on one node after a second
// prepare_render, on a new node, and in a new load of the module give the same bits. Shading
// without a new prepare_render must go on with the draws rather than repeat them.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/validate/group_support.h"

namespace tmhost {

namespace {

// Three lights falling off with distance, with shadows ignored: a smooth image in which every
// sample point's place shows.
bool falloff_light(int32_t index, const float point[3], bool, float colour[3]) {
    static const float kPositions[3][3] = {
        {-4.0f, 6.0f, 2.0f}, {5.0f, 3.0f, -3.0f}, {0.0f, 9.0f, 7.0f}};
    float d2 = 1.0f;
    for (int k = 0; k < 3; ++k) {
        const float d = point[k] - kPositions[index][k];
        d2 += d * d;
    }
    const float strength = 40.0f / d2;
    colour[0] = strength;
    colour[1] = strength * (index == 1 ? 0.5f : 1.0f);
    colour[2] = strength * (index == 2 ? 0.25f : 1.0f);
    return true;
}

using Picture = std::vector<uint32_t>;

class Renders {
public:
    Renders(const ValidationSettings& settings, Findings& findings)
        : settings_(settings), findings_(findings) {
        side_ =
            static_cast<int>(std::lround(std::sqrt(static_cast<double>(scaled(settings, 2048)))));
    }

    void run() {
        Picture first;
        in_a_load("the first load", [&](ModuleSession& session) {
            {
                const auto node = prepared_node(session);
                first = render(*node);
                if (render(*node) == first) {
                    findings_.fail(
                        "a second render without a new prepare_render repeated the "
                        "first one's draws");
                }
                node->prepare();
                compare(first, render(*node), "after a second prepare_render");
            }
            compare(first, render(*prepared_node(session)), "on a second node");
        });
        in_a_load("the second load", [&](ModuleSession& session) {
            compare(first, render(*prepared_node(session)), "in a second load of the module");
        });
    }

private:
    // The module loaded and started afresh, under the three lights, for `work`.
    template <typename Work>
    void in_a_load(const char* which, Work work) {
        auto session = start_module(settings_);
        auto lights = make_lights(3, falloff_light);
        session->host().set_render_backend(lights.get());
        work(*session);
        session->host().set_render_backend(nullptr);
        check_host_rules(session->host(), findings_, which);
        finish_module(*session, findings_, which);
    }

    static std::unique_ptr<ValidatedNode> prepared_node(ModuleSession& session) {
        auto node = std::make_unique<ValidatedNode>(session.host(), session.shader());
        if (!node->made()) throw ModuleError("create answered no node");
        node->init_defaults();
        node->prepare();
        return node;
    }

    Picture render(const ValidatedNode& node) {
        Picture picture;
        ShadingPoint point;
        for (int y = 0; y < side_; ++y) {
            for (int x = 0; x < side_; ++x) {
                place_point(point, static_cast<float>(x) * 0.25f - 4.0f, 0.0f,
                            static_cast<float>(y) * 0.25f - 4.0f);
                float colour[3];
                node.shade(&point.input, colour);
                uint32_t bits[3];
                std::memcpy(bits, colour, sizeof bits);
                picture.insert(picture.end(), bits, bits + 3);
            }
        }
        findings_.count("points", side_ * side_);
        return picture;
    }

    void compare(const Picture& expected, const Picture& got, const char* when) {
        findings_.count("renders");
        for (std::size_t i = 0; i < expected.size() && i < got.size(); ++i) {
            if (expected[i] != got[i]) {
                const std::size_t pixel = i / 3;
                findings_.fail(std::string(when) + ": point " + std::to_string(pixel % side_) +
                               "," + std::to_string(pixel / side_) +
                               " differs from the first render");
                return;
            }
        }
        if (expected.size() != got.size()) findings_.fail(std::string(when) + ": fewer points");
    }

    const ValidationSettings& settings_;
    Findings& findings_;
    int side_ = 32;
};

}  // namespace

GroupVerdict validate_repeatability(const ValidationSettings& settings) {
    Findings findings;
    Renders renders(settings, findings);
    renders.run();
    return findings.verdict();
}

}  // namespace tmhost
