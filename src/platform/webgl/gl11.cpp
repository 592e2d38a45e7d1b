// GL 1.1 over WebGL. The vertices of a glBegin/glEnd pair are gathered on the CPU and drawn at
// glEnd with the matrices of that moment, as fixed-function GL would transform them. Texturing is
// GL_MODULATE, the only environment the demo uses; lighting and fog are never enabled.
//
// WebGL draws lines one pixel wide and never smoothed, so wide and smoothed lines become quads in
// window space here: an aliased wide line is widened across its minor axis, as GL's own wide lines
// are; a smoothed one is widened across its direction by half a pixel more, and the fragment's alpha
// is multiplied by its coverage, as GL does for smoothed lines.
#include "platform/webgl/gl11.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <webgl/webgl1.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int stackDepth = 32;
constexpr int vertexCapacity = 65536;  // the largest glBegin/glEnd pair of any scene is far below
constexpr int floatsPerVertex = 10;    // x y z, r g b a, s t, distance across a drawn line in pixels
constexpr int textureCapacity = 1024;
constexpr int quadIndexCount = vertexCapacity / 4 * 6;

struct Matrix {
    float m[16];
};

struct LayerData {
    bool open = false;
    GLuint program = 0;
    GLuint vertexBuffer = 0;
    GLuint quadIndices = 0;
    GLint mvpUniform = -1;
    GLint texturedUniform = -1;
    GLint pointSizeUniform = -1;
    GLint lineHalfWidthUniform = -1;

    Matrix stacks[2][stackDepth];
    int depth[2] = {0, 0};
    int mode = 0;  // 0 modelview, 1 projection

    float color[4] = {1, 1, 1, 1};
    float texCoord[2] = {0, 0};
    float pointSize = 1;
    float lineWidth = 1;
    bool lineSmooth = false;
    int viewport[4] = {0, 0, 640, 480};
    bool texture2D = false;
    GLuint boundTexture = 0;
    // A texture samples only once it has an image and a filter that needs no mipmaps; until then
    // GL 1.1 draws as if texturing were off.
    bool hasImage[textureCapacity] = {};
    bool mipmapFilter[textureCapacity] = {};
    // The size and format a copy last gave each texture: the same copy again only refills it.
    int copiedWidth[textureCapacity] = {};
    int copiedHeight[textureCapacity] = {};
    GLenum copiedFormat[textureCapacity] = {};

    GLenum primitive = 0;
    bool inside = false;
    int count = 0;
    float vertices[vertexCapacity * floatsPerVertex];
    float lineQuads[vertexCapacity * floatsPerVertex];  // four corners per segment
    unsigned short indices[quadIndexCount];
};

LayerData data;

Matrix& top()
{
    return data.stacks[data.mode][data.depth[data.mode]];
}

void identity(Matrix& matrix)
{
    std::memset(matrix.m, 0, sizeof matrix.m);
    matrix.m[0] = matrix.m[5] = matrix.m[10] = matrix.m[15] = 1;
}

// top = top x right, column-major like GL.
void multiply(const float* right)
{
    const float* left = top().m;
    Matrix result;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += left[k * 4 + row] * right[column * 4 + k];
            result.m[column * 4 + row] = sum;
        }
    top() = result;
}

float clamp01(float value)
{
    return value < 0 ? 0 : value > 1 ? 1 : value;
}

GLuint compile(GLenum type, const char* source)
{
    GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    return ok ? shader : 0;
}

const char* const vertexSource =
    "attribute vec3 position;\n"
    "attribute vec4 color;\n"
    "attribute vec2 texCoord;\n"
    "attribute float across;\n"
    "uniform mat4 mvp;\n"
    "uniform float pointSize;\n"
    "varying vec4 fragmentColor;\n"
    "varying vec2 fragmentTexCoord;\n"
    "varying float fragmentAcross;\n"
    "void main() {\n"
    "  fragmentAcross = across;\n"
    "  gl_Position = mvp * vec4(position, 1.0);\n"
    "  gl_PointSize = pointSize;\n"
    "  fragmentColor = color;\n"
    "  fragmentTexCoord = texCoord;\n"
    "}\n";

