#pragma once
// One model as opened: its geometry, frame by frame, and its names. Nothing
// of how it is shown (maps, lights, switches: session/document.h) or drawn
// (GL arrays: render/) lives here, so exports and the command line use the
// same record the viewer does.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/md2_file.h"
#include "io/result.h"
#include "model/animations.h"
#include "model/geometry.h"

namespace meshara {

struct Md2Model {
    std::string name;  // file name part of the path it came from
    int32_t vertexCount = 0;
    int32_t skinWidth = 0, skinHeight = 0;  // as the header gives it (Md2File)
    std::vector<std::string> skinNames;
    std::vector<Md2Triangle> triangles;
    std::vector<Md2Frame> frames;
    std::vector<Md2Animation> animations;  // every frame in one, found when the model is made
    int32_t cornersWithoutTexCoord = 0;     // corners naming a texture coordinate past the table; they use (0, 0)

    int32_t FrameCount() const { return static_cast<int32_t>(frames.size()); }
    int32_t TriangleCount() const { return static_cast<int32_t>(triangles.size()); }
    bool HasFrame(int32_t frame) const { return frame >= 0 && frame < FrameCount(); }
};

// A model of a parsed file, named name; its animations are found from the frame names.
Md2Model MakeMd2Model(Md2File file, std::string name);

// Parses bytes held in memory into a model named name.
Result<std::shared_ptr<Md2Model>> ParseMd2Model(std::span<const uint8_t> bytes, std::string name);

// Reads the file at path (only as far as its tables reach); the model is
// named after the file.
Result<std::shared_ptr<Md2Model>> LoadMd2Model(const std::string& path);

// A stored vertex decoded in the model's axes: each step times the frame's
// scale plus its translation, in double precision, with y negated.
inline Vec3d VertexPosition(const Md2Frame& frame, size_t vertex) {
    const Md2PackedVertex& e = frame.vertices[vertex];
    return {e.x * double{frame.scale[0]} + frame.translate[0], -(e.y * double{frame.scale[1]} + frame.translate[1]),
            e.z * double{frame.scale[2]} + frame.translate[2]};
}

// Every vertex of a frame, decoded; the frame must be in range.
std::vector<Vec3d> FramePositions(const Md2Model& model, int32_t frame);

// The box around the positions of frames first..last (clamped to the
// model's frames), in the model's axes; empty when no frame is in range.
Bounds FrameBounds(const Md2Model& model, int32_t first, int32_t last);

// Whether the triangle on the frame's vertices a, b and c (each in range)
// has an area there.
bool TriangleHasArea(const Md2Frame& frame, uint16_t a, uint16_t b, uint16_t c);

// Whether some triangle of the frame has an area: a frame where none has
// draws nothing.
bool FrameDrawsSomething(const Md2Model& model, int32_t frame);

// Which vertices some triangle uses, by index.
std::vector<bool> UsedVertices(const Md2Model& model);

// The same over the vertices some triangle uses: what is drawn, and so what
// a view is fitted to (a model's stray vertices may lie far away).
Bounds DrawnBounds(const Md2Model& model, int32_t first, int32_t last);

// The animation holding frame, or null when the frame is out of range.
const Md2Animation* AnimationHolding(const Md2Model& model, int32_t frame);

}  // namespace meshara
