// The loaded encoder library (liblameencshim.so) and its operations. It is looked for in
// $SONORIEL_LAME_SHIM when that is set, else beside the executable, then in the program's
// private library folder, then on the system's library path. A library that cannot be found or loaded,
// or lacks an operation, is an AppError carrying the loader's message.
#pragma once

#include "mp3/lameencshim/lameencshim.h"
#include "platform/library/shared_library.h"

#include <QString>

#include <memory>

class LameLibrary {
public:
    // Errors: 53 when no candidate file exists, 48 when the loader refuses the library, 453 when
    // an operation is missing; the text is the loader's message, the source errorSource(operation).
    static std::shared_ptr<LameLibrary> load(const QString &operation);

    decltype(&::beInitStream) beInitStream = nullptr;
    decltype(&::beEncodeChunk) beEncodeChunk = nullptr;
    decltype(&::beDeinitStream) beDeinitStream = nullptr;
    decltype(&::beCloseStream) beCloseStream = nullptr;
    decltype(&::beVersion) beVersion = nullptr;
    decltype(&::beInfoTag) beInfoTag = nullptr;

    const QString &path() const { return m_library.path(); }

private:
    SharedLibrary m_library;
};
