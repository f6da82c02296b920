// The faulty module builds the validator's tests run: each is there, loads, and offers c4d_main;
// the wrong dispatch entry shows through call_thiscall_checked.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/checked_call.h"
#include "host/core/module_file.h"
#include "host/core/module_session.h"

namespace {

const char* const kFaults[] = {
    "string_never_freed",     "null_context_dereferenced",  "list_handle_never_released",
    "overflowing_light_loop", "stream_shared_without_care", "thiscall_pops_wrong",
};

std::string faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

TEST(FaultyModules, EachIsBuiltWithItsResourcesAndLoadsWithItsEntry) {
    for (const char* fault : kFaults) {
        const std::string path = faulty_module(fault);
        ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
        const std::filesystem::path res = std::filesystem::path(path).parent_path() / "res";
        EXPECT_TRUE(std::filesystem::is_directory(res)) << res;
        tmhost::ModuleFile module;
        ASSERT_TRUE(module.load(path)) << module.error();
        EXPECT_NE(module.entry(), nullptr) << fault;
        module.unload();
    }
}

// The bytes release_render's entry pops when called with the one word it should take.
int32_t release_render_pops(const std::string& path) {
    tmhost::ModuleSession session(path);
    session.require_shader();
    const tmhost::ShaderPlugin& shader = session.shader();
    void* node = shader.create();
    EXPECT_NE(node, nullptr);
    const uint32_t word = 0;
    tmhost::CheckedCall call = tmhost::call_thiscall_checked(
        reinterpret_cast<const void*>(shader.record().release_render), node, &word, 1);
    shader.free_node(node);
    for (const std::string& line : session.finish()) ADD_FAILURE() << path << ": " << line;
    return call.popped_bytes;
}

TEST(FaultyModules, ReleaseRenderPopsTwoWordsInTheFaultyBuildAndOneInTheRealModule) {
    EXPECT_EQ(release_render_pops(TONEMIX_MODULE_FILE), 4);
    EXPECT_EQ(release_render_pops(faulty_module("thiscall_pops_wrong")), 8);
    // Every other faulty build binds the right entry.
    EXPECT_EQ(release_render_pops(faulty_module("string_never_freed")), 4);
}

// What is left behind when the host refuses the shader's registration.
std::vector<std::string> left_behind_after_refusal(const std::string& path) {
    tmhost::ModuleSession session(
        path, [](tmhost::StandInHost& host) { EXPECT_TRUE(host.fail("general_register_plugin")); });
    EXPECT_EQ(session.host().registrations().find(tmhost::kTonemixShaderId), nullptr) << path;
    return session.finish();
}

TEST(FaultyModules, ARefusedRegistrationLeavesAStringOnlyInTheFaultyBuild) {
    const std::vector<std::string> real = left_behind_after_refusal(TONEMIX_MODULE_FILE);
    EXPECT_TRUE(real.empty()) << real.front();
    const std::vector<std::string> faulty =
        left_behind_after_refusal(faulty_module("string_never_freed"));
    ASSERT_EQ(faulty.size(), 1u);
    EXPECT_NE(faulty[0].find("string"), std::string::npos) << faulty[0];
}

// White for a point shaded without a render context.
void shade_without_context(const std::string& path) {
    tmhost::ModuleSession session(path);
    session.require_shader();
    void* node = session.shader().create();
    ShadingInput input{};
    float colour[3] = {0.0f, 0.0f, 0.0f};
    session.shader().compute_output(node, &input, colour);
    session.shader().free_node(node);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
}

TEST(FaultyModulesDeathTest, ANullContextIsReadOnlyByTheFaultyBuild) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    shade_without_context(TONEMIX_MODULE_FILE);
    EXPECT_DEATH(shade_without_context(faulty_module("null_context_dereferenced")), "");
}

}  // namespace
