// Rendering support without GL: the camera's fields and up rule, and the particle simulation.
#include "render/camera.h"
#include "render/particles.h"
#include "render/random.h"
#include "support/gl_harness.h"
#include "support/random_replica.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using testsupport::probeDraws;
using testsupport::probePosition;
using testsupport::replicaFloat;

TEST(Camera, DefaultsAndUpRule)
{
    Camera camera;
    EXPECT_TRUE(testsupport::cameraIs(camera, {1, 1, 1, 0, 0, 0.1f, 45, 1, 60, 1.3f}));

    // d = (-0.9999, -0.9999, -0.8999) crossed with the centre (0, 0, 0.1): Camera::cross at work.
    EXPECT_NEAR(camera.up.x, -0.09999, 1e-6);
    EXPECT_NEAR(camera.up.y, 0.09999, 1e-6);
    EXPECT_EQ(camera.up.z, 0);

    // Every setter recomputes the up vector from the current eye and centre.
    camera.setEye(0, 5, 0);
    EXPECT_NEAR(camera.up.x, 0.1 * (-4.9999), 1e-5);
    camera.setEye(Vector4{2, 0, 0, 7});
    EXPECT_EQ(camera.eye.w, 7);
    EXPECT_NEAR(camera.up.y, -0.1 * (-1.9999), 1e-5);
    camera.up = {9, 9, 9, 9};
    camera.setClipPlanes(2, 30);
    EXPECT_FLOAT_EQ(camera.nearPlane, 2);
    EXPECT_FLOAT_EQ(camera.farPlane, 30);
    EXPECT_NEAR(camera.up.y, -0.1 * (-1.9999), 1e-5);

    camera.up = {9, 9, 9, 9};
    camera.setFov(60);
    EXPECT_FLOAT_EQ(camera.fov, 60);
    EXPECT_NEAR(camera.up.y, -0.1 * (-1.9999), 1e-5);

    camera.setCenter(0, 0, 0);
    EXPECT_EQ(camera.up.x, 0);
    EXPECT_EQ(camera.up.y, 0);
    EXPECT_EQ(camera.up.z, 0);
}

TEST(Camera, IgnoresFieldOfViewNotAboveZero)
{
    Camera camera;
    camera.up = {5, 6, 7, 8};  // a refused setter must not even recompute up
    for (float bad : {0.0f, -10.0f, std::numeric_limits<float>::quiet_NaN()}) {
        camera.setFov(bad);
        EXPECT_FLOAT_EQ(camera.fov, 45);
        EXPECT_EQ(camera.up.x, 5);
        EXPECT_EQ(camera.up.z, 7);
    }
}

static void configure(ParticleEmitter& emitter, float x, float y, float z)
{
    emitter.setMaxLife(100);
    emitter.setStartSize(3);
    emitter.setOrigin(Vector4{x, y, z, 0});
}

TEST(Particles, SpawnCountsClampsAndStaggeredLives)
{
    ParticleEmitter emitter;
    EXPECT_EQ(emitter.count, 0);
    configure(emitter, 10, 20, 5);

    long before = probePosition();
    emitter.spawn(250);
    long after = probePosition();
    EXPECT_EQ(emitter.count, 100);
    EXPECT_EQ(after - before - probeDraws, 100);  // one draw per particle born

    long first = before + probeDraws;
    for (int i = 0; i < 100; i++) {
        const Particle& p = emitter.particles[i];
        EXPECT_FLOAT_EQ(p.life, replicaFloat(first + i) * 100) << i;
        EXPECT_EQ(p.position.x, 10);
        EXPECT_EQ(p.position.y, 20);
        EXPECT_EQ(p.position.z, 0) << "the first generation is born at z = 0";
        EXPECT_EQ(p.size, 3);
        EXPECT_EQ(p.velocity.x, 0);
        EXPECT_EQ(p.acceleration.y, 0);
    }

    ParticleEmitter few;
    configure(few, 0, 0, 0);
    few.spawn(7);
    EXPECT_EQ(few.count, 7);

    ParticleEmitter none;
    configure(none, 0, 0, 0);
    before = probePosition();
    none.spawn(-3);
    none.update(1234);
    after = probePosition();
    EXPECT_LE(none.count, 0);
    EXPECT_EQ(none.lastTick, 1234u);
    EXPECT_EQ(after - before, probeDraws) << "no particle, no draw";
}

TEST(Particles, FourDrawsPerSurvivorNoneOnRebirth)
{
    ParticleEmitter emitter;
    configure(emitter, 100, 50, 9);
    emitter.spawn(3);
    emitter.particles[0].life = 50;
    emitter.particles[1].life = 0.75f;  // falls to exactly 0: reborn this step
    emitter.particles[2].life = 10;
    emitter.particles[1].position = {1, 2, 3, 0};
    emitter.particles[1].size = 40;
    configure(emitter, -7, 8, 9);  // moved origin: only the reborn particle takes it

    long before = probePosition();
    emitter.update(5);
    long after = probePosition();
    EXPECT_EQ(after - before - probeDraws, 8) << "four per survivor, none for the rebirth";

    long first = before + probeDraws;
    const Particle& p0 = emitter.particles[0];
    EXPECT_FLOAT_EQ(p0.life, 49.25f);
    EXPECT_FLOAT_EQ(p0.position.x, 100 + (4 * replicaFloat(first) - 4 * replicaFloat(first + 1)));
    EXPECT_FLOAT_EQ(p0.position.y, 50 + (4 * replicaFloat(first + 2) - 4 * replicaFloat(first + 3)));
    EXPECT_EQ(p0.position.z, 0);
    EXPECT_FLOAT_EQ(p0.size, 3.61f);

    const Particle& p1 = emitter.particles[1];
    EXPECT_EQ(p1.life, 100);
    EXPECT_EQ(p1.position.x, -7);
    EXPECT_EQ(p1.position.y, 8);
    EXPECT_EQ(p1.position.z, 9) << "a reborn particle takes the origin's z";
    EXPECT_EQ(p1.size, 3);

    // The third particle's draws follow the first's, skipping the reborn one.
    const Particle& p2 = emitter.particles[2];
    EXPECT_FLOAT_EQ(p2.position.x, 100 + (4 * replicaFloat(first + 4) - 4 * replicaFloat(first + 5)));
    EXPECT_FLOAT_EQ(p2.position.y, 50 + (4 * replicaFloat(first + 6) - 4 * replicaFloat(first + 7)));
}

TEST(Particles, RebornParticleLives133Steps)
{
    ParticleEmitter emitter;
    configure(emitter, 0, 0, 0);
    emitter.spawn(1);
    emitter.particles[0].life = 0.5f;
    emitter.update(0);  // reborn
    ASSERT_EQ(emitter.particles[0].life, 100);
    int steps = 0;
    while (emitter.particles[0].life != 100 || steps == 0) {
        emitter.update(0);
        steps++;
        ASSERT_LT(steps, 1000);
    }
    EXPECT_EQ(steps, 134);  // 133 steps alive, reborn on the 134th
}

TEST(ParticleSystem, AddsUpToFiveAndForwardsInOrder)
{
    ParticleSystem system;
    EXPECT_EQ(system.count, 0);
    ParticleEmitter emitters[6];
    for (ParticleEmitter& e : emitters) {
        configure(e, 0, 0, 0);
        system.add(&e);
    }
    EXPECT_EQ(system.count, 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(system.emitters[i], &emitters[i]);

    system.update(777);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(emitters[i].lastTick, 777u);
    EXPECT_NE(emitters[5].lastTick, 777u);
}
