// The boundary between the host application and the Tonemix module.
//
// Everything that crosses between the two is declared here and nowhere else: the host's function
// table and its sub-tables, the host libraries' tables, the records the renderer hands over for
// each shaded point, and the registration record the module hands to the host. The module and the
// stand-in host both include this header, so an offset mistake cannot hide on one side.
//
// Target: 32-bit x86. Pointers, int32_t and bool words are 32 bits, little-endian; a real is a
// 32-bit IEEE float. Every host operation and library function is cdecl; the registration record's
// dispatch entries use the member-function convention (thiscall): the node in ECX, the other words
// on the stack, popped by the callee.
#ifndef TONEMIX_HOST_API_H
#define TONEMIX_HOST_API_H

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "the host boundary is 32-bit: build with -m32 or for i686");
static_assert(sizeof(float) == 4 && sizeof(int32_t) == 4, "reals and words are 32 bits");

#if defined(_MSC_VER)
#define TM_CDECL __cdecl
#define TM_THISCALL __thiscall
#else
#define TM_CDECL __attribute__((cdecl))
#define TM_THISCALL __attribute__((thiscall))
#endif

// Pads a table up to the next named slot. The static_asserts below check where each slot lands.
#define TM_CAT2(a, b) a##b
#define TM_CAT(a, b) TM_CAT2(a, b)
#define TM_GAP(from, to) void* TM_CAT(gap_, __LINE__)[((to) - (from)) / 4]

// ---------------------------------------------------------------------------------------------
// Numbers the two sides agree on.

enum : int32_t {
    TM_HOST_API_MINIMUM = 7500,  // message 1 refuses a HostTable whose word 0 is below this
    TM_REGISTRATION_API = 8200,  // first argument of general_register_plugin
    TM_PLUGIN_TYPE_SHADER = 2,
};

// Messages of c4d_main (first argument).
enum : int32_t {
    TM_MESSAGE_INIT = 1,    // a: HostTable*, c: const char* module path
    TM_MESSAGE_START = 2,   // no arguments read
    TM_MESSAGE_END = 3,     // no arguments read
    TM_MESSAGE_QUERY = 4,   // no arguments read; always answered with 2
    TM_MESSAGE_PLUGIN = 6,  // a: plug-in message id, b: its data (never read)
};

// Results of c4d_main.
enum : int32_t {
    TM_RESULT_HANDLED = 1,
    TM_RESULT_START_FAILED = 0,
    TM_RESULT_NOT_HANDLED = -1,
    TM_RESULT_INIT_REFUSED = -3,
    TM_RESULT_QUERY = 2,
};

// Plug-in message ids carried by TM_MESSAGE_PLUGIN.
enum : int32_t {
    TM_PLUGIN_MESSAGE_ZERO = 0,
    TM_PLUGIN_MESSAGE_LOAD_RESOURCES = 1,
};

// Host libraries, found by id through general_find_library.
enum : int32_t {
    TM_LIBRARY_DESCRIPTION = 1000467,
    TM_LIBRARY_LIST = 1009290,  // also the custom data type id of the light list parameter
    TM_LIBRARY_FIND_SIZE = 28,  // second argument of general_find_library, always this value
};

// ---------------------------------------------------------------------------------------------
// Host values that live in the module's storage. Their bytes are the host's.

struct HostStringStorage {
    uint32_t words[4];
};
struct HostFilenameStorage {
    uint32_t words[7];
};
static_assert(sizeof(HostStringStorage) == 16, "a host string occupies 16 bytes");
static_assert(sizeof(HostFilenameStorage) == 28, "a host file name occupies 28 bytes");

typedef HostStringStorage* HostStringHandle;
typedef HostFilenameStorage* HostFilenameHandle;
typedef void* HostContainerHandle;  // a parameter container; lent by the host for one call

struct RenderContext;
struct LightRecord;

// ---------------------------------------------------------------------------------------------
// Host function table and its sub-tables. Every operation is cdecl. Unless a comment says
// otherwise, what an operation returns stays the host's.

