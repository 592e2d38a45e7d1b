// The plasma scene (orders 21 and 22): a moving colour plasma on a grid of smooth-shaded quads,
// with white fades at both ends of every pattern.
#pragma once
#include "render/vector4.h"
#include "shell/scene.h"

class PlasmaScene : public DepthTestScene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};

// A vertex colour; the fourth value is carried along and never read.
struct PlasmaColor {
    float r, g, b, unused;
};

// Read-only views of the scene's module state, for tests; i and j from 0 to 31.
const Vector4& plasmaPoint(int i, int j);
const PlasmaColor& plasmaColor(int i, int j);
float plasmaBeatKick();
