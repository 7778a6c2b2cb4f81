#include "mp3/mp3_writer.h"

#include "common/app_error.h"

#include <new>
#include <span>

namespace {

[[noreturn]] void raise(int code, const char *operation, const QString &reason = {})
{
    static const char *const kTexts[] = {
        "",
        "Unable to allocate output buffer for writing",
        "Unable to open file for writing",
        "Cannot write more data than is available in the buffer",
        "File not open for writing",
        "Failed to write buffer to file",
    };
    throw AppError(29870 + code, QString::fromLatin1(kTexts[code]),
                   errorSource(QString::fromLatin1(operation)), reason);
}

} // namespace

cMp3Writer::~cMp3Writer()
{
    m_buffer.reset();
    (void)m_file.close();
}

void cMp3Writer::AllocateBuffer(std::int32_t size)
{
    if (size <= 0)
        raise(1, "AllocateBuffer");
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]());
    if (!buffer)
        raise(1, "AllocateBuffer");
    m_buffer = std::move(buffer);
}

void cMp3Writer::setBufferSize(std::int32_t lSize)
{
    m_buffer.reset();
    AllocateBuffer(lSize);
    m_bufferSize = lSize;
}

void cMp3Writer::OpenFile(const QString &name)
{
    Result<File> created = File::create(name);
    if (!created)
        raise(2, "OpenFile", created.reason());
    m_file = std::move(*created);
}

void cMp3Writer::setFileName(const QString &sFile)
{
    (void)m_file.close();
    m_fileName = sFile;
    if (!m_buffer)
        AllocateBuffer(m_bufferSize);
    OpenFile(sFile);
}

void cMp3Writer::checkWrite(std::int32_t lSize) const
{
    if (lSize > m_bufferSize)
        raise(3, "WriteBufferToFile");
    if (!m_file.isOpen() || !m_buffer)
        raise(4, "WriteBufferToFile");
    if (lSize < 0)
        raise(5, "WriteBufferToFile");
}

std::int32_t cMp3Writer::WriteBufferToFile(std::int32_t lSize)
{
    checkWrite(lSize);
    if (lSize == 0)
        return 0;
    const Status written =
        m_file.write(std::span<const std::uint8_t>(m_buffer.get(), static_cast<std::size_t>(lSize)));
    if (!written)
        raise(5, "WriteBufferToFile", written.reason());
    return lSize;
}

void cMp3Writer::WriteBufferAtStart(std::int32_t lSize)
{
    checkWrite(lSize);
    if (lSize == 0)
        return;
    const Status written =
        m_file.writeAt(0, std::span<const std::uint8_t>(m_buffer.get(), static_cast<std::size_t>(lSize)));
    if (!written)
        raise(5, "WriteBufferToFile", written.reason());
}

Status cMp3Writer::CloseFile()
{
    return m_file.close();
}
