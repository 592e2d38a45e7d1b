// The benchmarks' probe: a library preloaded into the demo (LD_PRELOAD) that times it from outside,
// so the product carries no instruments. It wraps a few SDL calls (buffer swap, audio device, the
// message box, sleeps, window and context creation) and, for the allocation count, malloc; it
// reads the driver's frameReport through the executable's symbol table. Everything it records
// goes into fixed arrays; the report is written when the process ends.
//
// Set through the environment by the bench scripts:
//   BENCH_MODE           live | startup | alloc (anything else: the probe stays out of the way)
//   BENCH_REPORT         file the report is appended to (default: standard error)
//   BENCH_EXEC_NS        CLOCK_MONOTONIC nanoseconds just before exec (bench-exec sets it)
//   BENCH_FLOOR_SECONDS  live: seconds of clear-and-swap before the loading bar (default 5)
//   BENCH_ORDER_SECONDS  live, alloc: seconds spent in each order before Space (0: never)
//   BENCH_UNTIL_ORDER    live, alloc: Escape once this order is reached
//   BENCH_LABEL          startup: the name of the run's line (live, offline)
//   BENCH_FRAME_LOG      live: also write every frame (ms, scene, order) to this file
#include "shell/driver.h"
#include "shell/scene.h"

#include <SDL.h>
#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

enum class Mode { Off, Live, Startup, Alloc };

uint64_t clockNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

double ms(uint64_t ns) { return static_cast<double>(ns) * 1e-6; }

template <class F>
F nextSymbol(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

double envNumber(const char* name, double fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return end == text ? fallback : value;
}

// --- configuration and the executable's globals -------------------------------------------------

struct Config {
    Mode mode = Mode::Off;
    const char* reportPath = nullptr;
    uint64_t execNs = 0;
    double floorSeconds = 5;
    double orderSeconds = 0;
    int untilOrder = -1;
    const char* label = "live";
};

Config config;
uintptr_t exeBase = 0;
const FrameReport* report = nullptr;
uint64_t loadNs = 0;
char loadAverageAtStart[64] = "?";

int findExeBase(dl_phdr_info* info, size_t, void*)
{
    exeBase = info->dlpi_addr;  // the first object listed is the program itself
    return 1;
}

// The address of a global of the executable, from its symbol table (the demo exports nothing).
const void* exeGlobal(const char* wanted)
{
    int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const void* found = nullptr;
    if (fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(sizeof(Elf64_Ehdr))) {
        void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const auto* bytes = static_cast<const unsigned char*>(map);
            const auto* header = static_cast<const Elf64_Ehdr*>(map);
            const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes + header->e_shoff);
            for (int i = 0; i < header->e_shnum && !found; ++i) {
                if (sections[i].sh_type != SHT_SYMTAB)
                    continue;
                const auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes + sections[i].sh_offset);
                const char* names = reinterpret_cast<const char*>(bytes + sections[sections[i].sh_link].sh_offset);
                size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
                for (size_t k = 0; k < count; ++k) {
                    if (ELF64_ST_TYPE(symbols[k].st_info) == STT_OBJECT &&
                        std::strcmp(names + symbols[k].st_name, wanted) == 0) {
                        found = reinterpret_cast<const void*>(exeBase + symbols[k].st_value);
                        break;
                    }
                }
            }
            munmap(map, static_cast<size_t>(st.st_size));
        }
    }
    close(fd);
    return found;
}

void readLoadAverage(char* out, size_t size)
{
    std::snprintf(out, size, "?");
    FILE* f = std::fopen("/proc/loadavg", "r");
    if (!f)
        return;
    double a = 0, b = 0, c = 0;
    if (std::fscanf(f, "%lf %lf %lf", &a, &b, &c) == 3)
        std::snprintf(out, size, "%.2f %.2f %.2f", a, b, c);
    std::fclose(f);
}

FILE* openReport()
{
    if (config.reportPath && *config.reportPath) {
        if (FILE* f = std::fopen(config.reportPath, "a"))
            return f;
    }
    return stderr;
}

// A report that begins with the machine's load, so that a figure is never read without it.
FILE* openReportWithLoad()
{
    FILE* out = openReport();
    char loadNow[64];
    readLoadAverage(loadNow, sizeof loadNow);
    std::fprintf(out, "load average (1, 5, 15 min): %s at the start, %s at the end; %ld cores online\n",
                 loadAverageAtStart, loadNow, sysconf(_SC_NPROCESSORS_ONLN));
    return out;
}

void closeReport(FILE* f)
{
    if (f != stderr)
        std::fclose(f);
    else
        std::fflush(f);
}

