// The ring scene (orders 7 to 14): a twisting ring of sixteen box sections seen through the radial
// blur, a background picture, a sliding logo with a smoke stream, and the white flashes.
#pragma once
#include "render/camera.h"
#include "render/particles.h"
#include "render/vector4.h"
#include "shell/scene.h"

class RingScene : public DepthTestScene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;

    Vector4 sections[16][4];
    ParticleEmitter emitter;  // declared before the system, so the system is destroyed first
    ParticleSystem particleSystem;
    Vector4 emitterOrigin = {0, 0, 0, 0};
};

// The logo's slide position for a row: in from the right over rows 0..31, out to the left after 96.
float ringSlideX(int row);

// Read-only views of the scene's module state after the last render, for tests.
const Camera& ringCamera();
float ringThirdFrequency();
float ringLogoPulse();
