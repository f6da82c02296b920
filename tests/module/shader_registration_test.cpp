// The registration record as the host receives it: every word where the host expects it, and
// every dispatch entry reaching its own operation with the host's words and result unchanged.
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "bound_host_test.h"
#include "shader_registration.h"
#include "tonemix_shader.h"

namespace {

HostNodeHandle as_node(void* p) { return reinterpret_cast<HostNodeHandle>(p); }

void* TM_CDECL fake_factory() { return nullptr; }

ShaderRegistration filled_record(int32_t info, int32_t word6, int32_t word7) {
    ShaderRegistration record;
    std::memset(&record, 0, sizeof record);
    fill_shader_record(&record, fake_factory, info, word6, word7);
    return record;
}

uint32_t word_at(const ShaderRegistration& record, int byte) {
    uint32_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&record) + byte, 4);
    return word;
}

TEST(ShaderRecord, ZeroWordsAndSetWords) {
    ShaderRegistration record = filled_record(0, 0, 0);
    ASSERT_EQ(sizeof record, 288u);
    const std::set<int> set_words = {4,  52, 56, 60,  64,  68,  72,  76,  80,  84,
                                     88, 92, 96, 100, 104, 160, 164, 168, 172, 176};
    for (int byte = 0; byte < 288; byte += 4) {
        if (set_words.count(byte) != 0) {
            EXPECT_NE(word_at(record, byte), 0u) << "byte " << byte;
        } else {
            EXPECT_EQ(word_at(record, byte), 0u) << "byte " << byte;
        }
    }
    EXPECT_EQ(record.free_node, &free_node);
    EXPECT_EQ(record.create, &fake_factory);
}

TEST(ShaderRecord, HeaderCarriesInfoAndExtraWords) {
    ShaderRegistration record = filled_record(7, 0x1111, 0x2222);
    EXPECT_EQ(word_at(record, 0), 7u);
    EXPECT_EQ(word_at(record, 32), 0x1111u);
    EXPECT_EQ(word_at(record, 40), 0x2222u);
    EXPECT_EQ(word_at(record, 36), 0u);
    EXPECT_EQ(word_at(record, 44), 0u);
    EXPECT_EQ(word_at(record, 48), 0u);
}

TEST(ShaderRecord, NodeRecordAloneLeavesShaderEntriesZero) {
    ShaderRegistration record;
    std::memset(&record, 0, sizeof record);
    fill_node_record(&record, 0, fake_factory, 0x55, 0, 0);
    EXPECT_EQ(word_at(record, 48), 0x55u);
    for (int byte = 108; byte < 288; byte += 4) EXPECT_EQ(word_at(record, byte), 0u) << byte;
}

// Records which operation ran and with what, each call in full; answers a distinct result per
// operation.
class RecordingShader : public TonemixShader {
public:
    int slot = -1;
    std::vector<int32_t> args;
    std::vector<void*> pointers;

