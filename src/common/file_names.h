// File names are bytes on this system and need not be valid UTF-8 (a name made on another
// system, a copy from an old disk). A QString carries any name without loss when valid UTF-8
// decodes as usual and each byte that is not part of it is kept as a code unit of its own,
// U+DC80 to U+DCFF for the bytes 0x80 to 0xFF (the "surrogate escape" that Python uses): no
// valid UTF-8 decodes to those units, so the way back is exact. Ordinary names read, show and
// compare as they always have; only the bytes that are no text are carried as escapes.
//
// Qt's own conversion (QFile::encodeName and decodeName) turns such bytes into U+FFFD, which
// names another file or none, so every path that reaches the system goes through these two.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The name as a QString, every byte kept.
QString fileNameFromBytes(QByteArrayView bytes);
// The bytes of a name made by fileNameFromBytes (or typed as text), for the system's calls.
QByteArray fileNameBytes(const QString &name);
// The length of the file of that name now, 0 when it cannot be examined (removed meanwhile).
qint64 fileLengthNow(const QString &name);
