// The boundary between the host application and the Tonemix module, as a host author reads it:
// the host's function table, the host libraries' tables, the records the renderer lends for each
// shaded point, and the registration record the module hands to the host. The module and the
// stand-in host both include it; host_api_layout.h pins every offset and size.
//
// Target: 32-bit x86. Pointers, int32_t and bool words are 32 bits, little-endian; a real is a
// 32-bit IEEE float; a bool word is true when non-zero. Every host operation and library function
// is cdecl; the registration record's dispatch entries use the member-function convention
// (thiscall): the node in ECX, the other words on the stack, popped by the callee. Nothing throws
// across this boundary; failures are answers (0, null).
//
// When each operation may be called, by the tags on it:
//   [load]    while the host delivers a c4d_main message; the host sends them one at a time.
//   [main]    from the host's interface or render set-up: node creation and destruction,
//             init_defaults, is_parameter_enabled, prepare_render, release_render. One at a time
//             per node, and never while a compute_output of the same node runs.
//   [render]  from any render thread, many at once, during compute_output.
// Unless a comment says otherwise, what an operation answers stays the host's and is valid until
// the call that received it returns.
#ifndef TONEMIX_HOST_API_H
#define TONEMIX_HOST_API_H

#include <cstddef>
#include <cstdint>

#if defined(_MSC_VER)
#define TM_CDECL __cdecl
#define TM_THISCALL __thiscall
#else
#define TM_CDECL __attribute__((cdecl))
#define TM_THISCALL __attribute__((thiscall))
#endif

// Pads a table up to its next named slot.
#define TM_CAT2(a, b) a##b
#define TM_CAT(a, b) TM_CAT2(a, b)
#define TM_GAP(from, to) void* TM_CAT(gap_, __LINE__)[((to) - (from)) / 4]

// Numbers the two sides agree on.

enum : int32_t {
    TM_HOST_API_MINIMUM = 7500,  // message 1 refuses a HostTable whose version is below this
    TM_REGISTRATION_API = 8200,  // first argument of general_register_plugin
    TM_PLUGIN_TYPE_SHADER = 2,
};

// Messages of c4d_main (first argument) and what the module reads of a, b and c.
enum : int32_t {
    TM_MESSAGE_INIT = 1,    // a: HostTable*, kept until unload; c: the module's path, copied
    TM_MESSAGE_START = 2,   // none read
    TM_MESSAGE_END = 3,     // none read; one per TM_MESSAGE_INIT, the last one ends the module
    TM_MESSAGE_QUERY = 4,   // none read; always answered with TM_RESULT_QUERY
    TM_MESSAGE_PLUGIN = 6,  // a: a plug-in message id; b: its data, never read
};

// Answers of c4d_main.
enum : int32_t {
    TM_RESULT_HANDLED = 1,
    TM_RESULT_START_FAILED = 0,   // TM_MESSAGE_START: the shader is not registered
    TM_RESULT_NOT_HANDLED = -1,   // an unknown message, or a plug-in message answered false
    TM_RESULT_INIT_REFUSED = -3,  // TM_MESSAGE_INIT: host version too old, or no usable path
    TM_RESULT_QUERY = 2,
};

// Plug-in message ids carried by TM_MESSAGE_PLUGIN.
enum : int32_t {
    TM_PLUGIN_MESSAGE_ZERO = 0,            // answered true, nothing done
    TM_PLUGIN_MESSAGE_LOAD_RESOURCES = 1,  // loads the module's resource; true when it loaded
};

// Host libraries, found by id through general_find_library.
enum : int32_t {
    TM_LIBRARY_DESCRIPTION = 1000467,
    TM_LIBRARY_LIST = 1009290,  // also the custom data type id of the light list parameter
    TM_LIBRARY_FIND_SIZE = 28,  // second argument of general_find_library, always this value
};

// Handles. Host strings and file names live in the module's storage, their bytes the host's.
// Every other host object is only passed on, never dereferenced: each kind has a pointer type of
// its own, so that one handed where another belongs does not compile.