    void take(int s, std::initializer_list<int32_t> a, std::initializer_list<void*> p = {}) {
        slot = s;
        args.assign(a);
        pointers.assign(p);
    }
    int32_t init_defaults(HostNodeHandle host_node) override {
        take(1, {}, {host_node});
        return 101;
    }
    void node_hook_2(int32_t a) override { take(2, {a}); }
    int32_t node_hook_3(int32_t a, int32_t b, int32_t c) override {
        take(3, {a, b, c});
        return 103;
    }
    int32_t node_hook_4(int32_t a, int32_t b) override {
        take(4, {a, b});
        return 104;
    }
    int32_t node_hook_5(int32_t a, int32_t b, int32_t c) override {
        take(5, {a, b, c});
        return 105;
    }
    int32_t node_hook_6(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override {
        take(6, {a, b, c, d, e});
        return 106;
    }
    void node_hook_7(int32_t a, int32_t b) override { take(7, {a, b}); }
    int32_t node_hook_8(int32_t a) override {
        take(8, {a});
        return 108;
    }
    int32_t node_hook_9(int32_t a, int32_t b, int32_t c) override {
        take(9, {a, b, c});
        return 109;
    }
    int32_t node_hook_10(int32_t a, int32_t b, int32_t c) override {
        take(10, {a, b, c});
        return 110;
    }
    int32_t node_hook_11(int32_t a, int32_t b, int32_t c, int32_t d) override {
        take(11, {a, b, c, d});
        return 111;
    }
    int32_t is_parameter_enabled(HostNodeHandle node, DescriptionIdHandle id, int32_t a, int32_t b,
                                 int32_t c) override {
        take(12, {a, b, c}, {node, id});
        return 112;
    }
    int32_t node_hook_13(int32_t a, int32_t b, int32_t c, int32_t d) override {
        take(13, {a, b, c, d});
        return 113;
    }
    int32_t shader_hook_14(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override {
        take(14, {a, b, c, d, e});
        return 114;
    }
    int32_t shader_hook_15(int32_t a) override {
        take(15, {a});
        return 115;
    }
    int32_t prepare_render(HostNodeHandle node, RenderSetup* setup) override {
        take(16, {}, {node, setup});
        return 116;
    }
    void release_render(int32_t a) override { take(17, {a}); }
    float* compute_output(float* out, int32_t a, ShadingInput* input) override {
        take(18, {a}, {out, input});
        out[0] = 1.5f;
        out[1] = 2.5f;
        out[2] = 3.5f;
        return out;
    }
};

using Words = std::vector<int32_t>;
using Pointers = std::vector<void*>;

void* pointer(uintptr_t value) { return reinterpret_cast<void*>(value); }

TEST(ShaderRecord, EveryEntryReachesItsSlotUnchanged) {
    // Every word and pointer the host passes differs from every other and from every result, so
    // an entry that drops, swaps or mixes up one of them fails.
    ShaderRegistration r = filled_record(0, 0, 0);
    RecordingShader shader;
    void* node = static_cast<TonemixShader*>(&shader);

    EXPECT_EQ(r.init_defaults(node, as_node(pointer(0x1100))), 101);
    EXPECT_EQ(shader.slot, 1);
    EXPECT_EQ(shader.pointers, (Pointers{pointer(0x1100)}));

    r.node_hook_2(node, 2001);
    EXPECT_EQ(shader.slot, 2);
    EXPECT_EQ(shader.args, (Words{2001}));

    EXPECT_EQ(r.node_hook_3(node, 3001, 3002, 3003), 103);
    EXPECT_EQ(shader.slot, 3);
    EXPECT_EQ(shader.args, (Words{3001, 3002, 3003}));

    EXPECT_EQ(r.node_hook_4(node, 4001, 4002), 104);
    EXPECT_EQ(shader.slot, 4);
    EXPECT_EQ(shader.args, (Words{4001, 4002}));

    // Bytes 72 and 76 lead to slots 6 and 5.
    EXPECT_EQ(r.node_hook_6(node, 6001, 6002, 6003, 6004, 6005), 106);
    EXPECT_EQ(shader.slot, 6);
    EXPECT_EQ(shader.args, (Words{6001, 6002, 6003, 6004, 6005}));
    EXPECT_EQ(r.node_hook_5(node, 5001, 5002, 5003), 105);
    EXPECT_EQ(shader.slot, 5);
    EXPECT_EQ(shader.args, (Words{5001, 5002, 5003}));

    // Bytes 80 and 84 lead to slots 8 and 7.
    EXPECT_EQ(r.node_hook_8(node, 8001), 108);
    EXPECT_EQ(shader.slot, 8);
    EXPECT_EQ(shader.args, (Words{8001}));
    r.node_hook_7(node, 7001, 7002);
    EXPECT_EQ(shader.slot, 7);
    EXPECT_EQ(shader.args, (Words{7001, 7002}));

    EXPECT_EQ(r.node_hook_10(node, 10001, 10002, 10003), 110);
    EXPECT_EQ(shader.slot, 10);
    EXPECT_EQ(shader.args, (Words{10001, 10002, 10003}));
    EXPECT_EQ(r.node_hook_11(node, 11001, 11002, 11003, 11004), 111);
    EXPECT_EQ(shader.slot, 11);
    EXPECT_EQ(shader.args, (Words{11001, 11002, 11003, 11004}));

    // Byte 96 is slot 13, byte 100 slot 12.
    EXPECT_EQ(r.node_hook_13(node, 13001, 13002, 13003, 13004), 113);
    EXPECT_EQ(shader.slot, 13);
    EXPECT_EQ(shader.args, (Words{13001, 13002, 13003, 13004}));
    EXPECT_EQ(r.is_parameter_enabled(node, as_node(pointer(0x1200)),
                                     reinterpret_cast<DescriptionIdHandle>(pointer(0x1204)), 12001,
                                     12002, 12003),
              112);
    EXPECT_EQ(shader.slot, 12);
    EXPECT_EQ(shader.args, (Words{12001, 12002, 12003}));
    EXPECT_EQ(shader.pointers, (Pointers{pointer(0x1200), pointer(0x1204)}));

    EXPECT_EQ(r.node_hook_9(node, 9001, 9002, 9003), 109);
    EXPECT_EQ(shader.slot, 9);
    EXPECT_EQ(shader.args, (Words{9001, 9002, 9003}));

    EXPECT_EQ(r.shader_hook_15(node, 15001), 115);
    EXPECT_EQ(shader.slot, 15);
    EXPECT_EQ(shader.args, (Words{15001}));
    EXPECT_EQ(r.prepare_render(node, as_node(pointer(0x1600)),
                               static_cast<RenderSetup*>(pointer(0x1604))),
              116);
    EXPECT_EQ(shader.slot, 16);
    EXPECT_EQ(shader.pointers, (Pointers{pointer(0x1600), pointer(0x1604)}));
    r.release_render(node, 17001);
    EXPECT_EQ(shader.slot, 17);
    EXPECT_EQ(shader.args, (Words{17001}));

    // Byte 172 is slot 14, between slots 17 and 18.
    EXPECT_EQ(r.shader_hook_14(node, 14001, 14002, 14003, 14004, 14005), 114);
    EXPECT_EQ(shader.slot, 14);
    EXPECT_EQ(shader.args, (Words{14001, 14002, 14003, 14004, 14005}));

    float colour[3] = {};
    ShadingInput* input = static_cast<ShadingInput*>(pointer(0x1800));
    EXPECT_EQ(r.compute_output(node, colour, 18001, input), colour);
    EXPECT_EQ(shader.slot, 18);
    EXPECT_EQ(shader.args, (Words{18001}));
    EXPECT_EQ(shader.pointers, (Pointers{colour, input}));
    EXPECT_EQ(colour[0], 1.5f);
    EXPECT_EQ(colour[1], 2.5f);
    EXPECT_EQ(colour[2], 3.5f);
}

TEST(ShaderRecord, FreeNodeIgnoresNull) {
    // Null reaches neither a node nor the host: no call at all (a free of null would be booked
    // as a misuse), and a live node stays live.
    tmhost::StandInHost host;
    bind_host_table(host.table());
    struct Unbound {
        ~Unbound() { bound_host_table = nullptr; }
    } unbound;
    void* node = create_shader();
    ASSERT_NE(node, nullptr);
    host.journal().clear();

    free_node(nullptr);
    EXPECT_EQ(host.journal().size(), 0u) << host.journal().to_text();
    EXPECT_EQ(host.misuses().count(), 0u);
    EXPECT_EQ(host.memory().live_count(), 1u);

    free_node(node);
    EXPECT_TRUE(host.left_behind().empty()) << tonemix_test::left_behind_text(host);
}

}  // namespace
