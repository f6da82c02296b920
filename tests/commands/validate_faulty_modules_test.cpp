// The validator against modules with one known fault each (tests/faulty_modules/):
// each fault fails exactly the group that looks for it, with a line that names the fault, and
// every other group passes. The real module passes every group (validate_command_test.cpp).
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render_test_support.h"

namespace {

struct KnownFault {
    const char* module;
    const char* group;
    const char* line_part;  // what the group's FAIL line must say
};

const KnownFault kKnownFaults[] = {
    {"string_never_freed", "host-faults",
     "general_register_plugin failed during load and start: string never ended: \"Tonemix\""},
    // Crashed, or, in the sanitizer build, ended by the sanitizer's report: either way with the
    // case that did it.
    {"null_context_dereferenced", "render-records", " during case "},
    {"list_handle_never_released", "nodes", "cycle 1: release_render left 1 light lists"},
    {"overflowing_light_loop", "render-records", "lights, colours of "},
    {"stream_shared_without_care", "threads", "(a draw lost, repeated or torn)"},
    {"thiscall_pops_wrong", "nodes",
     "cycle 1: release_render popped 8 bytes of arguments, 4 expected"},
};

// For GoogleTest's lines: the module's name, not the struct's bytes.
void PrintTo(const KnownFault& fault, std::ostream* out) { *out << fault.module; }

std::string faulty_module(const std::string& fault) {
    return std::string(TONEMIX_FAULTY_MODULES) + "/" + fault + "/Tonemix.cdl";
}

// One test a fault, so that ctest spreads the validate runs over its processors.
class EachFault : public ::testing::TestWithParam<KnownFault> {};

TEST_P(EachFault, FailsItsGroupAloneWithItsMessage) {
    const KnownFault& fault = GetParam();
    const tonemix_test::CommandRun run = tonemix_test::run_command(
        tmhost::run_validate, {faulty_module(fault.module), "--level", "3", "--seed", "1"});
    EXPECT_EQ(run.status, 1) << fault.module;
    ASSERT_EQ(run.report.out_lines.size(), 9u) << fault.module;
    for (std::size_t i = 1; i + 1 < run.report.out_lines.size(); ++i) {
        const std::string& line = run.report.out_lines[i];
        const bool its_group = line.rfind(std::string(fault.group) + ": ", 0) == 0;
        if (its_group) {
            EXPECT_EQ(line.rfind(std::string(fault.group) + ": FAIL: ", 0), 0u)
                << fault.module << ": " << line;
            EXPECT_NE(line.find(fault.line_part), std::string::npos)
                << fault.module << ": expected '" << fault.line_part << "' in: " << line;
        } else {
            EXPECT_NE(line.find(": pass"), std::string::npos)
                << fault.module << " fails another group too: " << line;
        }
    }
    EXPECT_EQ(run.report.out_lines.back(), "6 passed, 1 failed") << fault.module;
}

INSTANTIATE_TEST_SUITE_P(ValidateFaultyModules, EachFault, ::testing::ValuesIn(kKnownFaults),
                         [](const ::testing::TestParamInfo<KnownFault>& info) {
                             return std::string(info.param.module);
                         });

// The light loop asking for light 2147483647 of INT32_MIN would run for minutes; the group gives
// its verdict at the first wrong request, long before the time limit.
TEST(ValidateFaultyModules, ARunawayLightLoopIsNamedNotTimedOut) {
    const tonemix_test::CommandRun run = tonemix_test::run_command(
        tmhost::run_validate, {faulty_module("overflowing_light_loop"), "--only", "render-records",
                               "--level", "3", "--seed", "1", "--time-limit", "60"});
    ASSERT_EQ(run.report.out_lines.size(), 3u);
    EXPECT_NE(run.report.out_lines[1].find("render_get_light asked for light 2147483647 of a "
                                           "count of -2147483648"),
              std::string::npos)
        << run.report.out_lines[1];
}

}  // namespace

namespace {

// Every host command drives nodes through ShaderPlugin, which measures each entry's stack use: a
// module whose entry pops the wrong number of bytes is reported, and the host goes on unharmed.
TEST(ShaderPluginStackUse, AnEntryThatPopsTheWrongBytesIsReportedAndSurvived) {
    tmhost::ModuleSession session(faulty_module("thiscall_pops_wrong"));
    session.require_shader(tmhost::ModuleSession::Trust::description_as_given);
    tmhost::StandInHost& host = session.host();
    const tmhost::ShaderPlugin& shader = session.shader();
    void* node = shader.create();
    ASSERT_NE(node, nullptr);
    tmhost::Node& host_node = host.containers().make_node();
    EXPECT_EQ(shader.init_defaults(node, host_node), 1);
    RenderSetup setup{};
    EXPECT_EQ(shader.prepare_render(node, host_node, &setup), 0);
    host.misuses().clear();
    for (int i = 0; i < 3; ++i) shader.release_render(node);
    ASSERT_EQ(host.misuses().count(), 3u);
    EXPECT_EQ(host.misuses().messages()[0],
              "shader release_render: popped 8 bytes of arguments, 4 expected");
    host.misuses().clear();
    shader.free_node(node);
    host.containers().destroy(host_node);
    EXPECT_TRUE(session.finish().empty());
}

}  // namespace
