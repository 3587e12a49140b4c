// Stops with the run-time error whose code is given, after registering an
// exit hook that writes "hook" so that the hook's run can be seen.
#include <cstdio>
#include <cstdlib>

#include "output.h"
#include "runerror.h"

static void Hook() { WriteLine("hook"); }

int main(int argc, char **argv)
{
    AddExitHook(Hook);
    if (argc > 1)
        RunError(std::atoi(argv[1]));
    EndProgram(0);
}