const char* const fragmentSource =
    "precision highp float;\n"
    "uniform sampler2D image;\n"
    "uniform bool textured;\n"
    "uniform float lineHalfWidth;\n"
    "varying vec4 fragmentColor;\n"
    "varying vec2 fragmentTexCoord;\n"
    "varying float fragmentAcross;\n"
    "void main() {\n"
    "  vec4 c = fragmentColor;\n"
    "  if (textured) c *= texture2D(image, fragmentTexCoord);\n"
    "  if (lineHalfWidth > 0.0) c.a *= clamp(lineHalfWidth + 0.5 - abs(fragmentAcross), 0.0, 1.0);\n"
    "  gl_FragColor = c;\n"
    "}\n";

bool textureSamples()
{
    if (!data.texture2D || data.boundTexture == 0)
        return false;
    if (data.boundTexture >= static_cast<GLuint>(textureCapacity))
        return true;
    return data.hasImage[data.boundTexture] && !data.mipmapFilter[data.boundTexture];
}

// New storage for every draw: writing into a buffer the previous draw may still read from makes
// ANGLE wait for it or copy the whole buffer.
void upload(const float* vertices, int count)
{
    emscripten_glBufferData(GL_ARRAY_BUFFER, count * floatsPerVertex * sizeof(float), vertices, GL_STREAM_DRAW);
}

bool isLine(GLenum primitive)
{
    return primitive == GL_LINES || primitive == GL_LINE_STRIP || primitive == GL_LINE_LOOP;
}

// Window position in pixels and depth of a vertex; false behind the eye.
bool toWindow(const Matrix& mvp, const float* v, float* out)
{
    float clip[4];
    for (int row = 0; row < 4; ++row)
        clip[row] = mvp.m[row] * v[0] + mvp.m[4 + row] * v[1] + mvp.m[8 + row] * v[2] + mvp.m[12 + row];
    if (clip[3] <= 0)
        return false;
    out[0] = (clip[0] / clip[3] + 1) * 0.5f * static_cast<float>(data.viewport[2]);
    out[1] = (clip[1] / clip[3] + 1) * 0.5f * static_cast<float>(data.viewport[3]);
    out[2] = clip[2] / clip[3];
    return true;
}

// Lines as quads: four corners a segment, drawn through the quads' index buffer with no matrix.
void drawLineQuads(const Matrix& mvp)
{
    const float halfWidth = data.lineWidth * 0.5f;
    const float reach = data.lineSmooth ? halfWidth + 0.5f : halfWidth;
    const float toNdcX = 2.0f / static_cast<float>(data.viewport[2]);
    const float toNdcY = 2.0f / static_cast<float>(data.viewport[3]);
    int segments = data.primitive == GL_LINES ? data.count / 2 : data.count - 1;
    if (data.primitive == GL_LINE_LOOP && data.count > 2)
        segments += 1;
    int quads = 0;
    for (int k = 0; k < segments && (quads + 1) * 4 <= vertexCapacity; ++k) {
        int a = data.primitive == GL_LINES ? 2 * k : k;
        int b = data.primitive == GL_LINES ? 2 * k + 1 : (k + 1) % data.count;
        const float* ends[2] = {data.vertices + a * floatsPerVertex, data.vertices + b * floatsPerVertex};
        float p[2][3];
        if (!toWindow(mvp, ends[0], p[0]) || !toWindow(mvp, ends[1], p[1]))
            continue;
        float dx = p[1][0] - p[0][0];
        float dy = p[1][1] - p[0][1];
        float length = std::sqrt(dx * dx + dy * dy);
        if (length == 0)
            continue;
        float offset[2], extend[2] = {0, 0};
        if (data.lineSmooth) {
            offset[0] = -dy / length * reach;
            offset[1] = dx / length * reach;
            extend[0] = dx / length * 0.5f;
            extend[1] = dy / length * 0.5f;
        } else if (std::fabs(dx) >= std::fabs(dy)) {
            offset[0] = 0;
            offset[1] = reach;
        } else {
            offset[0] = reach;
            offset[1] = 0;
        }
        static constexpr float sides[4][2] = {{0, -1}, {0, 1}, {1, 1}, {1, -1}};  // end, side
        for (int corner = 0; corner < 4; ++corner) {
            int end = static_cast<int>(sides[corner][0]);
            float side = sides[corner][1];
            float along = end == 0 ? -1.0f : 1.0f;
            float* out = data.lineQuads + (quads * 4 + corner) * floatsPerVertex;
            std::memcpy(out, ends[end], floatsPerVertex * sizeof(float));
            out[0] = (p[end][0] + side * offset[0] + along * extend[0]) * toNdcX - 1;
            out[1] = (p[end][1] + side * offset[1] + along * extend[1]) * toNdcY - 1;
            out[2] = p[end][2];
            out[9] = side * reach;
        }
        ++quads;
    }
    if (quads == 0)
        return;
    Matrix none;
    identity(none);
    emscripten_glUniformMatrix4fv(data.mvpUniform, 1, GL_FALSE, none.m);
    emscripten_glUniform1f(data.lineHalfWidthUniform, data.lineSmooth ? halfWidth : 0.0f);
    upload(data.lineQuads, quads * 4);
    emscripten_glDrawElements(GL_TRIANGLES, quads * 6, GL_UNSIGNED_SHORT, nullptr);
    emscripten_glUniform1f(data.lineHalfWidthUniform, 0.0f);
}

