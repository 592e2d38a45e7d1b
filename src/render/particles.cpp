// Fixed-capacity particle emitters: a constant stream of sprites that drift by a random walk,
// grow and fade, stepped once per update call whatever the elapsed time.
#include "render/particles.h"

#include "platform/platform.h"
#include "render/quads.h"
#include "render/random.h"

#include <GL/gl.h>

ParticleEmitter::ParticleEmitter()
    : count(0), capacity(100), particles{}, origin{}, lastTick(platform::tickCount()), maxLife(0),
      startSize(0)
{
}

void ParticleEmitter::setOrigin(Vector4 p)
{
    origin[0] = p.x;
    origin[1] = p.y;
    origin[2] = p.z;
}

void ParticleEmitter::setMaxLife(float life)
{
    maxLife = life;
}

void ParticleEmitter::setStartSize(float size)
{
    startSize = size;
}

void ParticleEmitter::spawn(int n)
{
    int started = n < capacity ? n : capacity;
    for (int i = 0; i < started; i++) {
        Particle& p = particles[i];
        // The first generation is born flat at z = 0 with staggered lives, so it dies unevenly.
        p.position = {origin[0], origin[1], 0, 0};
        p.life = randomFloat() * maxLife;
        p.size = startSize;
        p.velocity = {0, 0, 0, 0};
        p.acceleration = {0, 0, 0, 0};
    }
    count = started;
}

void ParticleEmitter::update(uint32_t tick)
{
    lastTick = tick;
    for (int i = 0; i < count; i++) {
        Particle& p = particles[i];
        p.life = p.life - 0.75f;
        if (p.life > 0) {
            float u1 = randomFloat();
            float u2 = randomFloat();
            p.position.x = p.position.x + (4 * u1 - 4 * u2);
            float u3 = randomFloat();
            float u4 = randomFloat();
            p.position.y = p.position.y + (4 * u3 - 4 * u4);
            p.size = p.size + 0.61f;
        } else {
            // Reborn in the step it dies, so the pool stays a constant stream.
            p.position = {origin[0], origin[1], origin[2], 0};
            p.life = maxLife;
            p.size = startSize;
            p.velocity = {0, 0, 0, 0};
            p.acceleration = {0, 0, 0, 0};
        }
    }
}

void ParticleEmitter::draw()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int i = 0; i < count; i++) {
        const Particle& p = particles[i];
        float x = p.position.x, y = p.position.y, z = p.position.z, s = p.size;
        glColor4f(1, 1, 1, p.life / maxLife);
        texturedQuad(x, y, x + s, y + s, z);
    }
    glDisable(GL_BLEND);
}

ParticleSystem::ParticleSystem() : count(0), capacity(5), emitters{} {}

void ParticleSystem::add(ParticleEmitter* emitter)
{
    if (count < capacity) {
        emitters[count] = emitter;
        count++;
    }
}

void ParticleSystem::update(uint32_t tick)
{
    for (int i = 0; i < count; i++)
        emitters[i]->update(tick);
}

void ParticleSystem::draw()
{
    for (int i = 0; i < count; i++)
        emitters[i]->draw();
}
