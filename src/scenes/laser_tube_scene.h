// The laser tube scene (orders 15 to 20): translucent purple cylinders, a disk and ten rings in a
// drifting, rolling view, a cross of laser quads along their axis, a sliding sign, white flashes.
#pragma once
#include "shell/scene.h"

class LaserTubeScene : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};

// The scene's module state after the last render; read-only, for tests.
struct LaserTubeState {
    float stepTime;
    float signX;
    float spin;
    float fade;
    float beamLength;
    float zPulse;
};
LaserTubeState laserTubeState();
