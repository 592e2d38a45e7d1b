// One translucent quad over the whole window in the stored colour: fades and beat flashes.
#include "render/fader.h"

#include "shell/glwindow.h"

#include <GL/gl.h>

void Fader::render(float)
{
    glWindow->beginOrtho(2, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor4f(red, green, blue, alpha);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Twice the box and nearer than its near plane: it reaches the screen only through the
    // frustum that beginOrtho multiplies onto, which it then covers completely.
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glVertex3f(-4, -2, -0.0121f);
    glVertex3f(4, -2, -0.0121f);
    glVertex3f(4, 2, -0.0121f);
    glVertex3f(-4, 2, -0.0121f);
    glEnd();
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glWindow->endOrtho();
}

void Fader::load()
{
    setColor(1, 1, 1, 1);
}

void Fader::enter() {}

void Fader::unload() {}

void Fader::setColor(float red, float green, float blue, float alpha)
{
    this->red = red;
    this->green = green;
    this->blue = blue;
    this->alpha = alpha;
}

bool whiteFade(int order, int row, int firstOrder, int lastOrder, float& alpha)
{
    if (order == firstOrder && row <= 16)
        alpha = (16 - row) / 16.0f;
    else if (order == lastOrder && row >= 112)
        alpha = (row % 16) / 16.0f;
    else
        return false;
    return true;
}

void flashWhite(float alpha, float t)
{
    glDisable(GL_DEPTH_TEST);
    fader->setColor(1, 1, 1, alpha);
    fader->render(t);
    glEnable(GL_DEPTH_TEST);
}