// --- scenes ---------------------------------------------------------------------------------------

constexpr int maxScenes = 16;  // slot 0: frames that rendered no scene
const Scene* scenePointers[maxScenes];
const char* sceneMangled[maxScenes];
int sceneCount = 1;
std::atomic<int> currentSlot{0};

int sceneSlot(const Scene* scene)
{
    if (!scene)
        return 0;
    for (int i = 1; i < sceneCount; ++i) {
        if (scenePointers[i] == scene)
            return i;
    }
    if (sceneCount == maxScenes)
        return 0;
    scenePointers[sceneCount] = scene;
    sceneMangled[sceneCount] = typeid(*scene).name();
    return sceneCount++;
}

std::string sceneName(int slot)
{
    if (slot == 0)
        return "(no scene)";
    int status = 0;
    char* plain = abi::__cxa_demangle(sceneMangled[slot], nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : sceneMangled[slot];
    std::free(plain);
    return name;
}

// --- samples ----------------------------------------------------------------------------------------

struct FrameSample {
    float ms;
    uint8_t slot;
    int16_t order;  // the music's order when the frame was swapped
};
constexpr size_t maxFrames = 1u << 20;
FrameSample frames[maxFrames];
size_t frameCount = 0;

constexpr size_t maxFloor = 1u << 19;
float floorFrames[maxFloor];
size_t floorCount = 0;
double floorSpanSeconds = 0;

struct AudioSample {
    uint64_t start;
    uint32_t busyNs;
    uint8_t slot;
};
constexpr size_t maxAudio = 1u << 17;
AudioSample audioSamples[maxAudio];
std::atomic<size_t> audioCount{0};
SDL_AudioCallback innerCallback = nullptr;
void* innerUserdata = nullptr;
int audioRate = 0;
int audioBufferFrames = 0;
char audioDriver[32] = "?";

// Start-up markers: what happened when, from exec to the first scene frame.
enum class Mark { Box, VideoInit, Window, Context, Swap, AudioInit, AudioOpen, AudioOpened, DelayStart, DelayEnd };
struct Marker {
    Mark what;
    uint64_t ns;
    uint32_t value;
};
constexpr int maxMarkers = 256;
Marker markers[maxMarkers];
int markerCount = 0;
bool sceneFramesBegun = false;
uint64_t textureUploadNs = 0;  // inside glTexImage2D before the first scene frame
uint64_t firstFrameNs = 0;
uint64_t lastSwapNs = 0;

void mark(Mark what, uint32_t value = 0)
{
    if (config.mode == Mode::Off || sceneFramesBegun || markerCount == maxMarkers)
        return;
    markers[markerCount++] = {what, clockNs(), value};
}

// --- allocations --------------------------------------------------------------------------------

// Who asked for memory: the first frame of the stack outside the C and C++ runtimes (and this
// probe), grouped by library.
enum Group { Project, Mesa, Glu, Sdl, X11, AudioLibs, OtherLibs, GroupCount };
const char* const groupNames[GroupCount] = {"project", "Mesa", "GLU", "SDL", "X11", "openmpt/pulse", "other"};

struct LoadedObject {
    uintptr_t low, high;
    bool runtime;
    bool exe;
    Group group;
    char name[48];
};
constexpr int maxObjects = 160;
LoadedObject objects[maxObjects];
int objectCount = 0;
std::atomic<bool> counting{false};
__thread bool insideHook __attribute__((tls_model("initial-exec"))) = false;

bool contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

int listObject(dl_phdr_info* info, size_t, void*)
{
    const char* path = info->dlpi_name ? info->dlpi_name : "";
    const char* base = std::strrchr(path, '/');
    base = base ? base + 1 : path;
    bool exe = info->dlpi_addr == exeBase && *path == '\0';
    for (int i = 0; i < info->dlpi_phnum && objectCount < maxObjects; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X))
            continue;
        LoadedObject& o = objects[objectCount++];
        o.low = info->dlpi_addr + ph.p_vaddr;
        o.high = o.low + ph.p_memsz;
        o.exe = exe;
        std::snprintf(o.name, sizeof o.name, "%s", exe ? "(the demo)" : base);
        o.runtime = !exe && (std::strncmp(base, "libc.so", 7) == 0 || std::strncmp(base, "libstdc++", 9) == 0 ||
                             std::strncmp(base, "libgcc_s", 8) == 0 || std::strncmp(base, "libm.so", 7) == 0 ||
                             std::strncmp(base, "ld-linux", 8) == 0 || contains(base, "bench_probe") ||
                             std::strncmp(base, "linux-vdso", 10) == 0 || *base == '\0');
        if (exe)
            o.group = Project;
        else if (contains(base, "GLU"))
            o.group = Glu;
        else if (contains(base, "SDL"))
            o.group = Sdl;
        else if (contains(base, "libGL") || contains(base, "gallium") || contains(base, "dri") ||
                 contains(base, "glapi") || contains(base, "LLVM") || contains(base, "libEGL") ||
                 contains(base, "libdrm") || contains(base, "libOSMesa"))
            o.group = Mesa;
        else if (contains(base, "libX") || contains(base, "libxcb") || contains(base, "libxshm"))
            o.group = X11;
        else if (contains(base, "openmpt") || contains(base, "pulse") || contains(base, "mpg123") ||
                 contains(base, "vorbis") || contains(base, "ogg") || contains(base, "sndfile"))
            o.group = AudioLibs;
        else
            o.group = OtherLibs;
    }
    return 0;
}