void draw()
{
    if (data.count == 0)
        return;
    Matrix mvp;  // projection x modelview
    {
        const Matrix& projection = data.stacks[1][data.depth[1]];
        const Matrix& modelview = data.stacks[0][data.depth[0]];
        for (int column = 0; column < 4; ++column)
            for (int row = 0; row < 4; ++row) {
                float sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += projection.m[k * 4 + row] * modelview.m[column * 4 + k];
                mvp.m[column * 4 + row] = sum;
            }
    }
    emscripten_glUniform1i(data.texturedUniform, textureSamples() ? 1 : 0);
    if (isLine(data.primitive) && (data.lineSmooth || data.lineWidth > 1)) {
        drawLineQuads(mvp);
        return;
    }
    emscripten_glUniformMatrix4fv(data.mvpUniform, 1, GL_FALSE, mvp.m);
    emscripten_glUniform1f(data.pointSizeUniform, data.pointSize);
    upload(data.vertices, data.count);

    int count = data.count;
    switch (data.primitive) {
    case GL_QUADS:
        count -= count % 4;
        if (count > 0)
            emscripten_glDrawElements(GL_TRIANGLES, count / 4 * 6, GL_UNSIGNED_SHORT, nullptr);
        return;
    case GL_QUAD_STRIP:  // the same vertex order makes the same quads as a triangle strip
        count -= count % 2;
        emscripten_glDrawArrays(GL_TRIANGLE_STRIP, 0, count);
        return;
    case GL_POLYGON:
        emscripten_glDrawArrays(GL_TRIANGLE_FAN, 0, count);
        return;
    default:
        emscripten_glDrawArrays(data.primitive, 0, count);
        return;
    }
}

}  // namespace

namespace gl11 {

bool open()
{
    GLuint vertexShader = compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, fragmentSource);
    if (!vertexShader || !fragmentShader)
        return false;
    data.program = emscripten_glCreateProgram();
    emscripten_glAttachShader(data.program, vertexShader);
    emscripten_glAttachShader(data.program, fragmentShader);
    emscripten_glBindAttribLocation(data.program, 0, "position");
    emscripten_glBindAttribLocation(data.program, 1, "color");
    emscripten_glBindAttribLocation(data.program, 2, "texCoord");
    emscripten_glBindAttribLocation(data.program, 3, "across");
    emscripten_glLinkProgram(data.program);
    GLint linked = 0;
    emscripten_glGetProgramiv(data.program, GL_LINK_STATUS, &linked);
    if (!linked)
        return false;
    emscripten_glUseProgram(data.program);
    data.mvpUniform = emscripten_glGetUniformLocation(data.program, "mvp");
    data.texturedUniform = emscripten_glGetUniformLocation(data.program, "textured");
    data.pointSizeUniform = emscripten_glGetUniformLocation(data.program, "pointSize");
    data.lineHalfWidthUniform = emscripten_glGetUniformLocation(data.program, "lineHalfWidth");
    emscripten_glUniform1i(emscripten_glGetUniformLocation(data.program, "image"), 0);

