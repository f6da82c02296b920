// The code of stb_truetype, compiled once for the lettering. The only font it reads is the one
// built into the program.
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>
