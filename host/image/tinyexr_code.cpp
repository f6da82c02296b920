// The code of tinyexr, compiled once for the OpenEXR writer, over the system's zlib. Single
// threaded: a render has already spread its work over the threads before the image is written.
#define TINYEXR_IMPLEMENTATION
#define TINYEXR_USE_MINIZ 0
#define TINYEXR_USE_THREAD 0
#define TINYEXR_USE_OPENMP 0
#include <zlib.h>

#include <tinyexr.h>
