// `sonoriel devices`: one line per capture device, "INDEX: NAME", in the recorder's order, and
// under each its mixer lines, "  LINE: NAME", the selected one marked with "*" and its volume.
#include "app/cli/subcommands.h"
#include "app/recorder/recorder_commands.h"

#include "recording/wave_in_recorder.h"

#include <QTextStream>

namespace cli {

int runDevices(const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return usageErrorFor(QStringLiteral("devices"),
                             QStringLiteral("Argument inattendu : %1").arg(arguments.first()));
    QString notice;
    Result<std::unique_ptr<AudioBackend>> backend = createAudioBackend(&notice);
    if (!backend) {
        printError(backend.reason());
        return kExitFailure;
    }
    WaveInRecorder recorder(std::move(backend).value());
    if (!notice.isEmpty())
        printError(notice);
    QTextStream out(stdout);
    const int count = recorder.DeviceCount();
    if (count == 0)
        printError(QStringLiteral("Aucun périphérique de capture."));
    for (int i = 0; i < count; ++i) {
        out << i << ": " << recorder.DeviceName(i) << '\n';
        if (!recorder.SelectDevice(i))
            continue; // gone since the list was read: no lines to show
        const int selected = recorder.SelectedMixerLine();
        for (int line = 0; line < recorder.MixerLineCount(); ++line) {
            out << "  " << line << ": " << recorder.MixerLineName(line);
            if (line == selected)
                out << " * (volume " << recorder.MixerLineVolume() << ")";
            out << '\n';
        }
    }
    return kExitOk;
}

} // namespace cli
