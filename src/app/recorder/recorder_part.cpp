// The recorder part's entry point, which the program calls once it has loaded the part.
#include "app/cli/program_parts.h"
#include "app/recorder/recorder_commands.h"

#include <cstring>
#include <type_traits>

extern "C" __attribute__((visibility("default"))) int sonorielRunRecorderCommand(const char *name,
                                                                                 const QStringList *arguments)
{
    if (std::strcmp(name, "record") == 0)
        return cli::runRecord(*arguments);
    if (std::strcmp(name, "devices") == 0)
        return cli::runDevices(*arguments);
    return cli::runFormats(*arguments);
}

// The entry's type is the one the program calls it with.
static_assert(std::is_same_v<decltype(&sonorielRunRecorderCommand), RecorderEntry>);