    emscripten_glGenBuffers(1, &data.vertexBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, data.vertexBuffer);
    const GLsizei stride = floatsPerVertex * sizeof(float);
    emscripten_glEnableVertexAttribArray(0);
    emscripten_glEnableVertexAttribArray(1);
    emscripten_glEnableVertexAttribArray(2);
    emscripten_glEnableVertexAttribArray(3);
    emscripten_glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    emscripten_glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
    emscripten_glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(7 * sizeof(float)));
    emscripten_glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(9 * sizeof(float)));

    for (int quad = 0; quad < vertexCapacity / 4; ++quad) {
        // Split along the 0-2 diagonal, as Mesa splits immediate-mode quads (measured): a
        // trapezoid's texture and a quad's colours then fall as in the native picture.
        static constexpr unsigned short corners[6] = {0, 1, 2, 0, 2, 3};
        for (int k = 0; k < 6; ++k)
            data.indices[quad * 6 + k] = static_cast<unsigned short>(quad * 4 + corners[k]);
    }
    emscripten_glGenBuffers(1, &data.quadIndices);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, data.quadIndices);
    emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof data.indices, data.indices, GL_STATIC_DRAW);

    for (int mode = 0; mode < 2; ++mode) {
        data.depth[mode] = 0;
        identity(data.stacks[mode][0]);
    }
    data.mode = 0;
    emscripten_glActiveTexture(GL_TEXTURE0);
    data.open = true;
    return true;
}

void close()
{
    data.open = false;
    std::memset(data.hasImage, 0, sizeof data.hasImage);
    std::memset(data.mipmapFilter, 0, sizeof data.mipmapFilter);
    std::memset(data.copiedWidth, 0, sizeof data.copiedWidth);
}

}  // namespace gl11

extern "C" {

// --- immediate mode -------------------------------------------------------------------------

void glBegin(GLenum mode)
{
    data.primitive = mode;
    data.inside = true;
    data.count = 0;
}

void glEnd()
{
    data.inside = false;
    if (data.open)
        draw();
    data.count = 0;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!data.inside || data.count >= vertexCapacity)
        return;
    float* v = data.vertices + data.count * floatsPerVertex;
    v[0] = x;
    v[1] = y;
    v[2] = z;
    std::memcpy(v + 3, data.color, sizeof data.color);
    v[7] = data.texCoord[0];
    v[8] = data.texCoord[1];
    v[9] = 0;
    ++data.count;
}

void glVertex2f(GLfloat x, GLfloat y)
{
    glVertex3f(x, y, 0);
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    data.color[0] = clamp01(r);
    data.color[1] = clamp01(g);
    data.color[2] = clamp01(b);
    data.color[3] = clamp01(a);
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    glColor4f(r, g, b, 1);
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    data.texCoord[0] = s;
    data.texCoord[1] = t;
}

void glNormal3f(GLfloat, GLfloat, GLfloat)
{
    // Lighting is never on: normals change no pixel.
}

// --- matrices -------------------------------------------------------------------------------

void glMatrixMode(GLenum mode)
{
    if (mode == GL_MODELVIEW)
        data.mode = 0;
    else if (mode == GL_PROJECTION)
        data.mode = 1;
}

void glLoadIdentity()
{
    identity(top());
}

void glPushMatrix()
{
    int& depth = data.depth[data.mode];
    if (depth + 1 >= stackDepth)
        return;  // GL's stack overflow: the call is ignored
    data.stacks[data.mode][depth + 1] = data.stacks[data.mode][depth];
    ++depth;
}

void glPopMatrix()
{
    int& depth = data.depth[data.mode];
    if (depth > 0)
        --depth;
}

void glLoadMatrixf(const GLfloat* m)
{
    std::memcpy(top().m, m, sizeof top().m);
}

