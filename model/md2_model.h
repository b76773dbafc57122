#pragma once
// The model document: one record per opened MD2 file, and the list of them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skins/skin_image.h"

namespace meshara {

struct LightRecord;

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

struct Md2Triangle {
    // Corners in the record's order, which is the file's corners 0, 2, 1:
    // the winding is reversed at load time and every consumer relies on it.
    uint16_t vertex[3] = {0, 0, 0};        // indices into each frame's vertices and normals
    double texCoord[3][2] = {{0, 0}, {0, 0}, {0, 0}};  // (s, t) already divided by the header's skin size
};

struct Md2Frame {
    std::string name;             // as the file names it ("stand01"), up to 16 bytes
    std::vector<Vec3d> vertices;  // decoded positions, vertexCount of them
    // Unit normals, (0, 0, 0) where no face gave one. Made from the positions
    // the first time they are asked for (FrameNormals): computing every
    // frame at load would cost frames x triangles, which a small file can
    // make take minutes. Empty until then.
    mutable std::vector<Vec3d> normals;
    mutable bool normalsReady = false;
};

// A model's reference to a light of the global list; the model does not own it.
struct ModelLightEntry {
    LightRecord* light = nullptr;
    int32_t enabled = 1;  // 1 = this light lights this model
};

// Whatever the render layer derives from a model's geometry and keeps with
// it (vertex arrays); it goes when the model goes. The core never looks inside.
struct ModelRenderCache {
    virtual ~ModelRenderCache() = default;
};

struct Md2Model {
    std::string name;  // file name part of the path it came from
    std::string path;  // the path it was loaded from; empty when made from bytes
    // The pictures the file names as its skins (often a path inside a game's
    // folders, "models/monsters/x/skin.pcx"); only a hint where to look.
    std::vector<std::string> skinNames;
    // Released in this order: texture, specularity, diffusion, glow.
    std::unique_ptr<SkinImage> textureMap;
    std::unique_ptr<SkinImage> specularityMap;
    std::unique_ptr<SkinImage> diffusionMap;
    std::unique_ptr<SkinImage> glowMap;
    std::vector<ModelLightEntry> lights;
    int32_t visible = 1;
    int32_t textureMapOn = 1;
    int32_t specularityMapOn = 1;
    int32_t diffusionMapOn = 1;
    int32_t glowMapOn = 1;
    int32_t environmentMapped = 0;
    int32_t triangleCount = 0;
    int32_t vertexCount = 0;
    int32_t currentLight = -1;  // index into lights, -1 = none
    std::vector<Md2Triangle> triangles;
    std::vector<Md2Frame> frames;
    // Geometry never changes after loading, so the cache never goes stale.
    mutable std::unique_ptr<ModelRenderCache> renderCache;

    Md2Model() = default;
    Md2Model(const Md2Model&) = delete;
    Md2Model& operator=(const Md2Model&) = delete;
    ~Md2Model();

    int32_t FrameCount() const { return static_cast<int32_t>(frames.size()); }
};

struct ModelList {
    std::vector<std::unique_ptr<Md2Model>> models;  // in the order they were opened
    int32_t currentModel = -1;                       // -1 = none
    int32_t currentFrame = 0;                        // shared by all models

    int32_t Count() const { return static_cast<int32_t>(models.size()); }
    // The model at currentModel when that index is valid, otherwise null.
    Md2Model* CurrentModel() const;
};

// Largest frame count among the models, 0 when there are none.
int32_t MaxFrameCount(const ModelList& list);

// Frees everything a model owns, maps in the order texture, specularity,
// diffusion, glow (each deleting its texture through the release hook).
// The lights its entries refer to stay in the global list.
void ReleaseModel(std::unique_ptr<Md2Model> model);

}  // namespace meshara
