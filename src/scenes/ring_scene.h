#pragma once
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
    ParticleEmitter emitter;
    ParticleSystem particleSystem;
    Vector4 emitterOrigin = {0, 0, 0, 0};
};
