// Two identical captures give the same files byte for byte: frames, sound and log.
#include "support/capture_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using capture_support::slurp;

TEST(Determinism, TwoIdenticalCapturesGiveIdenticalFiles)
{
    fs::path dir = fs::temp_directory_path() / ("determinism_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    // Frames from the loading bar, the first scenes and their fades, and the ring scene's blur and smoke.
    const std::string options =
        " --frames 5,40,90,130-131,175 --keys 60:space,70:space,80:space,100:space,110:space,120:space,"
        "150:space,190:escape";
    for (const char* run : {"a", "b"}) {
        fs::path out = dir / run;
        fs::create_directories(out);
        std::string command = "'" CAPTURE_EXE "' --out '" + (out / "frames").string() + "' --log '" +
                              (out / "log.csv").string() + "' --wav '" + (out / "audio.wav").string() + "'" +
                              options + " >'" + (out / "stdout").string() + "' 2>'" + (dir / run).string() + ".err'";
        int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command << "\n" << slurp(dir / (std::string(run) + ".err"));
    }

    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "a")) {
        if (!entry.is_regular_file())
            continue;
        fs::path relative = fs::relative(entry.path(), dir / "a");
        std::string first = slurp(entry.path());
        EXPECT_FALSE(first.empty()) << relative;
        EXPECT_TRUE(first == slurp(dir / "b" / relative)) << relative << " differs between the two runs";
        ++files;
    }
    // Standard error is left out: the runner's progress lines there carry its speed.
    EXPECT_EQ(files, 6 + 3) << "six frames, the log, the sound and the printed text";
    fs::remove_all(dir);
}
