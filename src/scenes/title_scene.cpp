// The intro titles. Both quads lie at z = +0.12, outside the orthographic box's own depth range:
// they reach the screen only through the loading bar's frustum that beginOrtho multiplies onto.
#include "scenes/title_scene.h"

#include "render/fader.h"
#include "render/quads.h"
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

// Background and caption of orders 0 to 4; the title fills both in order 4 and in any other.
struct OrderPictures {
    const Texture* background;
    const Texture* caption;
};
static const OrderPictures orderPictures[] = {
    {&pictureNot, &textGroup},
    {&pictureNot, &textPresents},
    {&pictureSupernena, &textDemo},
    {&pictureSupernena, &textCalled},
    {&textTitle, &textTitle},
};

static const OrderPictures& picturesFor(int order)
{
    const int last = sizeof orderPictures / sizeof orderPictures[0] - 1;
    return orderPictures[order >= 0 && order < last ? order : last];
}

// The background slides one way in even orders and the other in odd ones, fading in and out.
static void drawBackground(const Texture& background, int order, int row)
{
    float backgroundAlpha = row < 64 ? row / 64.0f : 1 - (row % 64) / 64.0f;
    glColor4f(1, 1, 1, backgroundAlpha);

    float b = static_cast<float>(1.5 * std::sin((order + row) * 0.01));
    if (order % 2 == 0)
        b = -b;

    glBindTexture(GL_TEXTURE_2D, background.id);
    texturedQuad(b - 3, -1.5f, b + 3, 1.5f, 0.12f);
}

static void drawCaption(const Texture& caption, int row)
{
    glBindTexture(GL_TEXTURE_2D, caption.id);
    float captionAlpha;
    if (row < 32)
        captionAlpha = row / 32.0f;
    else if (row <= 96)
        captionAlpha = 1;
    else
        captionAlpha = (32 - row % 32) / 32.0f;
    glColor4f(1, 1, 1, captionAlpha);
    texturedQuad(-1.2f, -0.85f, 1.2f, 0.85f, 0.12f);
}

void TitleScene::render(float)
{
    const OrderPictures& pictures = picturesFor(order);

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glWindow->beginOrtho(2, 2);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawBackground(*pictures.background, order, row);
    drawCaption(*pictures.caption, row);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glWindow->endOrtho();

    // Every order fades from and to white.
    float fade;
    if (!whiteFade(order, row, order, order, fade))
        return;
    fader->setColor(1, 1, 1, fade);
    fader->render(0);  // the fader ignores its time
}
