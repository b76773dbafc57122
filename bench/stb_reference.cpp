// stb_image, built here with our own compiler flags, as the reference the
// skin decoder is measured against.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#include <stb/stb_image.h>
