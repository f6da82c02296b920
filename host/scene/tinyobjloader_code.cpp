// The code of tinyobjloader, compiled once, in double precision (TINYOBJLOADER_USE_DOUBLE is set
// for the whole scene library, since it changes the header's types).
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>
