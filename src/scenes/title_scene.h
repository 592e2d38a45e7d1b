#pragma once
#include "shell/scene.h"

class TitleScene : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};
