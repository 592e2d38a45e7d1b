// Placeholder until this scene is written: it draws nothing.
#include "scenes/plasma_scene.h"

void PlasmaScene::render(float) {}
void PlasmaScene::load() {}
void PlasmaScene::enter() {}
void PlasmaScene::unload() {}
