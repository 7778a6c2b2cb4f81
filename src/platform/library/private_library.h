// Where the program finds its own libraries (the encoder library over LAME, and the parts of
// the program loaded only when used): beside the executable, then in the program's private
// library folder reached from the executable's folder (so a tree installed under any prefix,
// or moved, works, and so does the build tree, laid out the same way), then at that folder's
// installed path.
#pragma once

#include <QString>
#include <QStringList>

QStringList privateLibraryCandidates(const QString &fileName);

// The first candidate that exists, or the first candidate when none does (for the message).
QString findPrivateLibrary(const QString &fileName);
