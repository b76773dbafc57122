#pragma once
// Offscreen GL for the render tests, a document drawn through the same scene
// setup as the viewer, and small models built in GL's own axes (x right, y
// up, z toward the viewer) so a test can say what faces the camera without
// thinking about the model's y/z exchange.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/md2_model.h"
#include "render/offscreen.h"
#include "render/renderer.h"
#include "session/document.h"

namespace meshara::testing {

using Rgb = std::array<uint8_t, 3>;

// A fresh context and renderer per test, with the view's start state and a
// viewport of the given size. Skips the test when no EGL display can be
// opened, unless MESHARA_REQUIRE_GL is set (scripts/test sets it): then
// that is a failure.
class RenderTest : public ::testing::Test {
protected:
    static constexpr int kSize = 64;
    void SetUp() override;
    void TearDown() override;
    // A new context of another size, with the start state.
    void Resize(int width, int height);

    // Draws the document as the viewer would and returns the picture.
    std::vector<uint8_t> Render();
    Rgb At(const std::vector<uint8_t>& picture, int x, int y) const;
    ModelSlot& Add(std::shared_ptr<const Md2Model> model);
    LightRecord& NewLight(ModelSlot& slot, bool specular = true);

    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<Renderer> renderer_;
    Document doc_;
    ViewState view_;
};

struct Triangle {
    std::array<std::array<float, 3>, 3> corners;  // GL axes; counter-clockwise seen from the front
    std::array<std::array<float, 2>, 3> st{};     // texture coordinates, 0..1
};

// Builds bytes with the MD2 writer and loads them with the real loader.
// Each frame lists the triangles' corners; all frames must have the same
// triangle count.
std::shared_ptr<Md2Model> ModelFromTriangles(const std::vector<std::vector<Triangle>>& frames);

// A square facing the viewer, centred at (cx, cy) in GL units, side 2 * half.
std::vector<Triangle> Square(float cx, float cy, float half, bool facingViewer = true);
// A sphere of the given radius, outward faces front.
std::vector<Triangle> Sphere(float radius, int rings = 16, int segments = 24);

// A picture of one colour, or a checkerboard.
std::shared_ptr<const SkinImage> SolidSkin(Rgb colour, int width = 8, int height = 8);
std::shared_ptr<const SkinImage> CheckerSkin(Rgb a, Rgb b, int width = 32, int height = 32, int cell = 4);

}  // namespace meshara::testing
