// The intro titles: a sliding background picture with a caption over it, one pair per music
// order, fading from and to white at the ends of each order. A pure function of the music position.
#pragma once
#include "shell/scene.h"

class TitleScene : public Scene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};
