# Faulty builds of the module, for the validator's own tests: each proves that one of the
# validator's checks catches one known fault. A faulty module is linked from the real module's
# objects with one of them left out and substitute sources from tests/faulty_modules/ in its place,
# into ${CMAKE_BINARY_DIR}/faulty/<name>/Tonemix.cdl with its res/ folder beside it. The module's
# own sources hold no trace of the faults, and the real module and its objects are not touched.
#
# TONEMIX_FAULTY_MODULE_TARGETS lists the targets made, for the tests to depend on.

set(TONEMIX_FAULTY_MODULE_FOLDER ${CMAKE_BINARY_DIR}/faulty)
set(TONEMIX_FAULTY_MODULE_TARGETS "")
set(TONEMIX_FAULTY_SOURCES ${CMAKE_SOURCE_DIR}/tests/faulty_modules)

# tonemix_faulty_module(NAME [REPLACES SOURCE] SOURCES file... [COMPILE_OPTIONS option...]): the
# module with the module's SOURCE (a file name, such as plugin_registry.cpp) replaced by the files
# of tests/faulty_modules/ named in SOURCES, or, without REPLACES, with them added. COMPILE_OPTIONS
# come after the real module's own.
function(tonemix_faulty_module name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "REPLACES" "SOURCES;COMPILE_OPTIONS")
  set(target tonemix_faulty_${name})
  set(folder ${TONEMIX_FAULTY_MODULE_FOLDER}/${name})
  if(arg_REPLACES)
    string(REPLACE "." "\\." replaced ${arg_REPLACES})
    set(objects "$<FILTER:$<TARGET_OBJECTS:tonemix_module_objects>,EXCLUDE,/${replaced}\\.o>")
  else()
    set(objects "$<TARGET_OBJECTS:tonemix_module_objects>")
  endif()
  list(TRANSFORM arg_SOURCES PREPEND ${TONEMIX_FAULTY_SOURCES}/)
  if(WIN32)
    add_library(${target} MODULE ${objects} ${arg_SOURCES}
                ${CMAKE_SOURCE_DIR}/resource/_api/dll_entry.cpp ${CMAKE_SOURCE_DIR}/cmake/tonemix.def)
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  else()
    add_library(${target} MODULE ${objects} ${arg_SOURCES})
    target_link_options(${target} PRIVATE -Wl,-z,defs
                        -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/tonemix.map)
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/tonemix.map)
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resource/_api
                             ${CMAKE_SOURCE_DIR}/plugins/tonemix/source/shader)
  target_link_libraries(${target} PRIVATE tonemix_boundary)
  target_compile_options(${target} PRIVATE ${TONEMIX_MODULE_COMPILE_OPTIONS} ${arg_COMPILE_OPTIONS})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME "Tonemix" SUFFIX ".cdl"
    LIBRARY_OUTPUT_DIRECTORY ${folder}
    RUNTIME_OUTPUT_DIRECTORY ${folder})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${folder}/res
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/plugins/tonemix/res
            ${folder}/res
    VERBATIM)
  set(TONEMIX_FAULTY_MODULE_TARGETS ${TONEMIX_FAULTY_MODULE_TARGETS} ${target} PARENT_SCOPE)
endfunction()

# Faults in what the module hands the host at registration: its register_plugin is replaced.
tonemix_faulty_module(string_never_freed
  REPLACES plugin_registry.cpp SOURCES string_never_freed.cpp)
tonemix_faulty_module(null_context_dereferenced
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp null_context_dereferenced.cpp)
tonemix_faulty_module(list_handle_never_released
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp list_handle_never_released.cpp)
# The loop's count - 1 must wrap at INT32_MIN as the machine does, and not be assumed away as an
# overflow that cannot happen: so the module asks for the lights beyond the count.
tonemix_faulty_module(overflowing_light_loop
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp overflowing_light_loop.cpp
  COMPILE_OPTIONS -fwrapv)
tonemix_faulty_module(thiscall_pops_wrong
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp thiscall_pops_wrong.cpp)
# A colour written where the host does not read it, answered as if it were the host's place.
tonemix_faulty_module(answers_another_place
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp answers_another_place.cpp)
tonemix_faulty_module(crashes_while_shading
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp crashing_output.cpp
  crashes_while_shading.cpp)
