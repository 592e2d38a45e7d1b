#include "shell/scene.h"

#include "shell/glwindow.h"

#include <GL/gl.h>

void DepthTestScene::leave()
{
    glEnable(GL_DEPTH_TEST);
}

void DepthTestScene::enterWithoutDepthTest()
{
    glViewport(0, 0, glWindow->width(), glWindow->height());
    glClearColor(0, 0, 0, 0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
}
