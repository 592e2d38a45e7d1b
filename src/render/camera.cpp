// Look-at camera: the up vector is always derived from the eye and the centre, never given.
#include "render/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

Camera::Camera()
{
    eye.x = 1;
    eye.y = 1;
    eye.z = 1;
    eye.w = 0;  // carried along, never read
    center.x = 0;
    center.y = 0;
    center.z = 0.1f;
    center.w = 0;
    fov = 45;
    nearPlane = 1;
    farPlane = 60;
    aspect = 1.3f;
    updateUp();
}

void Camera::setEye(float x, float y, float z)
{
    eye.x = x;
    eye.y = y;
    eye.z = z;
    updateUp();
}

void Camera::setEye(Vector4 v)
{
    eye = v;
    updateUp();
}

void Camera::setCenter(float x, float y, float z)
{
    center.x = x;
    center.y = y;
    center.z = z;
    updateUp();
}

void Camera::setFov(float degrees)
{
    if (degrees > 0) {  // false for NaN too
        fov = degrees;
        updateUp();
    }
}

void Camera::setClipPlanes(float nearPlane, float farPlane)
{
    this->nearPlane = nearPlane;
    this->farPlane = farPlane;
    updateUp();
}

void Camera::updateUp()
{
    // The small offset keeps the direction off the centre's own line in the common set-ups.
    Vector4 d;
    d.x = center.x - eye.x + 0.0001f;
    d.y = center.y - eye.y + 0.0001f;
    d.z = center.z - eye.z + 0.0001f;
    d.w = 0;
    up = cross(d, center);
}

void Camera::apply()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, aspect, nearPlane, farPlane);
    gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
    glMatrixMode(GL_MODELVIEW);
}

Vector4 Camera::cross(Vector4 a, Vector4 b)
{
    Vector4 r;
    r.x = a.y * b.z - a.z * b.y;
    r.y = a.z * b.x - a.x * b.z;
    r.z = a.x * b.y - a.y * b.x;
    r.w = 0;
    return r;
}