// clang-format off
struct HostStringStorage { uint32_t words[4]; };
struct HostFilenameStorage { uint32_t words[7]; };
// clang-format on
typedef HostStringStorage* HostStringHandle;
typedef HostFilenameStorage* HostFilenameHandle;
typedef struct HostNodeObject* HostNodeHandle;                // a shader's node on the host's side
typedef struct HostContainerObject* HostContainerHandle;      // a node's parameter container
typedef struct HostElementObject* HostElementHandle;          // one entry of a container
typedef struct HostListDataObject* ListDataHandle;            // an entry's light list data
typedef struct HostListObject* ListHandle;                    // a render-time list built from it
typedef struct HostSceneObject* SceneObjectHandle;            // what a light stands for in lists
typedef struct HostDescriptionIdObject* DescriptionIdHandle;  // an interface's parameter id
typedef struct HostLibraryObject* LibraryHandle;              // a library found by id

struct RenderContext;  // records the renderer lends, below
struct LightRecord;
// The host's function table. The module keeps the HostTable pointer of the first
// TM_MESSAGE_INIT and every sub-table pointer in it until unload.

struct HostGeneral {
    TM_GAP(0x00, 0x04);
    // +0x04 [load][main] gives back a block of alloc; p is never null.
    void(TM_CDECL* free)(void* p);
    // +0x08 [load] prints the string's text as one console line; s stays the caller's.
    int32_t(TM_CDECL* print)(HostStringHandle s);
    TM_GAP(0x0c, 0xec);
    // +0xec [load] api is TM_REGISTRATION_API; record is `size` bytes (a ShaderRegistration for
    // TM_PLUGIN_TYPE_SHADER). The host copies what it keeps of name and record during the call.
    // Non-zero: registered.
    int32_t(TM_CDECL* register_plugin)(int32_t api, int32_t type, int32_t id, HostStringHandle name,
                                       void* record, int32_t size);
    TM_GAP(0xf0, 0x12c);
    // +0x12c [load][main] the library of that id, or null when the host has none; size is
    // TM_LIBRARY_FIND_SIZE. The library lives as long as the host.
    LibraryHandle(TM_CDECL* find_library)(int32_t library_id, int32_t size);
    TM_GAP(0x130, 0x144);
    // +0x144 [load][main] non-zero on success; *out3 then holds the library's LibraryTable,
    // host-owned and valid while the module is loaded. out1 and out2 are not read.
    int32_t(TM_CDECL* library_table)(LibraryHandle library, void** out1, void** out2, void** out3);
    // +0x148 [main] a block of at least `size` bytes (the module asks for 1 or more), tagged with
    // the module's source line and file for the host's books; null on failure. The module owns
    // it until it hands it back through free.
    void*(TM_CDECL* alloc)(int32_t size, int32_t source_line, const char* source_file);
};

// [render] all three, from every render thread at once, for the context of the call.
struct HostRender {
    TM_GAP(0x00, 0x48);
    // +0x48 the light that `light` delivers at `point`. Non-zero: colour_out holds it (R, G, B);
    // zero: colour_out may hold anything. work and work_again are one vector of the caller's,
    // set to 0 before a point's first light; shadow_flag 1 asks for shadows; zero is 0.
    int32_t(TM_CDECL* illuminate)(RenderContext* context, LightRecord* light, float colour_out[3],
                                  float work[3], const float point[3], float work_again[3],
                                  int32_t shadow_flag, int32_t zero);
    TM_GAP(0x4c, 0x6c);
    // +0x6c the light at index (0 .. light_count - 1), or null to skip it; the record is the
    // host's, valid during the compute_output that asked.
    LightRecord*(TM_CDECL* get_light)(RenderContext* context, int32_t index);
    // +0x70 the number of lights; 0 or less is no light (the module trusts no other value).
    int32_t(TM_CDECL* light_count)(RenderContext* context);
};

