// The host's tables read at their literal byte numbers, the way a host written against nothing
// but the numbers would lay them out: a wrong offset in the boundary header shows here even
// where the header's own checks were written from the same mistake.
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/core/stand_in_host.h"

namespace {

// The 32-bit word at byte `offset` of the memory at `base`.
uint32_t word_at(const void* base, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, static_cast<const unsigned char*>(base) + offset, sizeof word);
    return word;
}

template <typename Pointer>
uint32_t bits(Pointer pointer) {
    uint32_t word;
    static_assert(sizeof pointer == sizeof word, "32-bit pointers");
    std::memcpy(&word, &pointer, sizeof word);
    return word;
}

struct Slot {
    const char* name;
    uint32_t offset;
    uint32_t expected;
};

void expect_slots(const void* table, std::initializer_list<Slot> slots) {
    for (const Slot& slot : slots) {
        EXPECT_NE(slot.expected, 0u) << slot.name << ": the stand-in host fills every slot";
        EXPECT_EQ(word_at(table, slot.offset), slot.expected) << slot.name;
    }
}

TEST(HostApiLayout, TheHostTableHoldsEverySubTableAtItsByte) {
    tmhost::StandInHost host;
    const HostTable* t = host.table();
    EXPECT_GE(static_cast<int32_t>(word_at(t, 0x00)), 7500) << "version";
    expect_slots(t, {{"general", 0x04, bits(t->general)},
                     {"render", 0x08, bits(t->render)},
                     {"container", 0x10, bits(t->container)},
                     {"string", 0x14, bits(t->string)},
                     {"filename", 0x24, bits(t->filename)},
                     {"resource", 0x3c, bits(t->resource)},
                     {"node", 0x40, bits(t->node)},
                     {"customdata", 0x98, bits(t->customdata)}});
    EXPECT_EQ(sizeof(HostTable), 0x9cu);
}

TEST(HostApiLayout, EveryOperationLiesAtItsByteOfItsSubTable) {
    tmhost::StandInHost host;
    const HostTable* t = host.table();
    expect_slots(t->general, {{"general_free", 0x04, bits(t->general->free)},
                              {"general_print", 0x08, bits(t->general->print)},
                              {"general_register_plugin", 0xec, bits(t->general->register_plugin)},
                              {"general_find_library", 0x12c, bits(t->general->find_library)},
                              {"general_library_table", 0x144, bits(t->general->library_table)},
                              {"general_alloc", 0x148, bits(t->general->alloc)}});
    expect_slots(t->render, {{"render_illuminate", 0x48, bits(t->render->illuminate)},
                             {"render_get_light", 0x6c, bits(t->render->get_light)},
                             {"render_light_count", 0x70, bits(t->render->light_count)}});
    expect_slots(t->container, {{"container_set_real", 0x20, bits(t->container->set_real)},
                                {"container_set_bool", 0x24, bits(t->container->set_bool)},
                                {"container_set_long", 0x28, bits(t->container->set_long)},
                                {"container_get_real", 0x44, bits(t->container->get_real)},
                                {"container_get_bool", 0x48, bits(t->container->get_bool)},
                                {"container_get_long", 0x4c, bits(t->container->get_long)},
                                {"container_find_index", 0x6c, bits(t->container->find_index)},
                                {"container_get_data", 0xa0, bits(t->container->get_data)}});
    expect_slots(t->string, {{"string_length", 0x18, bits(t->string->length)},
                             {"string_insert", 0x30, bits(t->string->insert)},
                             {"string_init", 0x60, bits(t->string->init)},
                             {"string_set_cstr", 0x64, bits(t->string->set_cstr)},
                             {"string_free", 0x6c, bits(t->string->free)},
                             {"string_copy", 0x70, bits(t->string->copy)}});
    expect_slots(t->filename, {{"filename_alloc", 0x04, bits(t->filename->alloc)},
                               {"filename_free", 0x0c, bits(t->filename->free)},
                               {"filename_set_string", 0x1c, bits(t->filename->set_string)},
                               {"filename_derive", 0x20, bits(t->filename->derive)},
                               {"filename_init", 0x44, bits(t->filename->init)},
                               {"filename_destroy", 0x48, bits(t->filename->destroy)},
                               {"filename_copy", 0x4c, bits(t->filename->copy)}});
    expect_slots(t->resource, {{"resource_load", 0x00, bits(t->resource->load)},
                               {"resource_free", 0x04, bits(t->resource->free)}});
    expect_slots(t->node, {{"node_get_container", 0x68, bits(t->node->get_container)}});
    expect_slots(t->customdata, {{"customdata_get", 0x60, bits(t->customdata->get)}});
}

TEST(HostApiLayout, LibraryFunctionsLieAtTheirBytes) {
    tmhost::StandInHost host;
    const ListLibraryTable& list = host.list_library().table();
    expect_slots(&list, {{"listlib_count", 148, bits(list.listlib_count)},
                         {"listlib_build", 160, bits(list.listlib_build)},
                         {"listlib_contains", 164, bits(list.listlib_contains)},
                         {"listlib_free", 176, bits(list.listlib_free)}});
    EXPECT_EQ(static_cast<int32_t>(word_at(&list, 4)), list.header.bound) << "bound";
    EXPECT_EQ(sizeof(ListLibraryTable), 180u);
    EXPECT_EQ(sizeof(DescriptionLibraryTable), 116u);
    DescriptionLibraryTable description{};
    description.desclib_register = reinterpret_cast<decltype(description.desclib_register)>(8);
    description.desclib_get_id = reinterpret_cast<decltype(description.desclib_get_id)>(112);
    EXPECT_EQ(word_at(&description, 8), 8u) << "desclib_register";
    EXPECT_EQ(word_at(&description, 112), 112u) << "desclib_get_id";
}

}  // namespace
