#include "recording/take_parts.h"

QString takePartPath(const QString &path, int part)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1) // no extension, or a name that only starts with a dot
        dot = path.size();
    return path.left(dot) + QStringLiteral("-%1").arg(part, 3, 10, QLatin1Char('0')) + path.mid(dot);
}
