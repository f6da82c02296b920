// What init_defaults wrote, held against the description: every kind of difference is found in
// the description's order, then the ids it does not describe, and told in info's words and in the
// one line render and describe refuse a module with.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "host/core/container_store.h"
#include "host/core/description.h"
#include "host/loading/default_check.h"

namespace {

using tmhost::Container;
using tmhost::DefaultDifference;
using tmhost::Description;
using Kind = DefaultDifference::Kind;
using Lines = std::vector<std::string>;

// One parameter of each case, in an order the differences must keep.
const char* const kDescription = R"({"name": "D", "parameters": [
    {"id": 1, "name": "AGREES", "type": "long", "default": 8},
    {"id": 2, "name": "OTHER_VALUE", "type": "real", "default": 20},
    {"id": 3, "name": "ANY_TRUE", "type": "bool", "default": true},
    {"id": 4, "name": "MISSING", "type": "long", "default": 64},
    {"id": 5, "name": "NO_DEFAULT", "type": "bool"},
    {"id": 6, "name": "NOTHING_AT_ALL", "type": "long"},
    {"id": 7, "name": "HALF", "type": "long", "default": 2.5},
    {"id": 8, "name": "OTHER_TYPE", "type": "real", "default": 1},
    {"id": 9, "name": "OFF", "type": "bool", "default": false},
    {"id": 10, "name": "LIGHTS", "type": "lightlist", "custom_type": 1009290, "default": 0}
]})";

// What a module's init_defaults might write for it: ids 1, 3 and 9 agree (any non-zero word is a
// true bool), 100 and 101 are none of the description's.
void write_defaults(Container& container) {
    container.set_long(1, 8);
    container.set_real(2, 10.0f);
    container.set_bool(3, 7);
    container.set_bool(5, 1);
    container.set_long(8, 1);
    container.set_bool(9, 0);
    container.set_long(100, 3);
    container.set_custom(101, 55, nullptr);
}

TEST(DefaultCheck, EveryDifferenceIsFoundInTheDescriptionsOrderThenTheUndescribed) {
    const Description description = Description::read(kDescription);
    ASSERT_EQ(description.fault(), "");
    Container container;
    write_defaults(container);

    const std::vector<DefaultDifference> differences =
        tmhost::compare_defaults(description, container);
    struct Expected {
        Kind kind;
        int32_t id;
        bool described;
        bool expected;
        bool found;
    };
    const Expected expected[] = {
        {Kind::different, 2, true, true, true},
        {Kind::missing, 4, true, true, false},
        {Kind::no_default, 5, true, false, true},
        {Kind::unholdable, 7, true, false, false},
        {Kind::different, 8, true, true, true},
        {Kind::unholdable, 10, true, false, false},
        {Kind::not_described, 100, false, false, true},
        {Kind::not_described, 101, false, false, true},
    };
    ASSERT_EQ(differences.size(), std::size(expected));
    for (std::size_t i = 0; i < differences.size(); ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(differences[i].kind, expected[i].kind);
        EXPECT_EQ(differences[i].id, expected[i].id);
        EXPECT_EQ(differences[i].parameter != nullptr, expected[i].described);
        if (differences[i].parameter != nullptr) {
            EXPECT_EQ(differences[i].parameter->id, expected[i].id);
        }
        EXPECT_EQ(differences[i].expected.has_value(), expected[i].expected);
        EXPECT_EQ(differences[i].found.has_value(), expected[i].found);
    }

    EXPECT_EQ(
        tmhost::default_differences(description, container),
        (Lines{"2: real 20 expected, real 10 found", "4: long 64 expected, missing",
               "5: no default, bool 1 found", "7: a default of type \"long\" the host cannot hold",
               "8: real 1 expected, long 1 found",
               "10: a default of type \"lightlist\" the host cannot hold",
               "100: not described, long 3 found", "101: not described, custom type 55 found"}));

    Lines told;
    for (const DefaultDifference& difference : differences)
        told.push_back(tmhost::disagreement_text(difference));
    EXPECT_EQ(told,
              (Lines{"OTHER_VALUE (2): the description gives real 20, the module writes real 10",
                     "MISSING (4): the description gives long 64, the module writes nothing",
                     "NO_DEFAULT (5): the description gives no default, the module writes bool 1",
                     "HALF (7): the description's default 2.5 is not a long, the module writes "
                     "nothing",
                     "OTHER_TYPE (8): the description gives real 1, the module writes long 1",
                     "LIGHTS (10): the description's default 0 is not a lightlist, the module "
                     "writes nothing",
                     "parameter 100 is not described, the module writes long 3",
                     "parameter 101 is not described, the module writes custom type 55"}));
}

TEST(DefaultCheck, AgreementIsNoLineAndAFaultyDescriptionIsToldFirst) {
    const Description agreeing = Description::read(
        R"({"name": "D", "parameters": [{"id": 1, "name": "A", "type": "long", "default": 8},
                                        {"id": 2, "name": "B", "type": "bool"}]})");
    ASSERT_EQ(agreeing.fault(), "");
    Container container;
    container.set_long(1, 8);
    EXPECT_TRUE(tmhost::compare_defaults(agreeing, container).empty());
    EXPECT_TRUE(tmhost::default_differences(agreeing, container).empty());

    // The parameters read before the fault are still compared, after it.
    const Description faulty = Description::read(
        R"({"name": "D", "parameters": [{"id": 1, "name": "A", "type": "long", "default": 9},
                                        {"name": "B", "type": "long"}]})");
    ASSERT_NE(faulty.fault(), "");
    const Lines lines = tmhost::default_differences(faulty, container);
    EXPECT_EQ(lines, (Lines{faulty.fault(), "1: long 9 expected, long 8 found"}));
}

}  // namespace
