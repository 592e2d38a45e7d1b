// Replica of the program's generator, for counting the draws of the code under test.
#include "support/random_replica.h"

#include "render/random.h"

namespace testsupport {

static std::vector<int>& sequence()
{
    static std::vector<int> values;
    return values;
}

int replicaValue(long n)
{
    std::vector<int>& values = sequence();
    static uint32_t state = 1;
    while (static_cast<long>(values.size()) <= n) {
        state = state * 214013u + 2531011u;
        values.push_back(static_cast<int>((state >> 16) & 0x7FFF));
    }
    return values[n];
}

float replicaFloat(long n)
{
    return static_cast<float>(replicaValue(n)) * 3.0518509447574615e-05f;
}

long probePosition()
{
    int probe[probeDraws];
    for (int& v : probe)
        v = nextRandom();
    // Four 15-bit values in a row are unique over any stretch a test reaches; the search starts
    // where the last probe ended, since the generator never goes back.
    static long searchFrom = 0;
    for (long n = searchFrom; n < searchFrom + 2000000; n++) {
        bool match = true;
        for (int k = 0; k < probeDraws && match; k++)
            match = replicaValue(n + k) == probe[k];
        if (match) {
            searchFrom = n + probeDraws;
            return n;
        }
    }
    return -1;
}

LatticeLinks replayLatticeLinks(long start)
{
    const int steps[6][3] = {{0, 1, 0}, {0, -1, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
    LatticeLinks r;
    r.link.assign(80, -1);
    r.lastDrawLeftTheLattice.assign(80, false);
    long n = start;
    while (r.links < 80) {
        r.linkBeforeLastPass = r.link;
        for (int node = 0; node < 80; ++node) {
            const int* s = steps[replicaValue(n++) % 6];
            const int i = node / 16 + s[0], j = node / 4 % 4 + s[1], k = node % 4 + s[2];
            const bool inside = i >= 0 && i <= 4 && j >= 0 && j <= 3 && k >= 0 && k <= 3;
            r.lastDrawLeftTheLattice[node] = !inside;
            if (inside) {
                r.link[node] = 16 * i + 4 * j + k;
                ++r.links;
            }
        }
    }
    r.draws = n - start;
    return r;
}

}  // namespace testsupport
