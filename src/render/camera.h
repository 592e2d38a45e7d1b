// A look-at camera whose apply() replaces the projection with perspective x look-at. Its up
// vector is never given: every setter recomputes it from the eye and the centre.
#pragma once
#include "render/vector4.h"

class Camera {
public:
    Camera();

    void setEye(float x, float y, float z);
    void setEye(Vector4 v);
    void setCenter(float x, float y, float z);
    void setFov(float degrees);  // ignores values that are not above 0
    void setClipPlanes(float nearPlane, float farPlane);
    void updateUp();
    void apply();

    static Vector4 cross(Vector4 a, Vector4 b);

    Vector4 eye;
    Vector4 center;
    Vector4 up;
    float fov;
    float nearPlane;
    float farPlane;
    float aspect;
};
