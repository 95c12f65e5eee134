// Program entry of pellwood. Until the engine's start-up lands this only
// reports its version, so that the build and ./run.sh are exercised end to end.
#include <cstdio>

#include "Version.h"

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    std::printf("pellwood %s: the engine does not start yet.\n", PELLWOOD_VERSION_STRING);
    return 0;
}
