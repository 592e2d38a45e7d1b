// Writes uncompressed true-colour TGA files, the one kind the demo's texture loader reads.
#pragma once
#include <cstdint>
#include <vector>

namespace forge {

// Encodes rgba (R,G,B,A per pixel, rows top first) as a type 2 TGA of 24 or 32 bits: no identification
// field, no colour map, zero origin, rows stored bottom row first (the quads' bottom edge comes first).
std::vector<uint8_t> encodeTga(int width, int height, int bits, const std::vector<uint8_t>& rgba);

}
