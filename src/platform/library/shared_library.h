// A shared library loaded at run time (dlopen): open by path and look up a symbol; a failure
// carries the loader's own message. The handle is closed by the destructor.
#pragma once

#include "common/result.h"

#include <QString>

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary &) = delete;
    SharedLibrary &operator=(const SharedLibrary &) = delete;

    // Loads the library (symbols resolved now, kept local to it); a library already open is
    // closed first.
    Status open(const QString &path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    const QString &path() const { return m_path; }

    // The address of the symbol.
    Result<void *> symbol(const char *name);

private:
    void *m_handle = nullptr;
    QString m_path;
};
