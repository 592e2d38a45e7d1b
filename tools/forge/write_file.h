// The forge's one way to put bytes on disk.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace forge {

// Writes bytes to path; says why on standard error and returns false when it cannot. Empty bytes
// are a failed encoding and are never written.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace forge
