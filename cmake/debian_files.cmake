# tonemix_debian_file(VAR PATH PACKAGE DOC): VAR is a cache entry for a file that a Debian package
# installs (PATH by default), and configuring stops with a message naming the package when the
# file is not there, rather than with a compiler error far into the build.
function(tonemix_debian_file var path package doc)
  set(${var} ${path} CACHE FILEPATH "${doc} (${package})")
  if(NOT EXISTS ${${var}})
    message(FATAL_ERROR "${${var}} not found (${package})")
  endif()
endfunction()

# tonemix_header_folder(VAR HEADERS LINK): VAR is a folder of the build tree that holds nothing but
# LINK, a link to the header folder HEADERS. Header-only libraries from Debian are reached so: the
# MinGW build must not search the build machine's /usr/include, whose glibc headers would shadow
# MinGW's own.
function(tonemix_header_folder var headers link)
  set(folder ${CMAKE_BINARY_DIR}/${link}-include)
  file(MAKE_DIRECTORY ${folder})
  file(REMOVE ${folder}/${link})
  file(CREATE_LINK ${headers} ${folder}/${link} SYMBOLIC)
  set(${var} ${folder} PARENT_SCOPE)
endfunction()
