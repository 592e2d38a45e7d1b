#pragma once
#include "shell/scene.h"

class CreditsScene : public DepthTestScene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};
