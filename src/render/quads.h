// The textured quad every picture is drawn with: normal (0, 0, 1) and the whole texture, its
// (0, 0) corner at the bottom left, the corners given counter-clockwise from there.
#pragma once
#include "render/vector4.h"

// One GL_QUADS from (left, bottom) to (right, top), all at depth z.
void texturedQuad(float left, float bottom, float right, float top, float z);

// The same with the top edge's two ends at their own heights: topRight, then topLeft.
void texturedQuad(float left, float bottom, float right, float topRight, float topLeft, float z);

// Only the four corners, inside a glBegin(GL_QUADS) the caller holds, with no normal of their own:
// the texture's (0, 0), (1, 0), (1, 1) and (0, 1) on a, b, c and d.
void texturedCorners(const Vector4& a, const Vector4& b, const Vector4& c, const Vector4& d);
