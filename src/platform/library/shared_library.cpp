#include "platform/library/shared_library.h"

#include "common/file_names.h"

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

Status SharedLibrary::open(const QString &path)
{
    close();
    ::dlerror(); // forget any earlier message
    void *handle = ::dlopen(fileNameBytes(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return Failure{loaderMessage("cannot load library")};
    m_handle = handle;
    m_path = path;
    return {};
}

void SharedLibrary::close()
{
    if (!m_handle)
        return;
    ::dlclose(m_handle); // a failure leaves the library mapped; nothing more can be done
    m_handle = nullptr;
    m_path.clear();
}

Result<void *> SharedLibrary::symbol(const char *name)
{
    if (!m_handle)
        return Failure{QStringLiteral("library not loaded")};
    ::dlerror();
    void *address = ::dlsym(m_handle, name);
    if (!address)
        return Failure{loaderMessage("symbol not found")};
    return address;
}