struct HostGeneral {
    TM_GAP(0x00, 0x04);
    void(TM_CDECL* free)(void* p);  // +0x04 gives back a block of general_alloc; p is never null
    int32_t(TM_CDECL* print)(HostStringHandle s);  // +0x08 one line to the host console
    TM_GAP(0x0c, 0xec);
    // +0xec api is TM_REGISTRATION_API; the host copies what it keeps of name and record during the
    // call. Non-zero: registered.
    int32_t(TM_CDECL* register_plugin)(int32_t api, int32_t type, int32_t id, HostStringHandle name,
                                       void* record, int32_t size);
    TM_GAP(0xf0, 0x12c);
    void*(TM_CDECL* find_library)(int32_t library_id, int32_t size);  // +0x12c null when absent
    TM_GAP(0x130, 0x144);
    // +0x144 non-zero on success; *out3 then holds the library's LibraryTable (host-owned).
    int32_t(TM_CDECL* library_table)(void* library, void** out1, void** out2, void** out3);
    // +0x148 null on failure; the block goes back through free.
    void*(TM_CDECL* alloc)(int32_t size, int32_t source_line, const char* source_file);
};
static_assert(offsetof(HostGeneral, free) == 0x04, "general_free");
static_assert(offsetof(HostGeneral, print) == 0x08, "general_print");
static_assert(offsetof(HostGeneral, register_plugin) == 0xec, "general_register_plugin");
static_assert(offsetof(HostGeneral, find_library) == 0x12c, "general_find_library");
static_assert(offsetof(HostGeneral, library_table) == 0x144, "general_library_table");
static_assert(offsetof(HostGeneral, alloc) == 0x148, "general_alloc");
static_assert(sizeof(HostGeneral) == 0x14c, "general sub-table size");

struct HostRender {
    TM_GAP(0x00, 0x48);
    // +0x48 the light that `light` delivers at `point`. Non-zero: colour_out holds it (R, G, B).
    // work and work_again are the same caller vector; shadow_flag 1 asks for shadows; zero is 0.
    int32_t(TM_CDECL* illuminate)(RenderContext* context, LightRecord* light, float colour_out[3],
                                  float work[3], const float point[3], float work_again[3],
                                  int32_t shadow_flag, int32_t zero);
    TM_GAP(0x4c, 0x6c);
    LightRecord*(TM_CDECL* get_light)(RenderContext* context, int32_t index);  // +0x6c below count
    int32_t(TM_CDECL* light_count)(RenderContext* context);                    // +0x70
};
static_assert(offsetof(HostRender, illuminate) == 0x48, "render_illuminate");
static_assert(offsetof(HostRender, get_light) == 0x6c, "render_get_light");
static_assert(offsetof(HostRender, light_count) == 0x70, "render_light_count");
static_assert(sizeof(HostRender) == 0x74, "render sub-table size");

struct HostContainerTable {
    TM_GAP(0x00, 0x20);
    int32_t(TM_CDECL* set_real)(HostContainerHandle c, int32_t id, float value);    // +0x20
    int32_t(TM_CDECL* set_bool)(HostContainerHandle c, int32_t id, int32_t value);  // +0x24
    int32_t(TM_CDECL* set_long)(HostContainerHandle c, int32_t id, int32_t value);  // +0x28
    TM_GAP(0x2c, 0x44);
    float(TM_CDECL* get_real)(HostContainerHandle c,
                              int32_t id);  // +0x44 only for an id that is present
    int32_t(TM_CDECL* get_bool)(HostContainerHandle c,
                                int32_t id);  // +0x48 only for an id that is present
    int32_t(TM_CDECL* get_long)(HostContainerHandle c,
                                int32_t id);  // +0x4c only for an id that is present
    TM_GAP(0x50, 0x6c);
    int32_t(TM_CDECL* find_index)(HostContainerHandle c, int32_t id);  // +0x6c -1 when absent
    TM_GAP(0x70, 0xa0);
    void*(TM_CDECL* get_data)(HostContainerHandle c,
                              int32_t id);  // +0xa0 the element, null when absent
};
static_assert(offsetof(HostContainerTable, set_real) == 0x20, "container_set_real");
static_assert(offsetof(HostContainerTable, set_bool) == 0x24, "container_set_bool");
static_assert(offsetof(HostContainerTable, set_long) == 0x28, "container_set_long");
static_assert(offsetof(HostContainerTable, get_real) == 0x44, "container_get_real");
static_assert(offsetof(HostContainerTable, get_bool) == 0x48, "container_get_bool");
static_assert(offsetof(HostContainerTable, get_long) == 0x4c, "container_get_long");
static_assert(offsetof(HostContainerTable, find_index) == 0x6c, "container_find_index");
static_assert(offsetof(HostContainerTable, get_data) == 0xa0, "container_get_data");
static_assert(sizeof(HostContainerTable) == 0xa4, "container sub-table size");