const LoadedObject* objectAt(uintptr_t address)
{
    for (int i = 0; i < objectCount; ++i) {
        if (address >= objects[i].low && address < objects[i].high)
            return &objects[i];
    }
    return nullptr;
}

// One place that asks for memory: the group and the demo's code that led there (0 on library
// threads), with the first library frame seen from it.
struct Site {
    uint8_t group;
    bool used;
    uintptr_t exeAddress;
    uintptr_t entry;
    uint64_t count;
};
constexpr int maxSites = 2048;
Site sites[maxSites];
std::atomic_flag sitesLock = ATOMIC_FLAG_INIT;
std::atomic<uint32_t> frameAllocations[GroupCount];
uint64_t sceneAllocations[maxScenes][GroupCount];
uint64_t sceneFrames[maxScenes];
uint32_t sceneMaxProject[maxScenes];

void countAllocation()
{
    void* stack[40];
    int depth = backtrace(stack, 40);
    Group group = OtherLibs;
    uintptr_t exeAddress = 0, entry = 0;
    bool grouped = false;
    for (int i = 1; i < depth; ++i) {
        auto address = reinterpret_cast<uintptr_t>(stack[i]);
        const LoadedObject* o = objectAt(address);
        if (!o || o->runtime)
            continue;
        if (!grouped) {
            group = o->group;
            grouped = true;
        }
        if (o->exe) {
            exeAddress = address;
            break;
        }
        entry = address;  // the library frame nearest the demo's code
    }
    if (group == Project)
        entry = 0;
    frameAllocations[group].fetch_add(1, std::memory_order_relaxed);

    uint64_t key = exeAddress * 7u + static_cast<uint64_t>(group);
    size_t slot = static_cast<size_t>(key % maxSites);
    while (sitesLock.test_and_set(std::memory_order_acquire)) {
    }
    for (int probe = 0; probe < maxSites; ++probe) {
        Site& s = sites[(slot + static_cast<size_t>(probe)) % maxSites];
        if (!s.used) {
            s = {static_cast<uint8_t>(group), true, exeAddress, entry, 1};
            break;
        }
        if (s.group == group && s.exeAddress == exeAddress) {
            ++s.count;
            break;
        }
    }
    sitesLock.clear(std::memory_order_release);
}

inline void noteAllocation()
{
    if (!counting.load(std::memory_order_relaxed) || insideHook)
        return;
    insideHook = true;
    countAllocation();
    insideHook = false;
}

void endAllocationFrame(int slot)
{
    ++sceneFrames[slot];
    for (int g = 0; g < GroupCount; ++g) {
        uint32_t n = frameAllocations[g].exchange(0, std::memory_order_relaxed);
        sceneAllocations[slot][g] += n;
        if (g == Project)
            sceneMaxProject[slot] = std::max(sceneMaxProject[slot], n);
    }
}

// --- the live drive: Space after a while in each order, Escape at the end ----------------------------

int drivenOrder = -1;
uint64_t orderSince = 0;
uint64_t lastPressNs = 0;
bool spacePressed = false;

// A key goes down now and comes up at the next buffer swap, so that the demo sees it held for a
// frame, as it would from a keyboard.
SDL_Keycode heldKey = 0;
SDL_Scancode heldCode = SDL_SCANCODE_UNKNOWN;

void keyEvent(Uint32 type, SDL_Keycode key, SDL_Scancode code)
{
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
}

void pressKey(SDL_Keycode key, SDL_Scancode code)
{
    keyEvent(SDL_KEYDOWN, key, code);
    heldKey = key;
    heldCode = code;
}