void glMultMatrixf(const GLfloat* m)
{
    multiply(m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    multiply(m);
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    const float m[16] = {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
    multiply(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0)
        return;
    x /= length;
    y /= length;
    z /= length;
    float radians = angle * 3.14159265358979f / 180;
    float c = std::cos(radians);
    float s = std::sin(radians);
    float d = 1 - c;
    const float m[16] = {
        x * x * d + c,     y * x * d + z * s, x * z * d - y * s, 0,
        x * y * d - z * s, y * y * d + c,     y * z * d + x * s, 0,
        x * z * d + y * s, y * z * d - x * s, z * z * d + c,     0,
        0,                 0,                 0,                 1,
    };
    multiply(m);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    const float m[16] = {
        static_cast<float>(2 / (right - left)), 0, 0, 0,
        0, static_cast<float>(2 / (top - bottom)), 0, 0,
        0, 0, static_cast<float>(-2 / (zFar - zNear)), 0,
        static_cast<float>(-(right + left) / (right - left)),
        static_cast<float>(-(top + bottom) / (top - bottom)),
        static_cast<float>(-(zFar + zNear) / (zFar - zNear)), 1,
    };
    multiply(m);
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    const float m[16] = {
        static_cast<float>(2 * zNear / (right - left)), 0, 0, 0,
        0, static_cast<float>(2 * zNear / (top - bottom)), 0, 0,
        static_cast<float>((right + left) / (right - left)),
        static_cast<float>((top + bottom) / (top - bottom)),
        static_cast<float>(-(zFar + zNear) / (zFar - zNear)), -1,
        0, 0, static_cast<float>(-2 * zFar * zNear / (zFar - zNear)), 0,
    };
    multiply(m);
}

// --- state ----------------------------------------------------------------------------------

void glEnable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        data.texture2D = true;
    else if (cap == GL_LINE_SMOOTH)
        data.lineSmooth = true;
    else if (cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST || cap == GL_CULL_FACE)
        emscripten_glEnable(cap);
    // The rest (lighting, fog, ...) is never switched on by the demo.
}

void glDisable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        data.texture2D = false;
    else if (cap == GL_LINE_SMOOTH)
        data.lineSmooth = false;
    else if (cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_SCISSOR_TEST || cap == GL_CULL_FACE)
        emscripten_glDisable(cap);
}

void glHint(GLenum, GLenum) {}

void glLineWidth(GLfloat width)
{
    if (width > 0)
        data.lineWidth = width;
}

void glPointSize(GLfloat size)
{
    data.pointSize = size > 0 ? size : 1;
}

void glBlendFunc(GLenum source, GLenum destination)
{
    emscripten_glBlendFunc(source, destination);
}

void glClear(GLbitfield mask)
{
    emscripten_glClear(mask);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    emscripten_glClearColor(r, g, b, a);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (width > 0 && height > 0) {
        data.viewport[0] = x;
        data.viewport[1] = y;
        data.viewport[2] = width;
        data.viewport[3] = height;
    }
    emscripten_glViewport(x, y, width, height);
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    emscripten_glScissor(x, y, width, height);
}

void glDepthFunc(GLenum func)
{
    emscripten_glDepthFunc(func);
}

void glDepthMask(GLboolean flag)
{
    emscripten_glDepthMask(flag);
}

void glFlush()
{
    emscripten_glFlush();
}

void glFinish()
{
    emscripten_glFinish();
}

GLenum glGetError()
{
    return emscripten_glGetError();
}

void glGetIntegerv(GLenum name, GLint* values)
{
    emscripten_glGetIntegerv(name, values);
}

void glPixelStorei(GLenum name, GLint value)
{
    if (name == GL_UNPACK_ALIGNMENT || name == GL_PACK_ALIGNMENT)
        emscripten_glPixelStorei(name, value);
}

// --- textures -------------------------------------------------------------------------------

void glGenTextures(GLsizei n, GLuint* textures)
{
    emscripten_glGenTextures(n, textures);
    for (GLsizei k = 0; k < n; ++k) {
        if (textures[k] < static_cast<GLuint>(textureCapacity)) {
            data.hasImage[textures[k]] = false;
            data.mipmapFilter[textures[k]] = true;  // GL's default minifying filter uses mipmaps
        }
    }
}

void glDeleteTextures(GLsizei n, const GLuint* textures)
{
    // The demo frees its textures after the window is gone; without a context GL does nothing.
    if (!data.open)
        return;
    for (GLsizei k = 0; k < n; ++k) {
        if (textures[k] == data.boundTexture)
            data.boundTexture = 0;
        if (textures[k] < static_cast<GLuint>(textureCapacity))
            data.copiedWidth[textures[k]] = 0;
    }
    emscripten_glDeleteTextures(n, textures);
}

