// tinygltf's code, compiled once for the whole tool. Every file that includes its
// header does so without its image decoder and without reading external images
// (TINYGLTF_NO_STB_IMAGE, TINYGLTF_NO_STB_IMAGE_WRITE, TINYGLTF_NO_EXTERNAL_IMAGE, set
// by the build for all): images are carried through, and no image decoder ever sees
// an input's bytes.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
