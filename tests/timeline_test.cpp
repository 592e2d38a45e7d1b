// The driver's timeline, keys and ends, seen through the offline runner's per-frame log.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Step {
    long frame;
    double seconds;
    int order;
    int row;
    std::string scene;  // empty when the step rendered nothing
    double t;
};

struct DemoRun {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<Step> steps;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitCsv(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.emplace_back();
    return fields;
}

std::vector<Step> parseLog(const fs::path& path)
{
    std::vector<Step> steps;
    std::ifstream in(path);
    std::string line;
    std::map<std::string, size_t> column;
    if (std::getline(in, line)) {
        std::vector<std::string> names = splitCsv(line);
        for (size_t i = 0; i < names.size(); ++i)
            column[names[i]] = i;
    }
    auto field = [&](const std::vector<std::string>& f, const char* name) -> std::string {
        auto it = column.find(name);
        return it != column.end() && it->second < f.size() ? f[it->second] : std::string();
    };
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::vector<std::string> f = splitCsv(line);
        Step step;
        step.frame = std::atol(field(f, "frame").c_str());
        step.seconds = std::atof(field(f, "seconds").c_str());
        step.order = std::atoi(field(f, "order").c_str());
        step.row = std::atoi(field(f, "row").c_str());
        step.scene = field(f, "scene");
        step.t = std::atof(field(f, "t").c_str());
        steps.push_back(step);
    }
    return steps;
}

// Runs plomvardix-capture from the build folder in `workdir` with the given arguments and an
// environment prefix (e.g. "SDL_AUDIODRIVER=x").
DemoRun capture(const std::string& arguments, const fs::path& workdir = fs::current_path(),
            const std::string& environment = "")
{
    static int serial = 0;
    fs::path scratch = fs::temp_directory_path() /
                       ("plomvardix-timeline-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(scratch);
    fs::path exe = fs::current_path() / "plomvardix-capture";
    fs::path log = scratch / "log.csv";
    std::string command = "cd '" + workdir.string() + "' && " + environment + " '" + exe.string() + "' --log '" +
                          log.string() + "' " + arguments + " >'" + (scratch / "out").string() + "' 2>'" +
                          (scratch / "err").string() + "'";
    DemoRun run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(scratch / "out");
    run.err = readFile(scratch / "err");
    run.steps = parseLog(log);
    fs::remove_all(scratch);
    return run;
}

// Index of the first step on which `scene` is rendered, or -1.
long firstStepOf(const DemoRun& run, const std::string& scene)
{
    for (size_t i = 0; i < run.steps.size(); ++i)
        if (run.steps[i].scene == scene)
            return static_cast<long>(i);
    return -1;
}

}  // namespace

// One whole run, start to end, at a low virtual frame rate to keep it short.
TEST(Timeline, RunsTheWholeSongSwitchingOnOrderEquality)
{
    DemoRun run = capture("--fps 5");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("GL error"), std::string::npos) << "no frame may leave a GL error: " << run.err;
    ASSERT_FALSE(run.steps.empty());

    const Step& first = run.steps.front();
    EXPECT_EQ(first.scene, "TitleScene");
    EXPECT_EQ(first.order, 0);
    EXPECT_GT(first.t, 1.0) << "the first scene's t counts the loading and its one-second pause";

    struct Row {
        const char* scene;
        int startOrder;
    };
    const Row timeline[] = {{"TitleScene", 0},  {"GlyphBlurScene", 5}, {"RingScene", 7},
                            {"LaserTubeScene", 15}, {"PlasmaScene", 21}, {"CreditsScene", 23}};
    for (size_t r = 1; r < std::size(timeline); ++r) {
        long at = firstStepOf(run, timeline[r].scene);
        ASSERT_GE(at, 1) << timeline[r].scene << " never rendered";
        const Step& enter = run.steps[at];
        EXPECT_EQ(enter.order, timeline[r].startOrder) << timeline[r].scene;
        EXPECT_EQ(enter.t, 0.0) << timeline[r].scene << " gets t = 0 on the frame of its enter";
        const Step& before = run.steps[at - 1];
        EXPECT_EQ(before.scene, timeline[r - 1].scene);
        EXPECT_NE(before.order, timeline[r].startOrder);
    }
    // Each scene is current exactly during its orders.
    for (const Step& step : run.steps) {
        if (step.scene.empty())
            continue;
        int expectedRow = 0;
        for (size_t r = 0; r < std::size(timeline); ++r)
            if (step.order >= timeline[r].startOrder)
                expectedRow = static_cast<int>(r);
        EXPECT_EQ(step.scene, timeline[expectedRow].scene) << "order " << step.order << " frame " << step.frame;
    }
    // Every order up to 38 is rendered, the credits' sixteen among them.
    std::set<int> rendered;
    for (const Step& step : run.steps)
        if (!step.scene.empty())
            rendered.insert(step.order);
    for (int order = 0; order <= 38; ++order)
        EXPECT_EQ(rendered.count(order), 1u) << "order " << order << " never rendered";
    // The step that first polls order 39 ends the demo and renders nothing.
    const Step& last = run.steps.back();
    EXPECT_EQ(last.order, 39);
    EXPECT_TRUE(last.scene.empty());
    for (size_t i = 0; i + 1 < run.steps.size(); ++i)
        EXPECT_LT(run.steps[i].order, 39);
}