void glBindTexture(GLenum target, GLuint texture)
{
    data.boundTexture = texture;
    emscripten_glBindTexture(target, texture);
}

void glTexParameteri(GLenum target, GLenum name, GLint value)
{
    if ((name == GL_TEXTURE_WRAP_S || name == GL_TEXTURE_WRAP_T) && value == GL_CLAMP)
        value = GL_CLAMP_TO_EDGE;  // WebGL has no border colour to clamp towards
    if (name == GL_TEXTURE_MIN_FILTER && data.boundTexture < static_cast<GLuint>(textureCapacity))
        data.mipmapFilter[data.boundTexture] = value != GL_NEAREST && value != GL_LINEAR;
    emscripten_glTexParameteri(target, name, value);
}

void glTexParameterf(GLenum target, GLenum name, GLfloat value)
{
    glTexParameteri(target, name, static_cast<GLint>(value));
}

// GL 1.1 takes 1 to 4 for the internal format; WebGL only the format's own name.
static GLenum formatName(GLint internalFormat)
{
    switch (internalFormat) {
    case 1: return GL_LUMINANCE;
    case 2: return GL_LUMINANCE_ALPHA;
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return static_cast<GLenum>(internalFormat);
    }
}

static void imageGiven(GLsizei width, GLsizei height)
{
    if (data.boundTexture < static_cast<GLuint>(textureCapacity)) {
        data.hasImage[data.boundTexture] = width > 0 && height > 0;
        data.copiedWidth[data.boundTexture] = 0;
    }
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels)
{
    (void)internalFormat;  // WebGL keeps the pixels in the format they come in
    emscripten_glTexImage2D(target, level, static_cast<GLint>(format), width, height, border, format, type, pixels);
    if (level == 0)
        imageGiven(width, height);
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                      GLsizei height, GLint border)
{
    const GLenum format = formatName(static_cast<GLint>(internalFormat));
    const GLuint texture = data.boundTexture;
    // Storage made anew every frame makes ANGLE allocate and synchronise each time; the radial
    // blur copies the same size every frame, which a refill of the same storage does as well.
    if (level == 0 && border == 0 && texture != 0 && texture < static_cast<GLuint>(textureCapacity) &&
        data.copiedWidth[texture] == width && data.copiedHeight[texture] == height &&
        data.copiedFormat[texture] == format) {
        emscripten_glCopyTexSubImage2D(target, 0, 0, 0, x, y, width, height);
        return;
    }
    emscripten_glCopyTexImage2D(target, level, format, x, y, width, height, border);
    if (level == 0) {
        imageGiven(width, height);
        if (texture != 0 && texture < static_cast<GLuint>(textureCapacity)) {
            data.copiedWidth[texture] = width;
            data.copiedHeight[texture] = height;
            data.copiedFormat[texture] = format;
        }
    }
}

void glCopyTexSubImage2D(GLenum target, GLint level, GLint xOffset, GLint yOffset, GLint x, GLint y, GLsizei width,
                         GLsizei height)
{
    emscripten_glCopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height);
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels)
{
    emscripten_glReadPixels(x, y, width, height, format, type, pixels);
}

// --- GLU: the camera ------------------------------------------------------------------------

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    double top = zNear * std::tan(fovy * 3.14159265358979 / 360);
    glFrustum(-top * aspect, top * aspect, -top, top, zNear, zFar);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    float f[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                  static_cast<float>(centerZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    auto normalize = [](float* v) {
        float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length != 0)
            for (int k = 0; k < 3; ++k)
                v[k] /= length;
    };
    auto cross = [](const float* a, const float* b, float* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalize(f);
    float side[3], u[3];
    cross(f, up, side);
    normalize(side);
    cross(side, f, u);
    const float m[16] = {
        side[0], u[0], -f[0], 0,
        side[1], u[1], -f[1], 0,
        side[2], u[2], -f[2], 0,
        0,       0,    0,     1,
    };
    multiply(m);
    glTranslatef(static_cast<float>(-eyeX), static_cast<float>(-eyeY), static_cast<float>(-eyeZ));
}

}  // extern "C"