struct HostStringTable {
    TM_GAP(0x00, 0x18);
    int32_t(TM_CDECL* length)(HostStringHandle s);  // +0x18
    TM_GAP(0x1c, 0x30);
    int32_t(TM_CDECL* insert)(HostStringHandle s, int32_t position,
                              HostStringHandle other);  // +0x30 other is unchanged
    TM_GAP(0x34, 0x60);
    void(TM_CDECL* init)(
        HostStringHandle s);  // +0x60 starts an empty string in the caller's 16 bytes
    // +0x64 length -1: the text up to its NUL; zero is always 0.
    void(TM_CDECL* set_cstr)(HostStringHandle s, const char* text, int32_t length, int32_t zero);
    TM_GAP(0x68, 0x6c);
    void(TM_CDECL* free)(HostStringHandle s);  // +0x6c ends what init started
    void(TM_CDECL* copy)(HostStringHandle source,
                         HostStringHandle destination);  // +0x70 destination already started
};
static_assert(offsetof(HostStringTable, length) == 0x18, "string_length");
static_assert(offsetof(HostStringTable, insert) == 0x30, "string_insert");
static_assert(offsetof(HostStringTable, init) == 0x60, "string_init");
static_assert(offsetof(HostStringTable, set_cstr) == 0x64, "string_set_cstr");
static_assert(offsetof(HostStringTable, free) == 0x6c, "string_free");
static_assert(offsetof(HostStringTable, copy) == 0x70, "string_copy");
static_assert(sizeof(HostStringTable) == 0x74, "string sub-table size");

struct HostFilenameTable {
    TM_GAP(0x00, 0x04);
    HostFilenameHandle(TM_CDECL* alloc)(
        void);  // +0x04 a new host block, not yet started (init starts it), or null
    TM_GAP(0x08, 0x0c);
    // +0x0c gives back a host block, ending its content first if it is still started.
    void(TM_CDECL* free)(HostFilenameHandle f);
    TM_GAP(0x10, 0x1c);
    void(TM_CDECL* set_string)(HostFilenameHandle f, HostStringHandle s);  // +0x1c
    HostFilenameHandle(TM_CDECL* derive)(
        HostFilenameHandle f);  // +0x20 the module's resource name; caller-owned (free), or null
    TM_GAP(0x24, 0x44);
    void(TM_CDECL* init)(HostFilenameHandle f);     // +0x44 starts an empty name in 28 bytes
    void(TM_CDECL* destroy)(HostFilenameHandle f);  // +0x48 ends what init started
    void(TM_CDECL* copy)(HostFilenameHandle source,
                         HostFilenameHandle destination);  // +0x4c destination already started
};
static_assert(offsetof(HostFilenameTable, alloc) == 0x04, "filename_alloc");
static_assert(offsetof(HostFilenameTable, free) == 0x0c, "filename_free");
static_assert(offsetof(HostFilenameTable, set_string) == 0x1c, "filename_set_string");
static_assert(offsetof(HostFilenameTable, derive) == 0x20, "filename_derive");
static_assert(offsetof(HostFilenameTable, init) == 0x44, "filename_init");
static_assert(offsetof(HostFilenameTable, destroy) == 0x48, "filename_destroy");
static_assert(offsetof(HostFilenameTable, copy) == 0x4c, "filename_copy");
static_assert(sizeof(HostFilenameTable) == 0x50, "filename sub-table size");

struct HostResourceTable {
    int32_t(TM_CDECL* load)(HostFilenameHandle f);  // +0x00 a handle, 0 on failure
    void(TM_CDECL* free)(int32_t handle);           // +0x04
};
static_assert(offsetof(HostResourceTable, load) == 0x00, "resource_load");
static_assert(offsetof(HostResourceTable, free) == 0x04, "resource_free");
static_assert(sizeof(HostResourceTable) == 0x08, "resource sub-table size");

struct HostNodeTable {
    TM_GAP(0x00, 0x68);
    HostContainerHandle(TM_CDECL* get_container)(
        void* host_node);  // +0x68 never null; lent for the call
};
static_assert(offsetof(HostNodeTable, get_container) == 0x68, "node_get_container");
static_assert(sizeof(HostNodeTable) == 0x6c, "node sub-table size");