void drive(int order, uint64_t t)
{
    if (heldKey) {
        keyEvent(SDL_KEYUP, heldKey, heldCode);
        heldKey = 0;
        return;
    }
    if (order != drivenOrder) {
        drivenOrder = order;
        orderSince = t;
        spacePressed = false;
    }
    bool retry = t - lastPressNs > 1000000000u;  // a key the demo did not act on within a second
    if (config.untilOrder >= 0 && order >= config.untilOrder) {
        if (retry) {
            pressKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
            lastPressNs = t;
        }
        return;
    }
    if (config.orderSeconds > 0 && static_cast<double>(t - orderSince) * 1e-9 >= config.orderSeconds &&
        (!spacePressed || retry)) {
        pressKey(SDLK_SPACE, SDL_SCANCODE_SPACE);
        spacePressed = true;
        lastPressNs = t;
    }
}

// --- reports --------------------------------------------------------------------------------------

double percentile(std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

void writeFrameTable(FILE* out)
{
    std::vector<double> floorMs(floorFrames, floorFrames + floorCount);
    std::sort(floorMs.begin(), floorMs.end());
    double floorFps = floorSpanSeconds > 0 ? static_cast<double>(floorCount) / floorSpanSeconds : 0;
    std::fprintf(out, "\nframes (buffer swap to buffer swap, 640 x 480, same window and context):\n");
    std::fprintf(out, "%-26s %7s %8s %8s %9s %8s %8s %8s\n", "", "frames", "seconds", "fps", "fps/floor",
                 "p50 ms", "p99 ms", "max ms");
    std::fprintf(out, "%-26s %7zu %8.1f %8.1f %9s %8.2f %8.2f %8.2f\n", "floor: clear and swap", floorCount,
                 floorSpanSeconds, floorFps, "1", percentile(floorMs, 0.5), percentile(floorMs, 0.99),
                 floorMs.empty() ? 0.0 : floorMs.back());
    for (int slot = 0; slot <= sceneCount; ++slot) {
        std::vector<double> values;
        double seconds = 0;
        for (size_t i = 0; i < frameCount; ++i) {
            if (slot == sceneCount || frames[i].slot == slot) {
                values.push_back(frames[i].ms);
                seconds += frames[i].ms * 1e-3;
            }
        }
        if (values.empty())
            continue;
        std::sort(values.begin(), values.end());
        double fps = static_cast<double>(values.size()) / seconds;
        std::fprintf(out, "%-26s %7zu %8.1f %8.1f %9.3f %8.2f %8.2f %8.2f\n",
                     slot == sceneCount ? "all scenes" : sceneName(slot).c_str(), values.size(), seconds, fps,
                     floorFps > 0 ? fps / floorFps : 0.0, percentile(values, 0.5), percentile(values, 0.99),
                     values.back());
    }
}

void writeAudioTable(FILE* out)
{
    size_t audioTotal = std::min(audioCount.load(), maxAudio);
    if (audioTotal == 0 || audioRate == 0) {
        std::fprintf(out, "\naudio: no callbacks recorded\n");
        return;
    }
    double bufferMs = 1000.0 * audioBufferFrames / audioRate;
    std::fprintf(out,
                 "\naudio callbacks during the scenes (SDL driver \"%s\", %d frames at %d Hz: buffer %.2f ms).\n"
                 "interval: start to start, in buffers; late: intervals over 1.5 buffers; fell behind: how much\n"
                 "further the callbacks fell behind the sink's pace (one buffer per buffer duration) during the\n"
                 "scene, net: about the silence the sink played instead, give or take what it holds; busy: time\n"
                 "inside the callback\n",
                 audioDriver, audioBufferFrames, audioRate, bufferMs);
    std::fprintf(out, "%-26s %6s %8s %8s %8s %6s %11s %9s %8s\n", "", "calls", "int p50", "int p99", "int max",
                 "late", "fell behind", "busy p99", "busy max");
    double bufferNs = bufferMs * 1e6;
    size_t first = audioTotal;
    for (size_t i = 0; i < audioTotal; ++i) {
        if (audioSamples[i].start >= firstFrameNs) {
            first = i;
            break;
        }
    }
    // start_k - k * buffer against its lowest value so far: how far behind the pace callback k is.
    std::vector<double> fell(audioTotal, 0.0), interval(audioTotal, 0.0);
    double lowest = 0, previousBehind = 0;
    for (size_t i = first; i < audioTotal; ++i) {
        double pace = static_cast<double>(audioSamples[i].start - audioSamples[first].start) -
                      static_cast<double>(i - first) * bufferNs;
        lowest = std::min(lowest, pace);
        double behind = (pace - lowest) * 1e-6;
        if (i > first) {
            interval[i] = static_cast<double>(audioSamples[i].start - audioSamples[i - 1].start) * 1e-6;
            fell[i] = behind - previousBehind;
        }
        previousBehind = behind;
    }
    for (int slot = 1; slot <= sceneCount; ++slot) {
        std::vector<double> in, busy;
        int late = 0;
        double fellMs = 0;
        for (size_t i = first + 1; i < audioTotal; ++i) {
            if (slot != sceneCount && audioSamples[i].slot != slot)
                continue;
            in.push_back(interval[i] / bufferMs);
            late += interval[i] > 1.5 * bufferMs;
            fellMs += fell[i];
            busy.push_back(audioSamples[i].busyNs * 1e-6);
        }
        if (in.empty())
            continue;
        std::sort(in.begin(), in.end());
        std::sort(busy.begin(), busy.end());
        char fellText[32];
        std::snprintf(fellText, sizeof fellText, "%.0f ms", fellMs);
        std::fprintf(out, "%-26s %6zu %8.2f %8.2f %8.2f %6d %11s %9.2f %8.2f\n",
                     slot == sceneCount ? "all scenes" : sceneName(slot).c_str(), in.size(), percentile(in, 0.5),
                     percentile(in, 0.99), in.back(), late, fellText, percentile(busy, 0.99), busy.back());
    }
}

// Every frame's time, scene and music order, one a line, for a closer look at the slow ones.
void writeFrameLog(const char* path)
{
    FILE* out = std::fopen(path, "w");
    if (out == nullptr)
        return;
    for (size_t i = 0; i < frameCount; ++i)
        std::fprintf(out, "%.3f %s %d\n", frames[i].ms, sceneName(frames[i].slot).c_str(), frames[i].order);
    std::fclose(out);
}

void writeLiveReport()
{
    if (const char* path = std::getenv("BENCH_FRAME_LOG"))
        writeFrameLog(path);
    FILE* out = openReportWithLoad();
    writeFrameTable(out);
    writeAudioTable(out);
    closeReport(out);
}

// Start-up: one line of name=milliseconds fields, from exec to the first scene frame.
void writeStartupLine()
{
    uint64_t start = config.execNs ? config.execNs : loadNs;
    double asked = 0, slept = 0;
    uint64_t delayStart = 0;
    // Work between buffer swaps, sleeps taken out; the swaps are the loading bar's frames.
    std::vector<double> swapWork;
    uint64_t from = start, sleptSince = 0;
    double audioMs = 0;
    uint64_t audioFrom = 0, windowNs = 0, contextNs = 0, boxNs = 0, videoNs = 0;
    for (int i = 0; i < markerCount; ++i) {
        const Marker& m = markers[i];
        switch (m.what) {
        case Mark::DelayStart:
            asked += m.value;
            delayStart = m.ns;
            break;
        case Mark::DelayEnd:
            slept += ms(m.ns - delayStart);
            sleptSince += m.ns - delayStart;
            break;
        case Mark::Swap:
            swapWork.push_back(ms(m.ns - from - sleptSince));
            from = m.ns;
            sleptSince = 0;
            break;
        case Mark::AudioInit:
            if (!audioFrom)
                audioFrom = m.ns;
            break;
        case Mark::AudioOpen:
            if (!audioFrom)
                audioFrom = m.ns;
            break;
        case Mark::AudioOpened:
            audioMs += ms(m.ns - audioFrom);
            break;
        case Mark::Box: boxNs = boxNs ? boxNs : m.ns; break;
        case Mark::VideoInit: videoNs = videoNs ? videoNs : m.ns; break;
        case Mark::Window: windowNs = windowNs ? windowNs : m.ns; break;
        case Mark::Context: contextNs = contextNs ? contextNs : m.ns; break;
        }
    }
    double firstFrame = ms(firstFrameNs - from - sleptSince);
    double total = ms(firstFrameNs - start);

    FILE* out = openReport();
    std::fprintf(out, "%s total=%.1f asked_sleeps=%.0f slept=%.1f rest=%.1f", config.label, total, asked, slept,
                 total - slept);
    std::fprintf(out, " exec_to_probe=%.1f", ms(loadNs - start));
    uint64_t windowFrom = boxNs ? boxNs : (videoNs ? videoNs : loadNs);
    std::fprintf(out, " probe_to_window_system=%.1f", ms(windowFrom - loadNs));
    if (windowNs && contextNs)
        std::fprintf(out, " sdl_video_and_window=%.1f gl_context=%.1f", ms(windowNs - windowFrom),
                     ms(contextNs - windowNs));
    // The loading bar's frames: 0, 10, 15 | module | 40..48 before each object's load | 49 | 100.
    static const char* const labels[] = {
        "first_bar", "clock_start", "bar_15", "audio_and_module", "TitleScene", "GlyphBlurScene",
        "RadialBlur", "RingScene", "LaserTubeScene", "LatticeScene", "CreditsScene", "PlasmaScene",
        "Fader", "enter_first_scene"};
    for (size_t i = 0; i < swapWork.size(); ++i) {
        double value = swapWork[i];
        if (i == 0 && contextNs)
            value -= ms(contextNs - start);  // the first bar frame itself
        if (i == 3) {
            std::fprintf(out, " audio_device=%.1f", audioMs);
            value -= audioMs;
            std::fprintf(out, " module=%.1f", value);
            continue;
        }
        std::fprintf(out, " %s=%.1f", i < sizeof labels / sizeof *labels ? labels[i] : "bar", value);
    }
    std::fprintf(out, " first_scene_frame=%.1f texture_uploads=%.1f\n", firstFrame, ms(textureUploadNs));
    closeReport(out);
}

void writeAllocationReport()
{
    FILE* out = openReportWithLoad();
    std::fprintf(out, "\nheap allocations per frame after loading, by the first caller outside the C and C++\n"
                      "runtimes (every thread; \"project\" is the demo's own code):\n");
    std::fprintf(out, "%-22s %7s", "", "frames");
    for (int g = 0; g < GroupCount; ++g)
        std::fprintf(out, " %9s", groupNames[g]);
    std::fprintf(out, " %12s\n", "project max");
    uint64_t totalFrames = 0, total[GroupCount] = {};
    uint32_t worst = 0;
    for (int slot = 0; slot < sceneCount; ++slot) {
        if (!sceneFrames[slot])
            continue;
        totalFrames += sceneFrames[slot];
        worst = std::max(worst, sceneMaxProject[slot]);
        std::fprintf(out, "%-22s %7" PRIu64, sceneName(slot).c_str(), sceneFrames[slot]);
        for (int g = 0; g < GroupCount; ++g) {
            total[g] += sceneAllocations[slot][g];
            std::fprintf(out, " %9.1f", static_cast<double>(sceneAllocations[slot][g]) / sceneFrames[slot]);
        }
        std::fprintf(out, " %12u\n", sceneMaxProject[slot]);
    }
    if (totalFrames) {
        std::fprintf(out, "%-22s %7" PRIu64, "all scenes", totalFrames);
        for (int g = 0; g < GroupCount; ++g)
            std::fprintf(out, " %9.1f", static_cast<double>(total[g]) / totalFrames);
        std::fprintf(out, " %12u\n", worst);
    }

    // The busiest places, with the demo's function that led there.
    std::vector<Site> used;
    for (const Site& s : sites) {
        if (s.used)
            used.push_back(s);
    }
    std::sort(used.begin(), used.end(), [](const Site& a, const Site& b) { return a.count > b.count; });
    char exePath[512] = {};
    ssize_t n = readlink("/proc/self/exe", exePath, sizeof exePath - 1);
    if (n > 0)
        exePath[n] = '\0';
    std::fprintf(out, "\nwhere (all allocations after loading; the project's own first, then the busiest):\n");
    int shown = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const Site& s : used) {
            bool own = s.group == Project;
            if ((pass == 0) != own || (pass == 1 && shown >= 12))
                continue;
            std::string where = "(a library's own thread)";
            if (s.exeAddress && n > 0) {
                char command[700];
                std::snprintf(command, sizeof command, "addr2line -f -C -p -e '%s' 0x%" PRIxPTR " 2>/dev/null",
                              exePath, s.exeAddress - exeBase - 1);
                if (FILE* p = popen(command, "r")) {
                    char line[512];
                    if (std::fgets(line, sizeof line, p)) {
                        line[std::strcspn(line, "\n")] = '\0';
                        where = line;
                        size_t at = where.find(" at ");
                        size_t source = where.find("/src/", at == std::string::npos ? 0 : at);
                        if (at != std::string::npos && source != std::string::npos)
                            where = where.substr(0, at + 4) + where.substr(source + 1);
                    }
                    pclose(p);
                }
            }
            std::string entry;
            if (s.entry) {
                Dl_info info;
                const LoadedObject* o = objectAt(s.entry);
                if (dladdr(reinterpret_cast<void*>(s.entry), &info) && info.dli_sname)
                    entry = std::string(" via ") + info.dli_sname;
                if (o)
                    entry += std::string(" in ") + o->name;
            }
            std::fprintf(out, "%10.2f/frame %-8s %s%s\n",
                         totalFrames ? static_cast<double>(s.count) / totalFrames : 0.0, groupNames[s.group],
                         where.c_str(), entry.c_str());
            if (pass == 1)
                ++shown;
        }
        if (pass == 0 && !std::any_of(used.begin(), used.end(), [](const Site& s) { return s.group == Project; }))
            std::fprintf(out, "%10s       project  none\n", "0");
    }
    closeReport(out);
}

