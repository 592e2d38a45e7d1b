// Placeholder.
#include "shell/driver.h"
int main() { return demoMain(); }