struct HostCustomDataTable {
    TM_GAP(0x00, 0x60);
    void*(TM_CDECL* get)(void* element, int32_t type_id);  // +0x60 null for a null element
};
static_assert(offsetof(HostCustomDataTable, get) == 0x60, "customdata_get");
static_assert(sizeof(HostCustomDataTable) == 0x64, "customdata sub-table size");

struct HostTable {
    int32_t version;  // +0x00 host interface version, at least TM_HOST_API_MINIMUM
    HostGeneral* general;
    HostRender* render;
    TM_GAP(0x0c, 0x10);
    HostContainerTable* container;
    HostStringTable* string;
    TM_GAP(0x18, 0x24);
    HostFilenameTable* filename;
    TM_GAP(0x28, 0x3c);
    HostResourceTable* resource;
    HostNodeTable* node;
    TM_GAP(0x44, 0x98);
    HostCustomDataTable* customdata;
};
static_assert(offsetof(HostTable, version) == 0x00, "HostTable version");
static_assert(offsetof(HostTable, general) == 0x04, "HostTable general");
static_assert(offsetof(HostTable, render) == 0x08, "HostTable render");
static_assert(offsetof(HostTable, container) == 0x10, "HostTable container");
static_assert(offsetof(HostTable, string) == 0x14, "HostTable string");
static_assert(offsetof(HostTable, filename) == 0x24, "HostTable filename");
static_assert(offsetof(HostTable, resource) == 0x3c, "HostTable resource");
static_assert(offsetof(HostTable, node) == 0x40, "HostTable node");
static_assert(offsetof(HostTable, customdata) == 0x98, "HostTable customdata");
static_assert(sizeof(HostTable) == 0x9c, "HostTable size");

// ---------------------------------------------------------------------------------------------
// Host libraries. general_library_table hands out a LibraryTable; a function at byte offset N may
// be used only when N <= bound. Any function pointer may be null. Tables stay the host's.

struct LibraryTable {
    int32_t word0;  // not read by the module
    int32_t bound;  // signed: the highest byte offset the table serves
};
static_assert(sizeof(LibraryTable) == 8, "LibraryTable header");

// Library function offsets within their LibraryTable.
enum : int32_t {
    TM_DESCLIB_REGISTER_OFFSET = 8,
    TM_DESCLIB_GET_ID_OFFSET = 112,
    TM_LISTLIB_COUNT_OFFSET = 148,
    TM_LISTLIB_BUILD_OFFSET = 160,
    TM_LISTLIB_CONTAINS_OFFSET = 164,
    TM_LISTLIB_FREE_OFFSET = 176,
};

struct DescriptionLibraryTable {
    LibraryTable header;
    // +8 records the plug-in's description from the resource behind resource_handle. Non-zero:
    // done.
    int32_t(TM_CDECL* desclib_register)(int32_t plugin_id, HostStringHandle description_name,
                                        int32_t resource_handle);
    TM_GAP(0x0c, 0x70);
    // +112 the record for one level of a description id: three words, word 0 the parameter id.
    const int32_t*(TM_CDECL* desclib_get_id)(void* description_id, int32_t level);
};
static_assert(offsetof(DescriptionLibraryTable, desclib_register) == TM_DESCLIB_REGISTER_OFFSET,
              "");
static_assert(offsetof(DescriptionLibraryTable, desclib_get_id) == TM_DESCLIB_GET_ID_OFFSET, "");
static_assert(sizeof(DescriptionLibraryTable) == 116, "DescriptionLibrary table size");

struct ListLibraryTable {
    LibraryTable header;
    TM_GAP(0x08, 0x94);
    int32_t(TM_CDECL* listlib_count)(void* list_data);  // +148 non-zero: a list worth building
    TM_GAP(0x98, 0xa0);
    // +160 a render-time handle (owned by the caller until listlib_free), or null.
    void*(TM_CDECL* listlib_build)(void* list_data, int32_t setup_word, int32_t zero);
    int32_t(TM_CDECL* listlib_contains)(void* handle, void* scene_object);  // +164 1 listed, 0 not
    TM_GAP(0xa8, 0xb0);
    void(TM_CDECL* listlib_free)(void* handle);  // +176
};
static_assert(offsetof(ListLibraryTable, listlib_count) == TM_LISTLIB_COUNT_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_build) == TM_LISTLIB_BUILD_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_contains) == TM_LISTLIB_CONTAINS_OFFSET, "");
static_assert(offsetof(ListLibraryTable, listlib_free) == TM_LISTLIB_FREE_OFFSET, "");
static_assert(sizeof(ListLibraryTable) == 180, "ListLibrary table size");

