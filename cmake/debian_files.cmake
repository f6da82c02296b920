# tonemix_debian_file(VAR PATH PACKAGE DOC): VAR is a cache entry for a file that a Debian package
# installs (PATH by default), and configuring stops with a message naming the package when the
# file is not there, rather than with a compiler error far into the build.
function(tonemix_debian_file var path package doc)
  set(${var} ${path} CACHE FILEPATH "${doc} (${package})")
  if(NOT EXISTS ${${var}})
    message(FATAL_ERROR "${${var}} not found (${package})")
  endif()
endfunction()
