// The fixture of the shader's output tests: one node of the module with its defaults, bound to
// a stand-in host whose renderer answers from a script, and one shading point.
#ifndef TONEMIX_SHADER_OUTPUT_FIXTURE_H
#define TONEMIX_SHADER_OUTPUT_FIXTURE_H

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

#include "bound_host_test.h"
#include "fake_libraries.h"
#include "scripted_renderer.h"
#include "shader_registration.h"
#include "test_handles.h"
#include "tonemix_parameters.h"
#include "tonemix_shader.h"

namespace tonemix_test {

using Colour = std::array<float, 3>;

inline ScriptedRenderer::Light light(float r, float g, float b) {
    ScriptedRenderer::Light l;
    l.colour = {r, g, b};
    return l;
}

class ShaderOutputTest : public BoundHostTest {
protected:
    void SetUp() override {
        BoundHostTest::SetUp();
        host.libraries().install(TM_LIBRARY_LIST, lists.header());
        node = static_cast<TonemixShader*>(create_shader());
        ASSERT_NE(node, nullptr);
        node->init_defaults(host_node.handle());
        record_ = ShaderRegistration{};
        fill_shader_record(&record_, create_shader, 0, 0, 0);
    }
    void TearDown() override {
        host.set_render_backend(nullptr);
        free_node(node);
        BoundHostTest::TearDown();
    }
    void use(ScriptedRenderer& renderer) { host.set_render_backend(&renderer); }
    void prepare() {
        node->release_render(0);
        ASSERT_EQ(record_.prepare_render(node, host_node.handle(), &setup), 0);
    }
    Colour shade(TestShadingPoint& point) { return shade(&point.input); }
    Colour shade(ShadingInput* input) {
        float colour[3] = {-7.0f, -7.0f, -7.0f};
        float* answer = record_.compute_output(node, colour, 0, input);
        EXPECT_EQ(answer, colour);
        return {colour[0], colour[1], colour[2]};
    }
    tmhost::Container& values() { return host_node.container; }

    FakeListLibrary lists;
    tmhost::Node& host_node = host.containers().make_node();
    TonemixShader* node = nullptr;
    RenderSetup setup{};
    ShaderRegistration record_;
    TestShadingPoint point{{1.0f, 2.0f, 3.0f}, {0.0f, 1.0f, 0.0f}};
};

}  // namespace tonemix_test

#endif
