// Every data file broken three ways (missing, cut to half its length, replaced by random bytes of
// its length), one case each, through the offline runner: the demo runs on and ends normally, the
// loader prints exactly its texts, and a module that cannot be loaded keeps the first scene until
// Escape and says so on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const dataFiles[] = {
    "glimo.it",
    "text_gfx_zub.tga", "text_gfx_presents.tga", "text_gfx_ademo.tga", "text_gfx_called.tga",
    "text_gfx_plomvardix.tga", "gfx_not.tga", "gfx_supernena.tga", "fostarina2.tga", "k.tga",
    "bazura.tga", "fordtuneao3.tga", "minik.tga", "text_laser.tga", "cartelin.tga", "zub03.tga",
    "creditosdeverdad.tga", "creditos_staff.tga", "creditos_ruvo.tga", "creditos_pemi.tga",
    "creditos_aux.tga", "creditos_theyhave.tga", "greets_1.tga", "greets_2.tga", "greets_3.tga",
    "greets_4.tga", "epileptics.tga", "allez.tga", "fin.tga",
};

// The pictures in the order the scenes load them (some twice).
const char* const loadOrder[] = {
    "text_gfx_zub", "text_gfx_presents", "text_gfx_ademo", "text_gfx_called", "text_gfx_plomvardix",
    "gfx_not", "gfx_supernena",                                   // intro titles
    "fostarina2", "k",                                            // glyph blur
    "bazura", "fordtuneao3", "minik",                             // ring
    "text_laser", "cartelin",                                     // laser tube
    "zub03",                                                      // lattice
    "creditosdeverdad", "creditos_staff", "creditos_ruvo", "creditos_pemi", "creditos_aux",
    "creditos_theyhave", "greets_1", "greets_2", "greets_3", "greets_4", "epileptics", "allez",
    "fin",                                                        // credits
};

enum class Damage { missing, halved, random };

struct Case {
    const char* file;
    Damage damage;
};

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (const char* file : dataFiles)
        for (Damage damage : {Damage::missing, Damage::halved, Damage::random})
            cases.push_back({file, damage});
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        if (c == '.')
            c = '_';
    const char* damage[] = {"missing", "halved", "random"};
    return name + "_" + damage[static_cast<int>(info.param.damage)];
}

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void damage(const fs::path& path, Damage how, unsigned seed)
{
    if (how == Damage::missing) {
        fs::remove(path);
        return;
    }
    auto size = fs::file_size(path);
    if (how == Damage::halved) {
        fs::resize_file(path, size / 2);
        return;
    }
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Line {
    int order = 0;
    std::string scene;
};

std::vector<Line> readLog(const fs::path& path)
{
    std::vector<Line> lines;
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);  // frame,seconds,order,row,scene,t
    while (std::getline(in, text)) {
        std::vector<std::string> fields;
        std::stringstream row(text);
        std::string field;
        while (std::getline(row, field, ','))
            fields.push_back(field);
        Line line;
        line.order = fields.size() > 2 ? std::atoi(fields[2].c_str()) : -1;
        line.scene = fields.size() > 4 ? fields[4] : "";
        lines.push_back(line);
    }
    return lines;
}

// Space every other frame once the scenes run, more presses than there are orders, then Escape.
const int escapeFrame = 140;

std::string keyScript()
{
    std::string keys;
    for (int frame = 30; frame < 30 + 2 * 45; frame += 2)
        keys += std::to_string(frame) + ":space,";
    return keys + std::to_string(escapeFrame) + ":escape";
}

class BrokenData : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(BrokenData, TheDemoRunsOnAndEndsNormally)
{
    const Case& c = GetParam();
    fs::path dir = fs::temp_directory_path() / ("broken_data_" + std::to_string(::getpid()) + "_" +
                                                caseName({c, 0}));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    for (const char* file : dataFiles)
        fs::copy_file(fs::path(DATA_DIR) / file, dir / "data" / file);
    unsigned seed = 1;
    for (char ch : caseName({c, 0}))
        seed = seed * 31 + static_cast<unsigned char>(ch);
    damage(dir / "data" / c.file, c.damage, seed);

    std::string command = "cd '" + dir.string() + "' && '" CAPTURE_EXE "' --log log.csv --keys " + keyScript() +
                          " >stdout 2>stderr";
    int raw = std::system(command.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::string out = slurp(dir / "stdout");
    std::string err = slurp(dir / "stderr");
    std::vector<Line> log = readLog(dir / "log.csv");
    fs::remove_all(dir);

    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err.find("GL error"), std::string::npos) << err;

    // The damaged picture, wherever it is loaded, prints its text without "-> ok"; every other
    // picture loads. No damage here leaves a header the loader accepts.
    std::string expected;
    for (const char* picture : loadOrder) {
        std::string name = std::string(picture) + ".tga";
        expected += "Loading texture data/" + name;
        if (name != c.file)
            expected += "-> ok\n";
    }
    EXPECT_EQ(out, expected);

    ASSERT_FALSE(log.empty());
    bool moduleLost = std::string(c.file) == "glimo.it" && c.damage != Damage::halved;
    if (moduleLost) {
        EXPECT_NE(err.find("plomvardix: the module data/glimo.it could not be loaded"), std::string::npos) << err;
        for (const Line& line : log) {
            EXPECT_EQ(line.order, 0);
            if (!line.scene.empty())
                EXPECT_EQ(line.scene, "TitleScene");
        }
        EXPECT_EQ(log.back().scene, "TitleScene") << "the run ends on Escape";
    } else {
        EXPECT_EQ(err, "");
        // The presses take the music through every order to 39, which ends the demo.
        EXPECT_EQ(log.back().order, 39);
        EXPECT_EQ(log.back().scene, "");
        EXPECT_LT(log.size(), static_cast<size_t>(escapeFrame));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, BrokenData, ::testing::ValuesIn(allCases()), caseName);
