// Placeholder until this scene is written: it draws nothing.
#include "scenes/ring_scene.h"

void RingScene::render(float) {}
void RingScene::load() {}
void RingScene::enter() {}
void RingScene::unload() {}
