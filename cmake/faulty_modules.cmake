# Faulty builds of the module, for the validator's own tests: each proves that one of the
# validator's checks catches one known fault. A faulty module is Tonemix.cdl built from the real
# module's own source list and options, with one fault point of resource/_api/fault_points.h
# switched on, into ${CMAKE_BINARY_DIR}/faulty/<name>/Tonemix.cdl with its res/ folder beside it.
# The real module and its objects are not touched: they never see TONEMIX_FAULTY_MODULE.
#
# TONEMIX_FAULTY_MODULE_TARGETS lists the targets made, for the tests to depend on.

get_target_property(TONEMIX_MODULE_SOURCES tonemix_module_objects SOURCES)
set(TONEMIX_FAULTY_MODULE_FOLDER ${CMAKE_BINARY_DIR}/faulty)
set(TONEMIX_FAULTY_MODULE_TARGETS "")

# tonemix_faulty_module(NAME [COMPILE_OPTIONS option...]): the module with fault NAME, whose
# number fault_points.h defines as TONEMIX_FAULT_<NAME>. COMPILE_OPTIONS come after the real
# module's own options.
function(tonemix_faulty_module name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "COMPILE_OPTIONS")
  set(target tonemix_faulty_${name})
  set(folder ${TONEMIX_FAULTY_MODULE_FOLDER}/${name})
  if(WIN32)
    add_library(${target} MODULE ${TONEMIX_MODULE_SOURCES}
                ${CMAKE_SOURCE_DIR}/resource/_api/dll_entry.cpp ${CMAKE_SOURCE_DIR}/cmake/tonemix.def)
  else()
    add_library(${target} MODULE ${TONEMIX_MODULE_SOURCES})
    target_link_options(${target} PRIVATE -Wl,-z,defs
                        -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/tonemix.map)
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/tonemix.map)
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resource/_api
                             ${CMAKE_SOURCE_DIR}/plugins/tonemix/source/shader)
  target_link_libraries(${target} PRIVATE tonemix_boundary)
  target_compile_options(${target} PRIVATE ${TONEMIX_MODULE_COMPILE_OPTIONS} ${arg_COMPILE_OPTIONS})
  target_compile_definitions(${target} PRIVATE TONEMIX_FAULTY_MODULE=TONEMIX_FAULT_${name})
  # One translation unit each: six modules of sixteen files would otherwise double the compiles of
  # a build, for modules that only the validator's tests load.
  set_target_properties(${target} PROPERTIES
    UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0
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

tonemix_faulty_module(string_never_freed)
tonemix_faulty_module(null_context_dereferenced)
tonemix_faulty_module(list_handle_never_released)
# The loop's count - 1 must wrap at INT32_MIN as the machine does, and not be assumed away as an
# overflow that cannot happen: so the module asks for the lights beyond the count.
tonemix_faulty_module(overflowing_light_loop COMPILE_OPTIONS -fwrapv)
tonemix_faulty_module(stream_shared_without_care)
tonemix_faulty_module(thiscall_pops_wrong)
