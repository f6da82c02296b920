# Writes the header that names tonemix-host's version: the number in VERSION at the top of the
# source tree, and the commit the tree was at when it was built ("1.0+14c54eb"), or the number
# alone where there is no git or no repository. Run at every build (host/commands/CMakeLists.txt);
# the header is rewritten only when its text changes, so a build of the same commit compiles
# nothing again.
#
#     cmake -DSOURCE=<source tree> -DOUTPUT=<header> -P program_version.cmake
file(STRINGS "${SOURCE}/VERSION" number LIMIT_COUNT 1)
string(STRIP "${number}" number)
if(NOT number MATCHES "^[0-9]+(\\.[0-9]+)+$")
  message(FATAL_ERROR "${SOURCE}/VERSION: '${number}' is not a version number such as 1.0")
endif()
set(version "${number}")
find_program(git_program git)
if(git_program AND EXISTS "${SOURCE}/.git")
  execute_process(COMMAND "${git_program}" -C "${SOURCE}" rev-parse --short=10 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND commit MATCHES "^[0-9a-f]+$")
    set(version "${number}+${commit}")
  endif()
endif()
set(text "// Made by cmake/program_version.cmake at build time.\n#define TONEMIX_PROGRAM_VERSION \"${version}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
