// The program's one pseudo-random sequence, the same in every run on every platform.
#pragma once

int nextRandom();      // 0..32767
float randomFloat();   // 0..1
