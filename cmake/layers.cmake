# Layers that the build enforces. A layer's headers are included as "host/core/name.h"; the path
# that finds them is a folder of the build tree holding nothing but a link to the layer's own
# folder. A target therefore sees the headers of the layers it links and of no other, so an
# include that crosses the architecture fails to compile instead of slipping through.

# tonemix_layer(TARGET FOLDER): TARGET's headers are those of FOLDER (relative to the source tree).
function(tonemix_layer target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(REMOVE ${root}/${folder})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# tonemix_boundary_headers(TARGET HEADER...): TARGET's headers are the named files alone, included
# by their bare names, so the boundary offers its contract and nothing that lies beside it.
function(tonemix_boundary_headers target)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(header ${ARGN})
    get_filename_component(name ${header} NAME)
    file(REMOVE ${root}/${name})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${header} ${root}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} INTERFACE ${root})
endfunction()