// ---------------------------------------------------------------------------------------------
// Records the renderer lends for one shaded point. The module reads the named fields only.

struct ShadedObjectRecord {
    TM_GAP(0x00, 0x5c);
    uint32_t object_reference;  // +0x5c zero: no light's object flags apply
    TM_GAP(0x60, 0xf0);
    int32_t object_index;  // +0xf0 index into every light's ObjectFlagTable
};
static_assert(offsetof(ShadedObjectRecord, object_reference) == 0x5c, "");
static_assert(offsetof(ShadedObjectRecord, object_index) == 0xf0, "");
static_assert(sizeof(ShadedObjectRecord) == 0xf4, "");

struct RenderContext {
    TM_GAP(0x00, 0x48);
    float p[3];   // +0x48 the surface point being shaded
    float nv[3];  // +0x54 the surface normal at p, used at its stored length
    TM_GAP(0x60, 0x130);
    ShadedObjectRecord* shaded_object;  // +0x130
};
static_assert(offsetof(RenderContext, p) == 0x48, "");
static_assert(offsetof(RenderContext, nv) == 0x54, "");
static_assert(offsetof(RenderContext, shaded_object) == 0x130, "");
static_assert(sizeof(RenderContext) == 0x134, "");

struct ShadingInput {
    TM_GAP(0x00, 0x2c);
    RenderContext* context;  // +0x2c null when the host shades without one
};
static_assert(offsetof(ShadingInput, context) == 0x2c, "");
static_assert(sizeof(ShadingInput) == 0x30, "");

// Bit values of a light's per-object flag byte.
enum : uint8_t {
    TM_OBJECT_FLAG_NOT_LIT = 1,  // the light does not light that object
    TM_OBJECT_FLAG_OTHER = 2,    // meaningless to this shader
};

struct LightRecord {
    TM_GAP(0x00, 0x0c);
    void* scene_object;  // +0x0c what the light list is asked about
    TM_GAP(0x10, 0xe8);
    const uint8_t* object_flags;  // +0xe8 one flag byte per object index, or null
    int32_t object_flag_count;    // +0xec bytes in object_flags
};
static_assert(offsetof(LightRecord, scene_object) == 0x0c, "");
static_assert(offsetof(LightRecord, object_flags) == 0xe8, "");
static_assert(offsetof(LightRecord, object_flag_count) == 0xec, "");
static_assert(sizeof(LightRecord) == 0xf0, "");

// The host's render set-up record, handed to prepare_render. Only one word is read: it is passed
// on to listlib_build unread.
struct RenderSetup {
    TM_GAP(0x00, 0x20);
    int32_t list_build_word;  // +0x20
};
static_assert(offsetof(RenderSetup, list_build_word) == 0x20, "");
static_assert(sizeof(RenderSetup) == 0x24, "");

// ---------------------------------------------------------------------------------------------
// The registration record: 72 words handed to general_register_plugin, which copies it.
//
// Dispatch entries are thiscall with the node in ECX. compute_output's entry writes R, G, B to
// colour_out[0..2] and returns colour_out.

typedef void*(TM_CDECL* ShaderFactory)(void);
typedef void(TM_CDECL* ShaderFreeNode)(void* node);

typedef int32_t(TM_THISCALL* DispatchEntry1)(void* node, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry2)(void* node, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry3)(void* node, int32_t, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry4)(void* node, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry5)(void* node, int32_t, int32_t, int32_t, int32_t,
                                             int32_t);
typedef void(TM_THISCALL* DispatchEntryVoid1)(void* node, int32_t);
typedef void(TM_THISCALL* DispatchEntryVoid2)(void* node, int32_t, int32_t);

typedef int32_t(TM_THISCALL* InitDefaultsEntry)(void* node, void* host_node);
typedef int32_t(TM_THISCALL* IsParameterEnabledEntry)(void* node, void* host_node,
                                                      void* description_id, int32_t, int32_t,
                                                      int32_t);
typedef int32_t(TM_THISCALL* PrepareRenderEntry)(void* node, void* host_node, RenderSetup* setup);
typedef void(TM_THISCALL* ReleaseRenderEntry)(void* node, int32_t);
typedef float*(TM_THISCALL* ComputeOutputEntry)(void* node, float* colour_out, int32_t,
                                                ShadingInput* input);

