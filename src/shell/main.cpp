// plomvardix: the demo itself, on the live back end. It takes no arguments.
#include "shell/driver.h"

int main()
{
    return demoMain();
}
