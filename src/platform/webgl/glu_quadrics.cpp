// GLU's quadrics the scenes draw (disk, partial disk, cylinder), over the immediate mode of the GL
// layer. Vertex order, texture coordinates and the silhouette's lines follow the reference GLU, so
// that the pictures match the native ones line for line.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

class GLUquadric {
public:
    bool used = false;
    GLenum drawStyle = GLU_FILL;
    bool textured = false;
};

namespace {

constexpr int quadricCapacity = 8;
constexpr int cacheSize = 240;  // the reference GLU's cap on slices
constexpr float pi = 3.14159265358979f;

GLUquadric quadrics[quadricCapacity];

float sinCache[cacheSize + 1];
float cosCache[cacheSize + 1];

}  // namespace

extern "C" {

GLUquadric* gluNewQuadric()
{
    for (GLUquadric& quadric : quadrics) {
        if (!quadric.used) {
            quadric = GLUquadric();
            quadric.used = true;
            return &quadric;
        }
    }
    return nullptr;
}

void gluDeleteQuadric(GLUquadric* quadric)
{
    if (quadric)
        quadric->used = false;
}

void gluQuadricDrawStyle(GLUquadric* quadric, GLenum style)
{
    if (quadric)
        quadric->drawStyle = style;
}

void gluQuadricNormals(GLUquadric*, GLenum)
{
    // Lighting is never on: normals are not drawn with.
}

void gluQuadricTexture(GLUquadric* quadric, GLboolean textured)
{
    if (quadric)
        quadric->textured = textured != GL_FALSE;
}

void gluCylinder(GLUquadric* quadric, GLdouble baseRadius, GLdouble topRadius, GLdouble height, GLint slices,
                 GLint stacks)
{
    if (!quadric || slices < 2 || stacks < 1 || baseRadius < 0 || topRadius < 0 || height < 0)
        return;
    if (slices > cacheSize)
        slices = cacheSize;
    for (int i = 0; i < slices; ++i) {
        float angle = 2 * pi * i / slices;
        sinCache[i] = std::sin(angle);
        cosCache[i] = std::cos(angle);
    }
    sinCache[slices] = sinCache[0];
    cosCache[slices] = cosCache[0];
    const float deltaRadius = static_cast<float>(topRadius - baseRadius);
    const float base = static_cast<float>(baseRadius);
    const float h = static_cast<float>(height);

    if (quadric->drawStyle == GLU_FILL) {
        for (int j = 0; j < stacks; ++j) {
            float zLow = j * h / stacks;
            float zHigh = (j + 1) * h / stacks;
            float radiusLow = base + deltaRadius * (static_cast<float>(j) / stacks);
            float radiusHigh = base + deltaRadius * (static_cast<float>(j + 1) / stacks);
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i <= slices; ++i) {
                if (quadric->textured)
                    glTexCoord2f(1 - static_cast<float>(i) / slices, static_cast<float>(j) / stacks);
                glVertex3f(radiusLow * sinCache[i], radiusLow * cosCache[i], zLow);
                if (quadric->textured)
                    glTexCoord2f(1 - static_cast<float>(i) / slices, static_cast<float>(j + 1) / stacks);
                glVertex3f(radiusHigh * sinCache[i], radiusHigh * cosCache[i], zHigh);
            }
            glEnd();
        }
        return;
    }
    if (quadric->drawStyle == GLU_LINE) {
        for (int j = 0; j <= stacks; ++j) {
            float radius = base + j * deltaRadius / stacks;
            glBegin(GL_LINE_LOOP);
            for (int i = 0; i < slices; ++i)
                glVertex3f(radius * sinCache[i], radius * cosCache[i], j * h / stacks);
            glEnd();
        }
    } else if (quadric->drawStyle == GLU_SILHOUETTE && baseRadius != 0) {
        // Only the two end rings, and the lines along the length below.
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < slices; ++i)
            glVertex3f(base * sinCache[i], base * cosCache[i], 0);
        glEnd();
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < slices; ++i)
            glVertex3f(static_cast<float>(topRadius) * sinCache[i], static_cast<float>(topRadius) * cosCache[i], h);
        glEnd();
    }
    for (int i = 0; i < slices; ++i) {
        glBegin(GL_LINE_STRIP);
        for (int j = 0; j <= stacks; ++j) {
            float radius = base + j * deltaRadius / stacks;
            glVertex3f(radius * sinCache[i], radius * cosCache[i], j * h / stacks);
        }
        glEnd();
    }
}

