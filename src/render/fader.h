// One translucent quad of a single colour over the whole window: white fades and beat flashes.
#pragma once
#include "shell/scene.h"

class Fader : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;

    void setColor(float red, float green, float blue, float alpha);

    float red;
    float green;
    float blue;
    float alpha;
};

extern Fader* fader;
