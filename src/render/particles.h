// Fixed-capacity emitters of growing, fading sprites, stepped once per update call.
#pragma once
#include "render/vector4.h"

#include <cstdint>

struct Particle {
    Vector4 position;
    Vector4 velocity;
    Vector4 acceleration;
    float life;
    float size;
};

class ParticleEmitter {
public:
    ParticleEmitter();
    virtual ~ParticleEmitter() {}

    void setOrigin(Vector4 p);
    void setMaxLife(float life);
    void setStartSize(float size);
    void spawn(int n);
    void update(uint32_t tick);
    void draw();

    int count;
    int capacity;
    Particle particles[100];
    float origin[3];
    uint32_t lastTick;
    float maxLife;
    float startSize;
};

class ParticleSystem {
public:
    ParticleSystem();
    virtual ~ParticleSystem() {}
    virtual void update(uint32_t tick);
    virtual void draw();

    void add(ParticleEmitter* emitter);

    int count;
    int capacity;
    ParticleEmitter* emitters[5];
};
