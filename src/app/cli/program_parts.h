// The program's parts that are loaded when used, and their entry points. Each is a library of
// the program's private library folder that exports one C function.
#pragma once

#include <QStringList>

// The recorder part: runs record, devices or formats with its arguments; the exit status.
inline constexpr const char *kRecorderPartFile = "libsonoriel-recorder.so";
inline constexpr const char *kRecorderEntry = "sonorielRunRecorderCommand";
using RecorderEntry = int (*)(const char *name, const QStringList *arguments);
extern "C" int sonorielRunRecorderCommand(const char *name, const QStringList *arguments);

// The window part: runs the main window on a QApplication of its own; the exit status.
inline constexpr const char *kWindowPartFile = "libsonoriel-window.so";
inline constexpr const char *kWindowEntry = "sonorielRunWindow";
using WindowEntry = int (*)(int argc, char **argv);
extern "C" int sonorielRunWindow(int argc, char **argv);
