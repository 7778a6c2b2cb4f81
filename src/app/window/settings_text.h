// The main window's small text rules: numbers read back from the persisted settings, the
// volume percentage, and the output file name taken from the chooser.
#pragma once

#include <QString>

// The value of the longest leading part of text that reads as a number ("50", "-1", "12.5x"
// gives 12.5), 0 when there is none; rounded to a whole number, halves to even.
int leadingWholeNumber(const QString &text);

// The volume as the window shows it: the whole part of value * 100 / maximum, then "%"
// (65535 of 65535 gives "100%", 32767 gives "49%").
QString volumePercentText(int value, int maximum);

// The chooser's name with ".wav" appended unless its last four characters, lower-cased, are
// already ".wav" (whatever the encoder's extension).
QString recordingFileName(const QString &chosen);