TEST(Timeline, SpaceMovesOneOrderPerPressAndEscapeEnds)
{
    // Frame 0 is the first loading-bar frame; the scenes start after the loading sequence.
    DemoRun run = capture("--keys 200:space,260:space,320:escape");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.steps.empty());
    int maxOrder = 0;
    for (const Step& step : run.steps) {
        maxOrder = std::max(maxOrder, step.order);
        if (step.frame > 205 && step.frame < 260) {
            EXPECT_EQ(step.order, 1) << "frame " << step.frame;
        }
        if (step.frame > 265) {
            EXPECT_EQ(step.order, 2) << "frame " << step.frame;
        }
    }
    EXPECT_EQ(maxOrder, 2);
    EXPECT_LE(run.steps.back().frame, 321) << "Escape ends the demo at once";
}

TEST(Timeline, SpaceDuringOrder38EndsTheDemo)
{
    // 38 presses take the music from order 0 to 38, the 39th reaches order 39.
    std::string keys;
    for (int i = 0; i < 39; ++i)
        keys += (i ? "," : "") + std::to_string(200 + 10 * i) + ":space";
    DemoRun run = capture("--keys " + keys);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.steps.empty());
    EXPECT_EQ(run.steps.back().order, 39);
    EXPECT_TRUE(run.steps.back().scene.empty());
    EXPECT_LT(run.steps.back().frame, 200 + 10 * 39 + 5);
}

TEST(Timeline, WindowCloseEndsTheDemoNormally)
{
    DemoRun run = capture("--keys 150:close");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.steps.empty());
    EXPECT_LE(run.steps.back().frame, 151);
}

TEST(Timeline, MinimisedWindowDrawsNothingAndMissesAStartOrderForGood)
{
    // Minimised from the middle of order 0 until order 5 has passed (order 5 starts at 5 x 7.68 s).
    DemoRun run = capture("--keys 200:minimize,3000:restore,3300:escape");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.steps.empty());
    bool sawAfterRestore = false;
    for (const Step& step : run.steps) {
        EXPECT_FALSE(step.frame > 201 && step.frame < 3000) << "a frame step while minimised: " << step.frame;
        if (step.frame > 3000) {
            sawAfterRestore = true;
            EXPECT_EQ(step.scene, "TitleScene") << "order " << step.order;
            EXPECT_GE(step.order, 6);
        }
    }
    EXPECT_TRUE(sawAfterRestore);
    // The clock went on: frames kept being swapped while minimised.
    EXPECT_GE(run.steps.back().frame, 3300);
}

TEST(Timeline, MissingModuleStaysOnTheFirstSceneUntilEscape)
{
    fs::path dir = fs::temp_directory_path() / ("plomvardix-nomodule-" + std::to_string(getpid()));
    fs::create_directories(dir / "data");
    for (const auto& entry : fs::directory_iterator(fs::current_path() / "data"))
        if (entry.path().extension() == ".tga")
            fs::copy_file(entry.path(), dir / "data" / entry.path().filename());
    DemoRun run = capture("--keys 900:escape", dir);
    fs::remove_all(dir);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.steps.empty());
    for (const Step& step : run.steps)
        EXPECT_EQ(step.scene, "TitleScene");
    EXPECT_GE(run.steps.back().frame, 899);
}
