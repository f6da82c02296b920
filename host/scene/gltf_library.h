// The glTF library's declarations, as every file of this layer that uses them must see them: the
// same options everywhere, so that its classes have one layout in every object file. Images are
// never decoded (nothing here renders a texture), so the library is built without its image
// codecs and never opens an image file.
#ifndef TMHOST_GLTF_LIBRARY_H
#define TMHOST_GLTF_LIBRARY_H

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE

#include <tiny_gltf.h>

#endif
