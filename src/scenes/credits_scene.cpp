// Placeholder until this scene is written: it draws nothing.
#include "scenes/credits_scene.h"

void CreditsScene::render(float) {}
void CreditsScene::load() {}
void CreditsScene::enter() {}
void CreditsScene::unload() {}
