// The intro titles. Both quads lie at z = +0.12, outside the orthographic box's own depth range:
// they reach the screen only through the loading bar's frustum that beginOrtho multiplies onto.
#include "scenes/title_scene.h"

#include "render/fader.h"
#include "render/texture.h"
#include "shell/glwindow.h"

#include <GL/gl.h>
#include <cmath>

static Texture textGroup;
static Texture textPresents;
static Texture textDemo;
static Texture textCalled;
static Texture textTitle;
static Texture pictureNot;
static Texture pictureSupernena;

void TitleScene::load()
{
    loadTGA(textGroup, "data/text_gfx_zub.tga");
    loadTGA(textPresents, "data/text_gfx_presents.tga");
    loadTGA(textDemo, "data/text_gfx_ademo.tga");
    loadTGA(textCalled, "data/text_gfx_called.tga");
    loadTGA(textTitle, "data/text_gfx_plomvardix.tga");
    loadTGA(pictureNot, "data/gfx_not.tga");
    loadTGA(pictureSupernena, "data/gfx_supernena.tga");
}

void TitleScene::enter()
{
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

void TitleScene::unload() {}

void TitleScene::render(float)
{
    const Texture* background;
    const Texture* caption;
    switch (order) {
    case 0:
        background = &pictureNot;
        caption = &textGroup;
        break;
    case 1:
        background = &pictureNot;
        caption = &textPresents;
        break;
    case 2:
        background = &pictureSupernena;
        caption = &textDemo;
        break;
    case 3:
        background = &pictureSupernena;
        caption = &textCalled;
        break;
    default:
        background = &textTitle;
        caption = &textTitle;
        break;
    }

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glWindow->beginOrtho(2, 2);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    float backgroundAlpha = row < 64 ? row / 64.0f : 1 - (row % 64) / 64.0f;
    glColor4f(1, 1, 1, backgroundAlpha);

    float b = static_cast<float>(1.5 * std::sin((order + row) * 0.01));
    if (order % 2 == 0)
        b = -b;

    glBindTexture(GL_TEXTURE_2D, background->id);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(b - 3, -1.5f, 0.12f);
    glTexCoord2f(1, 0);
    glVertex3f(b + 3, -1.5f, 0.12f);
    glTexCoord2f(1, 1);
    glVertex3f(b + 3, 1.5f, 0.12f);
    glTexCoord2f(0, 1);
    glVertex3f(b - 3, 1.5f, 0.12f);
    glEnd();

    glBindTexture(GL_TEXTURE_2D, caption->id);
    float captionAlpha;
    if (row < 32)
        captionAlpha = row / 32.0f;
    else if (row <= 96)
        captionAlpha = 1;
    else
        captionAlpha = (32 - row % 32) / 32.0f;
    glColor4f(1, 1, 1, captionAlpha);

    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, 0);
    glVertex3f(-1.2f, -0.85f, 0.12f);
    glTexCoord2f(1, 0);
    glVertex3f(1.2f, -0.85f, 0.12f);
    glTexCoord2f(1, 1);
    glVertex3f(1.2f, 0.85f, 0.12f);
    glTexCoord2f(0, 1);
    glVertex3f(-1.2f, 0.85f, 0.12f);
    glEnd();

    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glWindow->endOrtho();

    float fade;
    if (row <= 16)
        fade = (16 - row) / 16.0f;
    else if (row >= 112)
        fade = (row % 16) / 16.0f;
    else
        return;
    fader->setColor(1, 1, 1, fade);
    fader->render(0);  // the fader ignores its time
}
