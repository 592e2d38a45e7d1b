// The driver's timeline, keys and ends, seen through plomvardix-capture's frame-step log, and the
// lattice scene put in the timeline from a chosen order.
#include "support/capture_run.h"

#include <set>

namespace {

using namespace capture_support;

// Index of the first step on which `scene` is rendered, or -1.
long firstStepOf(const std::vector<Step>& steps, const std::string& scene)
{
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i].scene == scene)
            return static_cast<long>(i);
    return -1;
}

// Space 39 times from frame 200 on: one order every ten frames.
std::string spaceThroughTheSong()
{
    std::string keys;
    for (int i = 0; i < 39; ++i)
        keys += (i ? "," : "") + std::to_string(200 + 10 * i) + ":space";
    return keys;
}

using Timeline = Capture;

// One whole run, start to end, at a low virtual frame rate to keep it short: every order is still
// polled, and the sound is written alongside.
TEST_F(Timeline, RunsTheWholeSongSwitchingOnOrderEqualityWithItsAudio)
{
    Outcome r = runLogged("--fps 5 --wav '" + (dir / "audio.wav").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("GL error"), std::string::npos) << "no frame may leave a GL error: " << r.err;

    const std::vector<Step> run = steps();
    ASSERT_FALSE(run.empty());
    const Step& first = run.front();
    EXPECT_EQ(first.scene, "TitleScene");
    EXPECT_EQ(first.order, 0);
    EXPECT_GT(first.t, 1.0) << "the first scene's t counts the loading and its one-second pause";

    struct Row {
        const char* scene;
        int startOrder;
    };
    const Row timeline[] = {{"TitleScene", 0},      {"GlyphBlurScene", 5}, {"RingScene", 7},
                            {"LaserTubeScene", 15}, {"PlasmaScene", 21},   {"CreditsScene", 23}};
    for (size_t r = 1; r < std::size(timeline); ++r) {
        long at = firstStepOf(run, timeline[r].scene);
        ASSERT_GE(at, 1) << timeline[r].scene << " never rendered";
        EXPECT_EQ(run[at].order, timeline[r].startOrder) << timeline[r].scene;
        EXPECT_EQ(run[at].t, 0.0) << timeline[r].scene << " gets t = 0 on the frame of its enter";
        EXPECT_EQ(run[at - 1].scene, timeline[r - 1].scene);
        EXPECT_NE(run[at - 1].order, timeline[r].startOrder);
    }
    // Each scene is current exactly during its orders, and every order up to 38 is rendered.
    std::set<int> rendered;
    for (const Step& step : run) {
        if (step.scene.empty())
            continue;
        rendered.insert(step.order);
        int expectedRow = 0;
        for (size_t r = 0; r < std::size(timeline); ++r)
            if (step.order >= timeline[r].startOrder)
                expectedRow = static_cast<int>(r);
        EXPECT_EQ(step.scene, timeline[expectedRow].scene) << "order " << step.order << " frame " << step.frame;
    }
    for (int order = 0; order <= 38; ++order)
        EXPECT_EQ(rendered.count(order), 1u) << "order " << order << " never rendered";
    // The step that first polls order 39 ends the demo and renders nothing.
    EXPECT_EQ(run.back().order, 39);
    EXPECT_TRUE(run.back().scene.empty());
    for (size_t i = 0; i + 1 < run.size(); ++i)
        EXPECT_LT(run[i].order, 39);

    // The WAV holds exactly the frames of the virtual clock at the end: 44100 per second.
    std::string wav = slurp(dir / "audio.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(wav, 24), 44100u);
    EXPECT_EQ(u32(wav, 4), wav.size() - 8);
    EXPECT_EQ(u32(wav, 40), wav.size() - 44);
    EXPECT_EQ(u32(wav, 40), micros(run.back().seconds) * 44100 / 1000000 * 4);
    // And it is not silence.
    EXPECT_NE(wav.find_first_not_of('\0', 44), std::string::npos);
}

TEST_F(Timeline, SpaceMovesOneOrderPerPressAndEscapeEnds)
{
    // Frame 0 is the first loading-bar frame; the scenes start after the loading sequence.
    Outcome r = runLogged("--keys 200:space,260:space,320:escape");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Step> run = steps();
    ASSERT_FALSE(run.empty());
    int maxOrder = 0;
    for (const Step& step : run) {
        maxOrder = std::max(maxOrder, step.order);
        if (step.frame > 205 && step.frame < 260) {
            EXPECT_EQ(step.order, 1) << "frame " << step.frame;
        }
        if (step.frame > 265) {
            EXPECT_EQ(step.order, 2) << "frame " << step.frame;
        }
    }
    EXPECT_EQ(maxOrder, 2);
    EXPECT_LE(run.back().frame, 321) << "Escape ends the demo at once";
}

TEST_F(Timeline, MinimisedWindowDrawsNothingAndMissesAStartOrderForGood)
{
    // Minimised from the middle of order 0 until order 5 has passed (order 5 starts at 5 x 7.68 s).
    Outcome r = runLogged("--keys 200:minimize,3000:restore,3300:escape");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Step> run = steps();
    ASSERT_FALSE(run.empty());
    bool sawAfterRestore = false;
    for (const Step& step : run) {
        EXPECT_FALSE(step.frame > 201 && step.frame < 3000) << "a frame step while minimised: " << step.frame;
        if (step.frame > 3000) {
            sawAfterRestore = true;
            EXPECT_EQ(step.scene, "TitleScene") << "order " << step.order;
            EXPECT_GE(step.order, 6);
        }
    }
    EXPECT_TRUE(sawAfterRestore);
    // The clock went on: frames kept being swapped while minimised.
    EXPECT_GE(run.back().frame, 3300);
}

TEST_F(Timeline, WrongLatticeOrdersAreRefusedWithOneLine)
{
    for (const char* bad : {"22", "39", "0", "-3", "37x", "", "99999999999999999999"}) {
        Outcome r = runLogged(std::string("--lattice-at '") + bad + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--lattice-at"), std::string::npos) << bad;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line for '" << bad << "': " << r.err;
    }
}

// Order 37 from frame 560, 39 at 580; Space during order 38 ends the demo.
TEST_F(Timeline, LatticeAtThirtySevenFollowsTheCreditsAndTheDemoStillEndsAtThirtyNine)
{
    Outcome r = runLogged("--lattice-at 37 --keys " + spaceThroughTheSong());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("GL error"), std::string::npos) << r.err;
    const std::vector<Step> run = steps();
    ASSERT_FALSE(run.empty());

    bool entered = false;
    for (const Step& step : run) {
        if (step.scene.empty())
            continue;
        if (step.order >= 23 && step.order <= 36) {
            EXPECT_EQ(step.scene, "CreditsScene") << "order " << step.order;
        } else if (step.order >= 37) {
            EXPECT_EQ(step.scene, "LatticeScene") << "order " << step.order;
            if (!entered) {
                EXPECT_EQ(step.t, 0.0) << "t = 0 on the frame of its enter";
            }
            entered = true;
        }
    }
    EXPECT_TRUE(entered) << "the lattice scene was never rendered";
    EXPECT_EQ(run.back().order, 39);
    EXPECT_TRUE(run.back().scene.empty()) << "the step that reaches order 39 renders nothing";
    EXPECT_LT(run.back().frame, 200 + 10 * 39 + 5);
}

}  // namespace