# A node whose entries answer what the boundary does not allow, the entry told by the environment
# (TONEMIX_TOLD_FAULT): for the groups' checks of those answers, run in the validator's own tests.
tonemix_faulty_module(misanswers_as_told
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp misanswers_as_told.cpp)
# A fault in the shading code itself: tonemix_output.cpp is compiled again with another stream.
tonemix_faulty_module(stream_shared_without_care
  REPLACES tonemix_output.cpp SOURCES stream_shared_without_care.cpp)
# A module that crashes before c4d_main can be found: the commands must say so in one line.
tonemix_faulty_module(crashes_while_loading SOURCES crashes_while_loading.cpp)
# What a module does to the process that loads it, beyond the host's tables: each act is made in
# the module's start (its plug-in registration), or as it loads. Fork has no Windows form, and a
# Windows file has no permission bits for a umask to take away.
if(NOT WIN32)
  tonemix_faulty_module(forks_at_start
    REPLACES plugin_registry.cpp SOURCES acting_registry.cpp forks_at_start.cpp)
  tonemix_faulty_module(forks_while_loading SOURCES forks_while_loading.cpp)
  tonemix_faulty_module(handles_child_signal_and_forks
    REPLACES plugin_registry.cpp SOURCES acting_registry.cpp handles_child_signal_and_forks.cpp)
  tonemix_faulty_module(sets_umask_at_start
    REPLACES plugin_registry.cpp SOURCES acting_registry.cpp sets_umask_at_start.cpp)
endif()
tonemix_faulty_module(leaves_thread_running
  REPLACES plugin_registry.cpp SOURCES acting_registry.cpp leaves_thread_running.cpp)
if(NOT WIN32)
  target_link_libraries(tonemix_faulty_leaves_thread_running PRIVATE pthread)
endif()
tonemix_faulty_module(changes_folder_at_start
  REPLACES plugin_registry.cpp SOURCES acting_registry.cpp changes_folder_at_start.cpp)
tonemix_faulty_module(registers_twice REPLACES plugin_registry.cpp SOURCES registers_twice.cpp)
tonemix_faulty_module(registers_under_another_id
  REPLACES plugin_registry.cpp SOURCES registers_under_another_id.cpp)
# A module whose unload never comes back: validate must call it a hang, and name the unload. On
# Windows validate loads a module first in its own process, where such a module would hold it.
if(NOT WIN32)
  tonemix_faulty_module(hangs_while_unloading SOURCES hangs_while_unloading.cpp)
endif()
# Modules that end the process otherwise than by a crash, or share the host's streams and
# handlers: the commands say so in one line, validate names the ending.
tonemix_faulty_module(exits_while_shading
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp exits_while_shading.cpp)
# _exit has no Windows form the host can meet; nor has the order of exit's work.
if(NOT WIN32)
  tonemix_faulty_module(exits_while_others_shade
    REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp exits_while_others_shade.cpp)
  tonemix_faulty_module(exits_after_its_end
    REPLACES plugin_registry.cpp SOURCES acting_registry.cpp exits_after_its_end.cpp)
  target_link_libraries(tonemix_faulty_exits_after_its_end PRIVATE pthread)
  tonemix_faulty_module(exits_at_once_while_shading
    REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp exits_at_once_while_shading.cpp)
endif()
tonemix_faulty_module(aborts_while_starting
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp aborts_while_starting.cpp)
tonemix_faulty_module(throws_while_shading
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp throws_while_shading.cpp
  COMPILE_OPTIONS -fexceptions)
tonemix_faulty_module(overflows_stack_while_shading
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp overflows_stack_while_shading.cpp)
tonemix_faulty_module(own_crash_handler
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp crashing_output.cpp
  own_crash_handler.cpp)
tonemix_faulty_module(ignores_crash_signal
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp crashing_output.cpp
  ignores_crash_signal.cpp)
tonemix_faulty_module(prints_on_standard_output
  REPLACES plugin_registry.cpp SOURCES changed_record_registry.cpp prints_on_standard_output.cpp)
tonemix_faulty_module(exits_while_loading SOURCES exits_while_loading.cpp)
tonemix_faulty_module(exits_while_unloading SOURCES exits_while_unloading.cpp)
