// The names of a take's parts: the output's name with -001, -002, … before its extension
// ("take.wav" gives "take-001.wav"). A take split by length is all parts; a take that reached
// the largest WAV file goes on from its own name into its first part.
#pragma once

#include <QString>

QString takePartPath(const QString &path, int part);
