#include "shell/scene.h"

#include <GL/gl.h>

void DepthTestScene::leave()
{
    glEnable(GL_DEPTH_TEST);
}
