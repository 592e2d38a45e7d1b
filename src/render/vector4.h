#pragma once

// Four single-precision floats; users read x, y and z, and w is carried along.
struct Vector4 {
    float x, y, z, w;
};