// [main] every one. A container is lent for the node operation that asked for it.
struct HostContainerTable {
    TM_GAP(0x00, 0x20);
    // +0x20 .. +0x28 write the value under id, adding the entry when absent; non-zero: written.
    int32_t(TM_CDECL* set_real)(HostContainerHandle c, int32_t id, float value);
    int32_t(TM_CDECL* set_bool)(HostContainerHandle c, int32_t id, int32_t value);
    int32_t(TM_CDECL* set_long)(HostContainerHandle c, int32_t id, int32_t value);
    TM_GAP(0x2c, 0x44);
    // +0x44 .. +0x4c the value under id; asked only for an id that find_index found.
    float(TM_CDECL* get_real)(HostContainerHandle c, int32_t id);
    int32_t(TM_CDECL* get_bool)(HostContainerHandle c, int32_t id);
    int32_t(TM_CDECL* get_long)(HostContainerHandle c, int32_t id);
    TM_GAP(0x50, 0x6c);
    // +0x6c the entry's index, -1 when id is absent.
    int32_t(TM_CDECL* find_index)(HostContainerHandle c, int32_t id);
    TM_GAP(0x70, 0xa0);
    // +0xa0 the entry under id, or null when absent; lent like its container.
    HostElementHandle(TM_CDECL* get_data)(HostContainerHandle c, int32_t id);
};

// [load] every one, on strings in the caller's 16 bytes: init starts one, free ends it.
struct HostStringTable {
    TM_GAP(0x00, 0x18);
    int32_t(TM_CDECL* length)(HostStringHandle s);  // +0x18 the number of characters
    TM_GAP(0x1c, 0x30);
    // +0x30 copies other's text into s before character `position`; other is unchanged.
    int32_t(TM_CDECL* insert)(HostStringHandle s, int32_t position, HostStringHandle other);
    TM_GAP(0x34, 0x60);
    void(TM_CDECL* init)(HostStringHandle s);  // +0x60 starts an empty string
    // +0x64 copies text into s: length -1 takes it up to its NUL; zero is always 0.
    void(TM_CDECL* set_cstr)(HostStringHandle s, const char* text, int32_t length, int32_t zero);
    TM_GAP(0x68, 0x6c);
    void(TM_CDECL* free)(HostStringHandle s);  // +0x6c ends what init started
    // +0x70 copies source's text into destination, which is already started.
    void(TM_CDECL* copy)(HostStringHandle source, HostStringHandle destination);
};

// [load] every one. A name's 28 bytes are the caller's (init, destroy) or a host block (alloc).
struct HostFilenameTable {
    TM_GAP(0x00, 0x04);
    // +0x04 a new host block, not yet started (init starts it), or null; the caller owns it
    // until free.
    HostFilenameHandle(TM_CDECL* alloc)(void);
    TM_GAP(0x08, 0x0c);
    // +0x0c gives back a block of alloc or derive, ending its content first if still started.
    void(TM_CDECL* free)(HostFilenameHandle f);
    TM_GAP(0x10, 0x1c);
    // +0x1c sets f, already started, to the path in s; s stays the caller's.
    void(TM_CDECL* set_string)(HostFilenameHandle f, HostStringHandle s);
    // +0x20 the resource file name that belongs to the module file f: a new, started block the
    // caller owns (free), or null.
    HostFilenameHandle(TM_CDECL* derive)(HostFilenameHandle f);
    TM_GAP(0x24, 0x44);
    void(TM_CDECL* init)(HostFilenameHandle f);     // +0x44 starts an empty name
    void(TM_CDECL* destroy)(HostFilenameHandle f);  // +0x48 ends what init started
    // +0x4c copies source into destination, which is already started.
    void(TM_CDECL* copy)(HostFilenameHandle source, HostFilenameHandle destination);
};

// [load] both.
struct HostResourceTable {
    // +0x00 loads the resource file f names; a handle the module owns until free, 0 on failure.
    int32_t(TM_CDECL* load)(HostFilenameHandle f);
    void(TM_CDECL* free)(int32_t handle);  // +0x04 gives back a handle of load, once
};

struct HostNodeTable {
    TM_GAP(0x00, 0x68);
    // +0x68 [main] the node's parameter container, never null; lent for the node operation.
    HostContainerHandle(TM_CDECL* get_container)(HostNodeHandle host_node);
};

struct HostCustomDataTable {
    TM_GAP(0x00, 0x60);
    // +0x60 [main] the element's custom data of type_id (list data for TM_LIBRARY_LIST), or
    // null, always for a null element; lent like the element.
    ListDataHandle(TM_CDECL* get)(HostElementHandle element, int32_t type_id);
};

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

