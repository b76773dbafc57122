#pragma once
// Sending a model's triangles and skins to GL. Every routine needs the view's
// context current. Positions and normals go out as (x, z, y): the model's z
// axis points up on the screen.

#include <cstdint>

#include "model/md2_model.h"
#include "skins/skin_image.h"

namespace meshara {

// Immediate mode is the reference, one glBegin per triangle; vertex arrays
// send exactly the same corners, built once per model and frame.
enum class SubmissionPath { Immediate, VertexArrays };
void SetSubmissionPath(SubmissionPath path);
SubmissionPath GetSubmissionPath();

// Nothing is drawn for a frame outside the model's range or a model without triangles.
void DrawPlain(const Md2Model& model, int32_t frame);        // positions
void DrawTextured(const Md2Model& model, int32_t frame);     // texture coordinates, positions
void DrawLit(const Md2Model& model, int32_t frame);          // normals, positions
void DrawLitTextured(const Md2Model& model, int32_t frame);  // normals, texture coordinates, positions

// Builds the vertex arrays of every frame now instead of on first use.
void PrepareModelArrays(const Md2Model& model);

void BindSkinTexture(uint32_t texture);
// Filters of the bound texture for mode 0..4 (Nearest, Linear, Near-MIP,
// Bi-MIP, Tri-MIP); any other mode sets nothing.
void SetTextureFilter(int32_t mode);
// Builds the mipmaps of image.texture from its pixels (rows packed without gaps).
void UploadSkinTexture(const SkinImage& image);

}  // namespace meshara
