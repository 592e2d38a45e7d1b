#pragma once
#include "shell/scene.h"

class GlyphBlurScene : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};
