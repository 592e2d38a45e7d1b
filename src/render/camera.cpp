// Placeholder.
#include "render/camera.h"
Camera::Camera() : eye{1, 1, 1, 0}, center{0, 0, 0.1f, 0}, up{}, fov(45), nearPlane(1), farPlane(60), aspect(1.3f) {}
void Camera::setEye(float x, float y, float z) { eye = {x, y, z, eye.w}; }
void Camera::setEye(Vector4 v) { eye = v; }
void Camera::setCenter(float x, float y, float z) { center = {x, y, z, center.w}; }
void Camera::setFov(float) {}
void Camera::setClipPlanes(float, float) {}
void Camera::updateUp() {}
void Camera::apply() {}
Vector4 Camera::cross(Vector4 a, Vector4) { return a; }
