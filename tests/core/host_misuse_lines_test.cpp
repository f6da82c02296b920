// Calls that break the boundary's rules without harming the host: each is answered as before
// (or refused) and leaves one misuse line naming the operation.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"

namespace {

class MisuseLines : public ::testing::Test {
protected:
    std::string text_of(const HostStringStorage& s) {
        const std::string* text = host.strings().text(&s);
        return text != nullptr ? *text : "<not started>";
    }
    int32_t register_shader(HostStringStorage& name, int32_t id) {
        ShaderRegistration record;
        std::memset(&record, 0, sizeof record);
        return host.table()->general->register_plugin(TM_REGISTRATION_API, TM_PLUGIN_TYPE_SHADER,
                                                      id, &name, &record, sizeof record);
    }

    tmhost::StandInHost host;
    HostStringTable& strings = *host.table()->string;
};

TEST_F(MisuseLines, AnIdRegisteredTwiceInOneStartIsAMisuseAndTheLatestCounts) {
    HostStringStorage name;
    host.strings().start(&name, "Tonemix");
    EXPECT_EQ(register_shader(name, 1007539), 1);
    EXPECT_EQ(register_shader(name, 1007540), 1);
    EXPECT_TRUE(host.misuses().messages().empty());
    EXPECT_EQ(register_shader(name, 1007539), 1);
    ASSERT_EQ(host.misuses().count(), 1u);
    EXPECT_EQ(host.misuses().messages()[0],
              "general_register_plugin: plug-in id 1007539 registered twice in one start "
              "(\"Tonemix\")");
    EXPECT_EQ(host.registrations().list().size(), 3u);

    // A second start registers everything again, as a host that starts a module again expects.
    host.misuses().clear();
    host.registrations().start_begins();
    EXPECT_EQ(register_shader(name, 1007539), 1);
    EXPECT_EQ(register_shader(name, 1007540), 1);
    EXPECT_TRUE(host.misuses().messages().empty());
    strings.free(&name);
}

TEST_F(MisuseLines, ALibraryHandleTheHostNeverGaveOutIsAMisuse) {
    HostGeneral& general = *host.table()->general;
    void* out1 = nullptr;
    void* out2 = nullptr;
    void* out3 = nullptr;
    int not_a_library = 0;
    EXPECT_EQ(
        general.library_table(reinterpret_cast<LibraryHandle>(&not_a_library), &out1, &out2, &out3),
        0);
    EXPECT_EQ(general.library_table(nullptr, &out1, &out2, &out3), 0);
    EXPECT_EQ(out3, nullptr);
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0],
              "general_library_table: not a library handle of this host");
    EXPECT_EQ(host.misuses().messages()[1], "general_library_table: null library handle");

    // One that was given out is no misuse.
    LibraryHandle library = general.find_library(TM_LIBRARY_LIST, TM_LIBRARY_FIND_SIZE);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(general.library_table(library, &out1, &out2, &out3), 0);
    EXPECT_NE(out3, nullptr);
    EXPECT_EQ(host.misuses().count(), 2u);
}

TEST_F(MisuseLines, NullTextEmptiesTheStringAndIsAMisuse) {
    HostStringStorage s;
    strings.init(&s);
    strings.set_cstr(&s, "kept", -1, 0);
    strings.set_cstr(&s, nullptr, -1, 0);
    EXPECT_EQ(text_of(s), "");
    strings.set_cstr(&s, "again", -1, 0);
    strings.set_cstr(&s, nullptr, 0, 0);
    EXPECT_EQ(text_of(s), "");
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0], "string_set_cstr: null text");
    EXPECT_EQ(host.misuses().messages()[1], "string_set_cstr: null text");
    strings.free(&s);
}

TEST_F(MisuseLines, AnInsertOutsideTheStringGoesToTheNearerEndAndIsAMisuse) {
    HostStringStorage s, other;
    strings.init(&s);
    strings.init(&other);
    strings.set_cstr(&s, "2.03", -1, 0);
    strings.set_cstr(&other, "v", -1, 0);
    // Both ends themselves are places the string has.
    EXPECT_NE(strings.insert(&s, 0, &other), 0);
    EXPECT_NE(strings.insert(&s, 5, &other), 0);
    EXPECT_EQ(text_of(s), "v2.03v");
    EXPECT_TRUE(host.misuses().messages().empty());

    EXPECT_NE(strings.insert(&s, -1, &other), 0);
    EXPECT_NE(strings.insert(&s, 8, &other), 0);
    EXPECT_EQ(text_of(s), "vv2.03vv");
    ASSERT_EQ(host.misuses().count(), 2u);
    EXPECT_EQ(host.misuses().messages()[0], "string_insert: position -1 outside 0..6");
    EXPECT_EQ(host.misuses().messages()[1], "string_insert: position 8 outside 0..7");
    strings.free(&s);
    strings.free(&other);
}

TEST_F(MisuseLines, ProcessChangesAreLeftBehindOnceEach) {
    host.note_process_change(
        "the module changed the umask from 0022 to 0777; the host set it back");
    host.note_process_change(
        "the module changed the umask from 0022 to 0777; the host set it back");
    const tmhost::LeftBehind left = host.left_behind();
    EXPECT_FALSE(left.empty());
    ASSERT_EQ(left.lines().size(), 1u);
    EXPECT_EQ(left.lines()[0],
              "the module changed the umask from 0022 to 0777; the host set it back");
}

}  // namespace
