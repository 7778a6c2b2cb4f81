// Sonoriel's entry point: a subcommand runs headless on the engine classes; without one the
// main window opens.
#include "app/cli/command_line.h"

int main(int argc, char **argv)
{
    return runCommandLine(argc, argv);
}
