#include "platform/library/shared_library.h"

#include <QFile>

#include <dlfcn.h>

namespace {

QString loaderMessage(const char *fallback)
{
    const char *message = ::dlerror();
    return QString::fromLocal8Bit(message ? message : fallback);
}

} // namespace

SharedLibrary::~SharedLibrary()
{
    close();
}

bool SharedLibrary::open(const QString &path)
{
    close();
    ::dlerror(); // forget any earlier message
    void *handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = loaderMessage("cannot load library");
        return false;
    }
    m_handle = handle;
    m_path = path;
    m_error.clear();
    return true;
}

void SharedLibrary::close()
{
    if (!m_handle)
        return;
    ::dlclose(m_handle); // a failure leaves the library mapped; nothing more can be done
    m_handle = nullptr;
    m_path.clear();
}

void *SharedLibrary::symbol(const char *name)
{
    if (!m_handle) {
        m_error = QStringLiteral("library not loaded");
        return nullptr;
    }
    ::dlerror();
    void *address = ::dlsym(m_handle, name);
    if (!address) {
        m_error = loaderMessage("symbol not found");
        return nullptr;
    }
    return address;
}
