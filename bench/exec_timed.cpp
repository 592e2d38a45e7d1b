// bench-exec: runs a program with the monotonic clock's reading at the moment of exec in
// BENCH_EXEC_NS, so that the probe can time the process from its very start. BENCH_PROBE, when
// set, is preloaded into the program (and not into this launcher).
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-exec PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
    setenv("BENCH_EXEC_NS", text, 1);
    if (const char* probe = std::getenv("BENCH_PROBE"))
        setenv("LD_PRELOAD", probe, 1);
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
}
