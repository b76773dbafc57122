#include "tests/render_support.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "render/gl_view.h"
#include "session/scene_setup.h"
#include "tools/writers/md2_writer.h"

namespace meshara::testing {

void RenderTest::SetUp() { Resize(kSize, kSize); }

void RenderTest::Resize(int width, int height) {
    renderer_.reset();  // its textures go while its context is still there
    std::string why;
    context_ = OffscreenContext::Create(width, height, why);
    if (!context_) {
        if (std::getenv("MESHARA_REQUIRE_GL")) FAIL() << "offscreen GL is required here but failed: " << why;
        GTEST_SKIP() << "no offscreen GL: " << why;
    }
    InitGLState(width, height);
    ApplyViewportAndProjection(width, height);
    renderer_ = std::make_unique<Renderer>();
}

void RenderTest::TearDown() {
    renderer_.reset();
    context_.reset();
}

std::vector<uint8_t> RenderTest::Render() {
    renderer_->Render(SceneOf(doc_, view_), nullptr);
    return context_->ReadPixels();
}

Rgb RenderTest::At(const std::vector<uint8_t>& picture, int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * context_->Width() + static_cast<size_t>(x)) * 3;
    return {picture[i], picture[i + 1], picture[i + 2]};
}

ModelSlot& RenderTest::Add(std::shared_ptr<const Md2Model> model) { return AddModel(doc_.models, std::move(model)); }

LightRecord& RenderTest::NewLight(ModelSlot& slot, bool specular) {
    auto light = std::make_unique<LightRecord>();
    if (!specular) std::fill(light->specular, light->specular + 3, 0.0f);
    return AddLightTo(doc_, slot, std::move(light));
}

std::shared_ptr<Md2Model> ModelFromTriangles(const std::vector<std::vector<Triangle>>& frames) {
    fixtures::Md2Source s;
    s.skinWidth = 1024;
    s.skinHeight = 1024;
    const auto& first = frames.front();
    for (size_t t = 0; t < first.size(); ++t) {
        // Every corner is its own vertex, texture coordinate and all.
        // Record corners 0, 1, 2 come from file corners 0, 2, 1.
        const uint16_t base = static_cast<uint16_t>(3 * t);
        s.triangles.push_back({{base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 1)},
                               {base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 1)}});
        for (int c = 0; c < 3; ++c)
            s.texCoords.push_back({static_cast<int16_t>(std::lround(first[t].st[c][0] * 1024)),
                                   static_cast<int16_t>(std::lround(first[t].st[c][1] * 1024))});
    }
    for (const auto& triangles : frames) {
        // GL (x, y, z) is the model's (x, z, y); the file stores y negated.
        std::vector<std::array<float, 3>> positions;
        for (const Triangle& t : triangles)
            for (const auto& c : t.corners) positions.push_back({c[0], -c[2], c[1]});
        s.frames.push_back(fixtures::QuantiseFrame(positions, "f"));
    }
    auto bytes = fixtures::WriteMd2(s);
    auto r = ParseMd2Model(bytes, "test.md2");
    return r ? r.Take() : nullptr;
}

std::vector<Triangle> Square(float cx, float cy, float half, bool facingViewer) {
    const std::array<float, 3> a{cx - half, cy - half, 0}, b{cx + half, cy - half, 0}, c{cx + half, cy + half, 0},
        d{cx - half, cy + half, 0};
    std::vector<Triangle> out = {{{a, b, c}, {{{0, 0}, {1, 0}, {1, 1}}}}, {{a, c, d}, {{{0, 0}, {1, 1}, {0, 1}}}}};
    if (!facingViewer)
        for (Triangle& t : out) {
            std::swap(t.corners[1], t.corners[2]);
            std::swap(t.st[1], t.st[2]);
        }
    return out;
}

std::vector<Triangle> Sphere(float radius, int rings, int segments) {
    const double pi = 3.14159265358979323846;
    auto point = [&](int i, int j) {
        const double theta = pi * i / rings, phi = 2 * pi * j / segments;
        return std::array<float, 3>{static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                                    static_cast<float>(radius * std::cos(theta)),
                                    static_cast<float>(radius * std::sin(theta) * std::sin(phi))};
    };
    auto st = [&](int i, int j) {
        return std::array<float, 2>{static_cast<float>(j) / segments, static_cast<float>(i) / rings};
    };
    std::vector<Triangle> out;
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            // Outward and counter-clockwise: (i, j), (i + 1, j), (i + 1, j + 1) seen from outside.
            if (i + 1 < rings) out.push_back({{point(i, j), point(i + 1, j + 1), point(i + 1, j)}, {st(i, j), st(i + 1, j + 1), st(i + 1, j)}});
            if (i > 0) out.push_back({{point(i, j), point(i, j + 1), point(i + 1, j + 1)}, {st(i, j), st(i, j + 1), st(i + 1, j + 1)}});
        }
    return out;
}

std::shared_ptr<const SkinImage> CheckerSkin(Rgb a, Rgb b, int width, int height, int cell) {
    auto skin = std::make_shared<SkinImage>();
    skin->width = width;
    skin->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb& c = ((x / cell + y / cell) % 2) ? b : a;
            skin->pixels.insert(skin->pixels.end(), c.begin(), c.end());
        }
    return skin;
}

std::shared_ptr<const SkinImage> SolidSkin(Rgb colour, int width, int height) {
    return CheckerSkin(colour, colour, width, height, 1);
}

}  // namespace meshara::testing
