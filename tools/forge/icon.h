// The desktop icon: the ring and the group's "z", painted at each size the package installs.
#pragma once
#include <string>

namespace forge {

// Writes FOLDER/SIZExSIZE/apps/plomvardix.png for every size, the hicolor theme's layout.
bool writeIcons(const std::string& folder);

}
