// `sonoriel devices`: one line per capture device, "INDEX: NAME", in the recorder's order.
#include "app/cli/command_line.h"

#include "recording/wave_in_recorder.h"

#include <QTextStream>

namespace cli {

int runDevices(const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return usageErrorFor(QStringLiteral("devices"),
                             QStringLiteral("Argument inattendu : %1").arg(arguments.first()));
    QString problem;
    WaveInRecorder recorder(createAudioBackend(&problem));
    if (!recorder.hasBackend()) {
        printError(problem);
        return kExitFailure;
    }
    QTextStream out(stdout);
    const int count = recorder.DeviceCount();
    for (int i = 0; i < count; ++i)
        out << i << ": " << recorder.DeviceName(i) << '\n';
    return kExitOk;
}

} // namespace cli
