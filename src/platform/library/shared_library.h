// A shared library loaded at run time (dlopen): open by path, look up a symbol, and the
// loader's own message when either fails. The handle is closed by the destructor.
#pragma once

#include <QString>

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary &) = delete;
    SharedLibrary &operator=(const SharedLibrary &) = delete;

    // Loads the library (symbols resolved now, kept local to it). False with errorText() set
    // when the loader refuses; a library already open is closed first.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    const QString &path() const { return m_path; }

    // The address of the symbol; nullptr with errorText() set when the library lacks it.
    void *symbol(const char *name);

    // The loader's message for the last failure.
    const QString &errorText() const { return m_error; }

private:
    void *m_handle = nullptr;
    QString m_path;
    QString m_error;
};
