// The lattice scene: a turning lattice of 80 points on red, a line growing from each point towards
// one randomly chosen neighbour. The demo's timeline never names it; the capture tool can.
#pragma once
#include "render/camera.h"
#include "render/vector4.h"
#include "shell/scene.h"

class LatticeScene : public DepthTestScene {
public:
    void render(float t) override;
    void load() override;
    void enter() override;
    void unload() override;
};

struct LatticeNode {
    Vector4 position;
    int cell[3];  // i, j, k
    LatticeNode* link;
    int growth;
};

// Read-only views of the scene's module state, for tests.
const LatticeNode& latticeNode(int index);  // node (i, j, k) is 16 i + 4 j + k
int latticeLinkCount();
float latticeLastGrowTime();
const Camera& latticeSceneCamera();
