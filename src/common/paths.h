// Paths and files: the separator rule, the existence test, and the per-user recordings folder.
#pragma once

#include <QString>

// The path unchanged when it already ends with the separator, else followed by it.
QString AddBackslash(const QString &path);

// True when path names an existing ordinary file (not a folder, device or broken link).
bool FileExists(const QString &path);

// The folder that holds the program's recordings: $SONORIEL_HOME when set, else the user's
// music folder + "/Sonoriel". Not created here.
QString programFolder();

// programFolder() + "Wav", created (with its parents) when missing. Empty when it cannot be
// created.
QString ensureRecordingsFolder();
