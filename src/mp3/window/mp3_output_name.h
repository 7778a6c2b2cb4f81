// The file-name rules of the conversion window: whether a typed MP3 name can be written, the
// name proposed for the MP3 file from the source's, and whether two names are one file.
#pragma once

#include <QString>

// True when no file of that name exists yet, the folder before the last separator is named and
// exists, and more than two characters follow that separator.
bool isUsableMp3Name(const QString &name);

// The source's file name without its last four characters ("/music/concert.wav" proposes
// "concert"); empty for an empty source.
QString proposedMp3Name(const QString &sourcePath);
