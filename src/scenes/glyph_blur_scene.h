// The glyph blur scene (orders 5 and 6): a spinning wire-frame glyph seen only through the radial
// blur, under translucent rings, turning ring sectors and two pictures that jump on the beat.
#pragma once
#include "shell/scene.h"

class GlyphBlurScene : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};

// The beat displacement of the two pictures after the last render; read-only, for tests.
float glyphBlurBounce();
