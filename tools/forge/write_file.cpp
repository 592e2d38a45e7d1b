// The forge's one way to put bytes on disk.
#include "write_file.h"

#include <cstdio>

namespace forge {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = bytes.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file)
        ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "forge: cannot write %s\n", path.c_str());
    return ok;
}

} // namespace forge
