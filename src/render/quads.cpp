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
    texturedCorners({left, bottom, z, 0}, {right, bottom, z, 0}, {right, topRight, z, 0}, {left, topLeft, z, 0});
    glEnd();
}

void texturedCorners(const Vector4& a, const Vector4& b, const Vector4& c, const Vector4& d)
{
    glTexCoord2f(0, 0);
    glVertex3f(a.x, a.y, a.z);
    glTexCoord2f(1, 0);
    glVertex3f(b.x, b.y, b.z);
    glTexCoord2f(1, 1);
    glVertex3f(c.x, c.y, c.z);
    glTexCoord2f(0, 1);
    glVertex3f(d.x, d.y, d.z);
}
