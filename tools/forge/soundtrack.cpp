// The demo's soundtrack: the composed module, serialised by the Impulse Tracker writer.
#include "soundtrack.h"

#include "composition.h"
#include "it_writer.h"
#include "write_file.h"

namespace forge {

bool writeSoundtrack(const std::string& path)
{
    return writeFile(path, it::serialise(composeSoundtrack()));
}

} // namespace forge