__attribute__((constructor)) void startProbe()
{
    const char* mode = std::getenv("BENCH_MODE");
    if (!mode)
        return;
    if (std::strcmp(mode, "live") == 0)
        config.mode = Mode::Live;
    else if (std::strcmp(mode, "startup") == 0)
        config.mode = Mode::Startup;
    else if (std::strcmp(mode, "alloc") == 0)
        config.mode = Mode::Alloc;
    else
        return;
    loadNs = clockNs();
    readLoadAverage(loadAverageAtStart, sizeof loadAverageAtStart);
    config.reportPath = std::getenv("BENCH_REPORT");
    config.execNs = static_cast<uint64_t>(envNumber("BENCH_EXEC_NS", 0));
    config.floorSeconds = envNumber("BENCH_FLOOR_SECONDS", 5);
    config.orderSeconds = envNumber("BENCH_ORDER_SECONDS", 0);
    config.untilOrder = static_cast<int>(envNumber("BENCH_UNTIL_ORDER", -1));
    if (const char* label = std::getenv("BENCH_LABEL"))
        config.label = label;
    // Keep the variables from the children the demo might start.
    unsetenv("LD_PRELOAD");

    dl_iterate_phdr(findExeBase, nullptr);
    report = static_cast<const FrameReport*>(exeGlobal("frameReport"));
    if (!report) {
        std::fprintf(stderr, "bench probe: no frameReport in the executable's symbol table (stripped?)\n");
        config.mode = Mode::Off;
        return;
    }
    if (config.mode == Mode::Alloc) {
        void* warm[4];
        backtrace(warm, 4);  // loads the unwinder now, not inside malloc
    }
}

