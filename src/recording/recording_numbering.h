// Names of numbered recordings: <program folder>/Wav/Enreg_01.wav, Enreg_02.wav, … Enreg_09.wav,
// Enreg_10.wav, … Enreg_100.wav; the first number whose file does not exist, nor the first part
// of a take split under that name (Enreg_03-001.wav), is the next one.
#pragma once

#include <QString>

// The path of recording number n (1 to 32767) in the program folder's "Wav" folder.
QString numberedRecordingPath(const QString &programFolder, int number);

// The first free numbered path, gaps first; empty when all 32767 numbers are taken.
QString nextNumberedRecordingPath(const QString &programFolder);
