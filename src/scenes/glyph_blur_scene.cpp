// Placeholder until this scene is written: it draws nothing.
#include "scenes/glyph_blur_scene.h"

void GlyphBlurScene::render(float) {}
void GlyphBlurScene::load() {}
void GlyphBlurScene::enter() {}
void GlyphBlurScene::unload() {}