struct ShaderRegistration {
    int32_t info;                                  // +0
    ShaderFreeNode free_node;                      // +4 destroys a node; null is ignored
    int32_t zero_8[6];                             // +8
    int32_t word6;                                 // +32 sixth argument of the registration
    int32_t zero_36;                               // +36
    int32_t word7;                                 // +40 seventh argument of the registration
    int32_t zero_44;                               // +44
    int32_t extra;                                 // +48
    ShaderFactory create;                          // +52 a new node, or null
    InitDefaultsEntry init_defaults;               // +56  slot 1
    DispatchEntryVoid1 node_hook_2;                // +60  slot 2
    DispatchEntry3 node_hook_3;                    // +64  slot 3
    DispatchEntry2 node_hook_4;                    // +68  slot 4
    DispatchEntry5 node_hook_6;                    // +72  slot 6
    DispatchEntry3 node_hook_5;                    // +76  slot 5
    DispatchEntry1 node_hook_8;                    // +80  slot 8
    DispatchEntryVoid2 node_hook_7;                // +84  slot 7
    DispatchEntry3 node_hook_10;                   // +88  slot 10
    DispatchEntry4 node_hook_11;                   // +92  slot 11
    DispatchEntry4 node_hook_13;                   // +96  slot 13
    IsParameterEnabledEntry is_parameter_enabled;  // +100 slot 12
    DispatchEntry3 node_hook_9;                    // +104 slot 9
    int32_t zero_108[13];                          // +108
    DispatchEntry1 shader_hook_15;                 // +160 slot 15
    PrepareRenderEntry prepare_render;             // +164 slot 16
    ReleaseRenderEntry release_render;             // +168 slot 17
    DispatchEntry5 shader_hook_14;                 // +172 slot 14
    ComputeOutputEntry compute_output;             // +176 slot 18
    int32_t zero_180[27];                          // +180
};
static_assert(offsetof(ShaderRegistration, info) == 0, "");
static_assert(offsetof(ShaderRegistration, free_node) == 4, "");
static_assert(offsetof(ShaderRegistration, zero_8) == 8, "");
static_assert(offsetof(ShaderRegistration, word6) == 32, "");
static_assert(offsetof(ShaderRegistration, zero_36) == 36, "");
static_assert(offsetof(ShaderRegistration, word7) == 40, "");
static_assert(offsetof(ShaderRegistration, zero_44) == 44, "");
static_assert(offsetof(ShaderRegistration, extra) == 48, "");
static_assert(offsetof(ShaderRegistration, create) == 52, "");
static_assert(offsetof(ShaderRegistration, init_defaults) == 56, "");
static_assert(offsetof(ShaderRegistration, node_hook_2) == 60, "");
static_assert(offsetof(ShaderRegistration, node_hook_3) == 64, "");
static_assert(offsetof(ShaderRegistration, node_hook_4) == 68, "");
static_assert(offsetof(ShaderRegistration, node_hook_6) == 72, "");
static_assert(offsetof(ShaderRegistration, node_hook_5) == 76, "");
static_assert(offsetof(ShaderRegistration, node_hook_8) == 80, "");
static_assert(offsetof(ShaderRegistration, node_hook_7) == 84, "");
static_assert(offsetof(ShaderRegistration, node_hook_10) == 88, "");
static_assert(offsetof(ShaderRegistration, node_hook_11) == 92, "");
static_assert(offsetof(ShaderRegistration, node_hook_13) == 96, "");
static_assert(offsetof(ShaderRegistration, is_parameter_enabled) == 100, "");
static_assert(offsetof(ShaderRegistration, node_hook_9) == 104, "");
static_assert(offsetof(ShaderRegistration, zero_108) == 108, "");
static_assert(offsetof(ShaderRegistration, shader_hook_15) == 160, "");
static_assert(offsetof(ShaderRegistration, prepare_render) == 164, "");
static_assert(offsetof(ShaderRegistration, release_render) == 168, "");
static_assert(offsetof(ShaderRegistration, shader_hook_14) == 172, "");
static_assert(offsetof(ShaderRegistration, compute_output) == 176, "");
static_assert(offsetof(ShaderRegistration, zero_180) == 180, "");
static_assert(sizeof(ShaderRegistration) == 288, "the registration record is 72 words");

// ---------------------------------------------------------------------------------------------
// The module's one export.

typedef int32_t(TM_CDECL* ModuleEntry)(int32_t message, void* a, void* b, void* c);

#endif
