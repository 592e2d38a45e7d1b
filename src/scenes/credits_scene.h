// The credits scene (orders 23 to 38): credits and greetings pictures over a drifting field of
// textured triangles and a turning tunnel, with jolts, flashes and the closing mask.
#pragma once
#include "render/vector4.h"
#include "shell/scene.h"

class CreditsScene : public DepthTestScene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};

// The scene's module state, for tests: the 512 tile corners and the 8 rings (only x is used) can
// be moved to put a tile or a ring next to its wrap limit.
Vector4* creditsTileField();
Vector4* creditsRingX();
float creditsRingLimit();
float creditsLastStepTime();
float creditsFinProgress();
