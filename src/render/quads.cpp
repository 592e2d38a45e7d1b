// The textured quad every picture is drawn with.
#include "render/quads.h"

#include <GL/gl.h>

void texturedQuad(float left, float bottom, float right, float top, float z)
{
    texturedQuad(left, bottom, right, top, top, z);
}

void texturedQuad(float left, float bottom, float right, float topRight, float topLeft, float z)
{
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(left, bottom, z);
    glTexCoord2f(1, 0);
    glVertex3f(right, bottom, z);
    glTexCoord2f(1, 1);
    glVertex3f(right, topRight, z);
    glTexCoord2f(0, 1);
    glVertex3f(left, topLeft, z);
    glEnd();
}
