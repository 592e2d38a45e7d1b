// Placeholder until this scene is written: it draws nothing.
#include "scenes/lattice_scene.h"

void LatticeScene::render(float) {}
void LatticeScene::load() {}
void LatticeScene::enter() {}
void LatticeScene::unload() {}
