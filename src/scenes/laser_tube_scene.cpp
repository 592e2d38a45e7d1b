// Placeholder until this scene is written: it draws nothing.
#include "scenes/laser_tube_scene.h"

void LaserTubeScene::render(float) {}
void LaserTubeScene::load() {}
void LaserTubeScene::enter() {}
void LaserTubeScene::unload() {}
