// Plays the demo's tracker module and reports the playing position as (order, row).
#pragma once
#include <cstdint>

class MusicPlayer {
public:
    int init();
    uint32_t load(const char* path);
    void start();
    int resume();
    bool isPlaying() const { return playing != 0; }
    bool setPosition(int order, int row);
    void update();
    int order() const { return currentOrder; }
    int row() const { return currentRow; }
    int close();

    uint16_t currentRow;
    uint16_t currentOrder;
    int32_t positionScaler;
    uint32_t handle;
    uint32_t playing;
};

extern MusicPlayer music;
