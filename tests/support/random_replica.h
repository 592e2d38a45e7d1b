// A test-side copy of the program's random generator, used to tell how many numbers a piece of
// code drew: probePosition() draws a few values from the real generator and finds them in the
// replica's sequence, so its result counts every call made in the process so far.
#pragma once
#include <cstdint>
#include <vector>

namespace testsupport {

// The value the real generator returns on call number n (0-based) of the process.
int replicaValue(long n);

// Number of calls the real generator had served before this probe. The probe itself draws
// probeDraws further numbers, so the next probe's result is at least this one's + probeDraws.
constexpr int probeDraws = 4;
long probePosition();

// randomFloat() of call number n.
float replicaFloat(long n);

// The lattice scene's load replayed from call number `start`: whole passes of one draw per node (80
// nodes in a 5 x 4 x 4 grid, each drawing one of six steps) until 80 links are made.
struct LatticeLinks {
    long draws = 0;
    int links = 0;                          // made over all passes
    std::vector<int> link;                  // each node's neighbour index, -1 for none
    std::vector<int> linkBeforeLastPass;
    std::vector<bool> lastDrawLeftTheLattice;
};
LatticeLinks replayLatticeLinks(long start);

}  // namespace testsupport