// Host libraries. general_library_table hands out a LibraryTable; a function at byte offset N may
// be used only when N <= bound. Any function pointer may be null, and then is not called. Tables
// stay the host's.

struct LibraryTable {
    int32_t word0;  // not read by the module
    int32_t bound;  // signed: the highest byte offset the table serves
};

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
    // +8 [load] records the plug-in's description, read from the resource behind
    // resource_handle (0: none loaded); the host copies the name. Non-zero: done.
    int32_t(TM_CDECL* desclib_register)(int32_t plugin_id, HostStringHandle description_name,
                                        int32_t resource_handle);
    TM_GAP(0x0c, 0x70);
    // +112 [main] the record for one level of a description id: three words, word 0 the
    // parameter id; host-owned. The module treats null as parameter id 0.
    const int32_t*(TM_CDECL* desclib_get_id)(DescriptionIdHandle description_id, int32_t level);
};

struct ListLibraryTable {
    LibraryTable header;
    TM_GAP(0x08, 0x94);
    // +148 [main] non-zero: the list names lights, worth building.
    int32_t(TM_CDECL* listlib_count)(ListDataHandle list_data);
    TM_GAP(0x98, 0xa0);
    // +160 [main] a render-time list of list_data's lights; setup_word is RenderSetup's word,
    // zero is 0. The caller owns it until listlib_free; null when none was built.
    ListHandle(TM_CDECL* listlib_build)(ListDataHandle list_data, int32_t setup_word, int32_t zero);
    // +164 [render] 1 when scene_object is listed, 0 when not; the module compares the answer
    // with 1 and 0 only. Safe from every render thread at once on one list.
    int32_t(TM_CDECL* listlib_contains)(ListHandle handle, SceneObjectHandle scene_object);
    TM_GAP(0xa8, 0xb0);
    void(TM_CDECL* listlib_free)(ListHandle handle);  // +176 [main] ends a list of listlib_build
};

// Records the renderer lends for one shaded point, [render], read-only to the module, which
// reads the named fields only.

struct ShadedObjectRecord {
    TM_GAP(0x00, 0x5c);
    uint32_t object_reference;  // +0x5c zero: no light's object flags apply
    TM_GAP(0x60, 0xf0);
    int32_t object_index;  // +0xf0 index into every light's object flags
};

struct RenderContext {
    TM_GAP(0x00, 0x48);
    float p[3];   // +0x48 the surface point being shaded
    float nv[3];  // +0x54 the surface normal at p, used at its stored length
    TM_GAP(0x60, 0x130);
    ShadedObjectRecord* shaded_object;  // +0x130 or null
};

struct ShadingInput {
    TM_GAP(0x00, 0x2c);
    RenderContext* context;  // +0x2c null when the host shades without one: the colour is white
};

// Bit values of a light's per-object flag byte.
enum : uint8_t {
    TM_OBJECT_FLAG_NOT_LIT = 1,  // the light does not light that object
    TM_OBJECT_FLAG_OTHER = 2,    // meaningless to this shader
};

struct LightRecord {
    TM_GAP(0x00, 0x0c);
    SceneObjectHandle scene_object;  // +0x0c what the light list is asked about
    TM_GAP(0x10, 0xe8);
    const uint8_t* object_flags;  // +0xe8 one flag byte per object index, or null
    int32_t object_flag_count;    // +0xec bytes in object_flags; indices outside are not barred
};

// The host's render set-up record, lent to prepare_render; its one word read goes to listlib_build.
struct RenderSetup {
    TM_GAP(0x00, 0x20);
    int32_t list_build_word;  // +0x20
};

// The registration record: 72 words handed to general_register_plugin, which copies it. Through it
// the host drives every node of the shader. A node is the module's object; the host creates it
// with `create`, calls its operations through the dispatch entries with the node first (in
// ECX), and ends it with `free_node`. Entries that take words the module does not read still
// pop them. Each operation's contract stands at its field.