__attribute__((destructor)) void endProbe()
{
    counting = false;
    if (config.mode == Mode::Live && sceneFramesBegun)
        writeLiveReport();
    else if (config.mode == Mode::Alloc && sceneFramesBegun)
        writeAllocationReport();
}

void runFloor(SDL_Window* window, void (*swap)(SDL_Window*))
{
    uint64_t begin = clockNs();
    uint64_t end = begin + static_cast<uint64_t>(config.floorSeconds * 1e9);
    uint64_t last = begin;
    while (last < end && floorCount < maxFloor) {
        glClear(GL_COLOR_BUFFER_BIT);
        glFlush();
        swap(window);
        uint64_t t = clockNs();
        floorFrames[floorCount++] = static_cast<float>(ms(t - last));
        last = t;
    }
    floorSpanSeconds = static_cast<double>(last - begin) * 1e-9;
}

void timedCallback(void*, Uint8* stream, int length)
{
    uint64_t begin = clockNs();
    innerCallback(innerUserdata, stream, length);
    uint64_t end = clockNs();
    size_t i = audioCount.load(std::memory_order_relaxed);
    if (i < maxAudio) {
        audioSamples[i] = {begin, static_cast<uint32_t>(end - begin),
                           static_cast<uint8_t>(currentSlot.load(std::memory_order_relaxed))};
        audioCount.store(i + 1, std::memory_order_release);
    }
}

}  // namespace

