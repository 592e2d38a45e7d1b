// Placeholder.
#include "render/particles.h"
ParticleEmitter::ParticleEmitter() : count(0), capacity(100), particles{}, origin{}, lastTick(0), maxLife(0), startSize(0) {}
void ParticleEmitter::setOrigin(Vector4) {}
void ParticleEmitter::setMaxLife(float) {}
void ParticleEmitter::setStartSize(float) {}
void ParticleEmitter::spawn(int) {}
void ParticleEmitter::update(uint32_t) {}
void ParticleEmitter::draw() {}
ParticleSystem::ParticleSystem() : count(0), capacity(5), emitters{} {}
void ParticleSystem::update(uint32_t) {}
void ParticleSystem::draw() {}
void ParticleSystem::add(ParticleEmitter*) {}
