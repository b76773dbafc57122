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

// A frame of the file, or (during playback) a blend from frame toward next:
// positions mixed linearly, normals mixed and made unit length again.
struct FramePose {
    int32_t frame = 0;
    int32_t next = -1;  // the frame blended toward; -1 for frame exactly
    float t = 0;        // 0 is frame, 1 would be next
    FramePose(int32_t exact = 0) : frame(exact) {}  // NOLINT: a frame number is a pose
    FramePose(int32_t from, int32_t to, float blend) : frame(from), next(to), t(blend) {}
};

// Nothing is drawn for a frame outside the model's range or a model without
// triangles; a blend toward a frame the model lacks draws frame exactly.
void DrawPlain(const Md2Model& model, FramePose pose);        // positions
void DrawTextured(const Md2Model& model, FramePose pose);     // texture coordinates, positions
void DrawLit(const Md2Model& model, FramePose pose);          // normals, positions
void DrawLitTextured(const Md2Model& model, FramePose pose);  // normals, texture coordinates, positions

// Builds the vertex arrays of every frame now instead of on first use.
void PrepareModelArrays(const Md2Model& model);

void BindSkinTexture(uint32_t texture);
// Filters of the bound texture for mode 0..4 (Nearest, Linear, Near-MIP,
// Bi-MIP, Tri-MIP); any other mode sets nothing.
void SetTextureFilter(int32_t mode);
// Builds the mipmaps of image.texture from its pixels (rows packed without gaps).
void UploadSkinTexture(const SkinImage& image);

}  // namespace meshara