typedef void*(TM_CDECL* ShaderFactory)(void);
typedef void(TM_CDECL* ShaderFreeNode)(void* node);
// Operations with fixed answers: the words are popped, never read.
typedef int32_t(TM_THISCALL* DispatchEntry1)(void* node, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry2)(void* node, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry3)(void* node, int32_t, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry4)(void* node, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(TM_THISCALL* DispatchEntry5)(void* node, int32_t, int32_t, int32_t, int32_t,
                                             int32_t);
typedef void(TM_THISCALL* DispatchEntryVoid1)(void* node, int32_t);
typedef void(TM_THISCALL* DispatchEntryVoid2)(void* node, int32_t, int32_t);
typedef int32_t(TM_THISCALL* InitDefaultsEntry)(void* node, HostNodeHandle host_node);
typedef int32_t(TM_THISCALL* IsParameterEnabledEntry)(void* node, HostNodeHandle host_node,
                                                      DescriptionIdHandle description_id, int32_t,
                                                      int32_t, int32_t);
typedef int32_t(TM_THISCALL* PrepareRenderEntry)(void* node, HostNodeHandle host_node,
                                                 RenderSetup* setup);
typedef void(TM_THISCALL* ReleaseRenderEntry)(void* node, int32_t);
typedef float*(TM_THISCALL* ComputeOutputEntry)(void* node, float* colour_out, int32_t,
                                                ShadingInput* input);

struct ShaderRegistration {
    int32_t info;              // +0   the plug-in's info word (0 for this shader)
    ShaderFreeNode free_node;  // +4   [main] ends a node of create and frees it; null is ignored
    int32_t zero_8[6];         // +8
    int32_t word6;             // +32  the registration's sixth word (0), for the host
    int32_t zero_36;           // +36
    int32_t word7;             // +40  the registration's seventh word (0), for the host
    int32_t zero_44;           // +44
    int32_t extra;             // +48  always 0
    ShaderFactory create;      // +52  [main] a new node owned by the host until free_node, or null
    InitDefaultsEntry init_defaults;  // +56 slot 1 [main] writes every default; answers 1
    DispatchEntryVoid1 node_hook_2;   // +60 slot 2 [main] does nothing
    DispatchEntry3 node_hook_3;       // +64 slot 3 [main] answers 1
    DispatchEntry2 node_hook_4;       // +68 slot 4 [main] answers 1
    DispatchEntry5 node_hook_6;       // +72 slot 6 [main] answers 1
    DispatchEntry3 node_hook_5;       // +76 slot 5 [main] answers 1
    DispatchEntry1 node_hook_8;       // +80 slot 8 [main] answers 0
    DispatchEntryVoid2 node_hook_7;   // +84 slot 7 [main] does nothing
    DispatchEntry3 node_hook_10;      // +88 slot 10 [main] answers 0
    DispatchEntry4 node_hook_11;      // +92 slot 11 [main] answers 1
    DispatchEntry4 node_hook_13;      // +96 slot 13 [main] answers 1
    // +100 slot 12 [main] 1: offer the parameter description_id names, 0: not; 3 words unread
    IsParameterEnabledEntry is_parameter_enabled;
    DispatchEntry3 node_hook_9;     // +104 slot 9 [main] answers 0
    int32_t zero_108[13];           // +108
    DispatchEntry1 shader_hook_15;  // +160 slot 15 [main] answers 0
    // +164 slot 16 [main] reads the parameters from host_node's container and builds the
    // render's light list; answers 0. Before the first compute_output of a render.
    PrepareRenderEntry prepare_render;
    ReleaseRenderEntry release_render;  // +168 slot 17 [main] ends the render's list; word unread
    DispatchEntry5 shader_hook_14;      // +172 slot 14 [main] answers 1
    // +176 slot 18 [render] the colour of one shaded point, written to colour_out[0..2]; answers
    // colour_out. From every render thread at once on one node; the middle word is not read.
    ComputeOutputEntry compute_output;
    int32_t zero_180[27];  // +180
};

// The module's one export, c4d_main: (message, a, b, c) as the messages above say, [load].
typedef int32_t(TM_CDECL* ModuleEntry)(int32_t message, void* a, void* b, void* c);

#include "host_api_layout.h"

#endif
