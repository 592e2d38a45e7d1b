// Placeholder until this scene is written: it draws nothing.
#include "scenes/title_scene.h"

void TitleScene::render(float) {}
void TitleScene::load() {}
void TitleScene::enter() {}
void TitleScene::unload() {}