// --- the wrapped SDL calls ------------------------------------------------------------------------

extern "C" {

void SDL_GL_SwapWindow(SDL_Window* window)
{
    static auto realSwap = nextSymbol<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    if (config.mode == Mode::Off) {
        realSwap(window);
        return;
    }
    bool mainLoop = report->steps > 0;
    static bool floorRun = false;
    if (!mainLoop && !floorRun && config.mode == Mode::Live && config.floorSeconds > 0) {
        floorRun = true;
        runFloor(window, realSwap);
    }
    realSwap(window);
    uint64_t t = clockNs();
    if (!mainLoop) {
        mark(Mark::Swap);
        lastSwapNs = t;
        return;
    }
    int slot = report->rendered ? sceneSlot(report->scene) : 0;
    if (!sceneFramesBegun) {
        sceneFramesBegun = true;
        firstFrameNs = t;
        if (config.mode == Mode::Startup) {
            writeStartupLine();
            std::fflush(nullptr);
            _exit(0);
        }
        if (config.mode == Mode::Alloc) {
            objectCount = 0;
            dl_iterate_phdr(listObject, nullptr);
            for (auto& f : frameAllocations)
                f = 0;
            counting = true;
        }
    } else {
        if (frameCount < maxFrames)
            frames[frameCount++] = {static_cast<float>(ms(t - lastSwapNs)), static_cast<uint8_t>(slot),
                                    static_cast<int16_t>(report->order)};
        if (config.mode == Mode::Alloc)
            endAllocationFrame(slot);
    }
    currentSlot.store(slot, std::memory_order_relaxed);
    lastSwapNs = t;
    drive(report->order, t);
}

int SDL_ShowMessageBox(const SDL_MessageBoxData* box, int* buttonId)
{
    static auto realBox = nextSymbol<int (*)(const SDL_MessageBoxData*, int*)>("SDL_ShowMessageBox");
    if (config.mode == Mode::Off)
        return realBox(box, buttonId);
    mark(Mark::Box);
    // Answered at once with the button Escape would choose ("No" to "fullscreen?").
    for (int i = 0; i < box->numbuttons; ++i) {
        if (box->buttons[i].flags & SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT) {
            *buttonId = box->buttons[i].buttonid;
            return 0;
        }
    }
    *buttonId = box->numbuttons > 0 ? box->buttons[0].buttonid : -1;
    return 0;
}

int SDL_InitSubSystem(Uint32 flags)
{
    static auto realInit = nextSymbol<int (*)(Uint32)>("SDL_InitSubSystem");
    if (flags & SDL_INIT_VIDEO)
        mark(Mark::VideoInit);
    if (flags & SDL_INIT_AUDIO)
        mark(Mark::AudioInit);
    return realInit(flags);
}

SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags)
{
    static auto realCreate = nextSymbol<SDL_Window* (*)(const char*, int, int, int, int, Uint32)>("SDL_CreateWindow");
    SDL_Window* window = realCreate(title, x, y, w, h, flags);
    mark(Mark::Window);
    return window;
}

