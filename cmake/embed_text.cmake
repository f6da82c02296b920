# cmake -DTEXT=FILE -DSOURCE=OUT.cpp -DFUNCTION=NAME -P embed_text.cmake writes a C++ source whose
# function tmhost::NAME() answers the text of FILE, so that a program carries a page of its own
# and needs no file beside it at run time.
file(READ ${TEXT} content)
string(FIND "${content}" ")tonemix_text\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${TEXT} contains the raw string's end marker")
endif()
file(WRITE ${SOURCE}.new "// Made by cmake/embed_text.cmake from ${TEXT}.\n"
     "namespace tmhost {\nconst char* ${FUNCTION}() {\n    return R\"tonemix_text(${content})tonemix_text\";\n}\n}  // namespace tmhost\n")
file(COPY_FILE ${SOURCE}.new ${SOURCE} ONLY_IF_DIFFERENT)
file(REMOVE ${SOURCE}.new)
