// The window part's entry point, which the program calls once it has loaded the part.
#include "app/cli/program_parts.h"
#include "app/window/window_main.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) int sonorielRunWindow(int argc, char **argv)
{
    return runMainWindow(argc, argv);
}

static_assert(std::is_same_v<decltype(&sonorielRunWindow), WindowEntry>);