SDL_GLContext SDL_GL_CreateContext(SDL_Window* window)
{
    static auto realCreate = nextSymbol<SDL_GLContext (*)(SDL_Window*)>("SDL_GL_CreateContext");
    SDL_GLContext context = realCreate(window);
    mark(Mark::Context);
    return context;
}

void SDL_Delay(Uint32 milliseconds)
{
    static auto realDelay = nextSymbol<void (*)(Uint32)>("SDL_Delay");
    mark(Mark::DelayStart, milliseconds);
    realDelay(milliseconds);
    mark(Mark::DelayEnd);
}

SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int capture, const SDL_AudioSpec* desired,
                                      SDL_AudioSpec* obtained, int allowedChanges)
{
    static auto realOpen = nextSymbol<SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int)>(
        "SDL_OpenAudioDevice");
    if (config.mode == Mode::Off || !desired || !desired->callback || innerCallback)
        return realOpen(device, capture, desired, obtained, allowedChanges);
    mark(Mark::AudioOpen);
    SDL_AudioSpec wrapped = *desired;
    innerCallback = desired->callback;
    innerUserdata = desired->userdata;
    wrapped.callback = timedCallback;
    wrapped.userdata = nullptr;
    SDL_AudioSpec have;
    SDL_AudioSpec* audioFormat = obtained ? obtained : &have;
    SDL_AudioDeviceID id = realOpen(device, capture, &wrapped, audioFormat, allowedChanges);
    if (id != 0) {
        audioRate = audioFormat->freq;
        audioBufferFrames = audioFormat->samples;
        const char* driver = SDL_GetCurrentAudioDriver();
        std::snprintf(audioDriver, sizeof audioDriver, "%s", driver ? driver : "?");
        if (obtained) {
            obtained->callback = desired->callback;
            obtained->userdata = desired->userdata;
        }
    } else {
        innerCallback = nullptr;
    }
    mark(Mark::AudioOpened);
    return id;
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels)
{
    static auto realUpload = nextSymbol<void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                                                 const void*)>("glTexImage2D");
    uint64_t begin = clockNs();
    realUpload(target, level, internalFormat, width, height, border, format, type, pixels);
    if (!sceneFramesBegun)
        textureUploadNs += clockNs() - begin;
}

// --- allocation counting ---------------------------------------------------------------------------

void* malloc(size_t size)
{
    noteAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size)
{
    noteAllocation();
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size)
{
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (!p && size)
        return ENOMEM;
    *result = p;
    return 0;
}

}  // extern "C"
