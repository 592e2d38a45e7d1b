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

// The white fade at a scene's ends: out of white over rows 0..16 of its first order, back towards
// white over rows 112..127 of its last. Sets alpha and returns true where the row is in either.
bool whiteFade(int order, int row, int firstOrder, int lastOrder, float& alpha);

// The Fader in white at alpha, with the depth test switched off around it.
void flashWhite(float alpha, float t);