void gluPartialDisk(GLUquadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops,
                    GLdouble startAngle, GLdouble sweepAngle)
{
    if (!quadric || slices < 2 || loops < 1 || outerRadius <= 0 || innerRadius < 0 || innerRadius > outerRadius)
        return;
    if (slices > cacheSize)
        slices = cacheSize;
    if (sweepAngle < -360)
        sweepAngle = 360;
    if (sweepAngle > 360)
        sweepAngle = 360;
    if (sweepAngle < 0) {
        startAngle += sweepAngle;
        sweepAngle = -sweepAngle;
    }
    const float outer = static_cast<float>(outerRadius);
    const float deltaRadius = static_cast<float>(outerRadius - innerRadius);
    const float angleOffset = static_cast<float>(startAngle / 180 * pi);
    for (int i = 0; i <= slices; ++i) {
        float angle = angleOffset + static_cast<float>(pi * sweepAngle / 180) * i / slices;
        sinCache[i] = std::sin(angle);
        cosCache[i] = std::cos(angle);
    }
    if (sweepAngle == 360) {
        sinCache[slices] = sinCache[0];
        cosCache[slices] = cosCache[0];
    }

    if (quadric->drawStyle == GLU_FILL) {
        int finish = loops;
        if (innerRadius == 0) {
            finish = loops - 1;
            glBegin(GL_TRIANGLE_FAN);
            if (quadric->textured)
                glTexCoord2f(0.5f, 0.5f);
            glVertex3f(0, 0, 0);
            float radiusLow = outer - deltaRadius * (static_cast<float>(loops - 1) / loops);
            float texLow = radiusLow / outer / 2;
            for (int i = slices; i >= 0; --i) {
                if (quadric->textured)
                    glTexCoord2f(texLow * sinCache[i] + 0.5f, texLow * cosCache[i] + 0.5f);
                glVertex3f(radiusLow * sinCache[i], radiusLow * cosCache[i], 0);
            }
            glEnd();
        }
        for (int j = 0; j < finish; ++j) {
            float radiusLow = outer - deltaRadius * (static_cast<float>(j) / loops);
            float radiusHigh = outer - deltaRadius * (static_cast<float>(j + 1) / loops);
            float texLow = radiusLow / outer / 2;
            float texHigh = radiusHigh / outer / 2;
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i <= slices; ++i) {
                if (quadric->textured)
                    glTexCoord2f(texLow * sinCache[i] + 0.5f, texLow * cosCache[i] + 0.5f);
                glVertex3f(radiusLow * sinCache[i], radiusLow * cosCache[i], 0);
                if (quadric->textured)
                    glTexCoord2f(texHigh * sinCache[i] + 0.5f, texHigh * cosCache[i] + 0.5f);
                glVertex3f(radiusHigh * sinCache[i], radiusHigh * cosCache[i], 0);
            }
            glEnd();
        }
        return;
    }
    // Silhouette (and lines, drawn the same here): the ends of the sweep and the outer and inner arcs.
    if (sweepAngle < 360) {
        for (int i = 0; i <= slices; i += slices) {
            glBegin(GL_LINE_STRIP);
            for (int j = 0; j <= loops; ++j) {
                float radius = outer - deltaRadius * (static_cast<float>(j) / loops);
                glVertex3f(radius * sinCache[i], radius * cosCache[i], 0);
            }
            glEnd();
        }
    }
    for (int j = 0; j <= loops; j += loops) {
        float radius = outer - deltaRadius * (static_cast<float>(j) / loops);
        glBegin(GL_LINE_STRIP);
        for (int i = 0; i <= slices; ++i)
            glVertex3f(radius * sinCache[i], radius * cosCache[i], 0);
        glEnd();
        if (innerRadius == outerRadius)
            break;
    }
}

void gluDisk(GLUquadric* quadric, GLdouble innerRadius, GLdouble outerRadius, GLint slices, GLint loops)
{
    gluPartialDisk(quadric, innerRadius, outerRadius, slices, loops, 0, 360);
}

}  // extern "C"
