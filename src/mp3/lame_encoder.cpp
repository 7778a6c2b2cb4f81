#include "mp3/lame_encoder.h"

#include "common/app_error.h"
#include "common/paths.h"
#include "mp3/lame_library.h"
#include "mp3/mp3_writer.h"
#include "mp3/wav_reader.h"
#include "platform/files/replacement_file.h"

#include <bit>
#include <limits>

// The reader's buffer goes to the library as 16-bit samples in the machine's order, which is
// the file's order only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

const QString kConvert = QStringLiteral("lameConvert");

// The source rates the library is given. Outside them it either refuses the stream or
// resamples by factors that make no sound of it (a header that says 1 Hz turns 10000 frames
// into hours of MP3): such a rate is a damaged header, not a recording.
constexpr std::uint32_t kLowestSourceRateHz = 1000;
constexpr std::uint32_t kHighestSourceRateHz = 768000;

} // namespace

void RaiseError(const QString &operation, std::int32_t code, bool isLibraryResult)
{
    if (isLibraryResult && code == 0)
        return;
    static const char *const kLibraryTexts[] = {
        "", "Invalid Format", "Invalid Format Parameters", "Out of LAME handles",
        "LAME handle is invalid", "Buffer is too small",
    };
    QString text;
    if (isLibraryResult && code >= 1 && code <= 5)
        text = QString::fromLatin1(kLibraryTexts[code]);
    else if (!isLibraryResult && code == 1)
        text = QStringLiteral("Lame engine not initialised");
    throw AppError(29770 + code, text, errorSource(operation));
}

cLameEncoder::cLameEncoder()
{
    m_record.config = kLameConfigKind;
    m_record.structVersion = 1;
    m_record.structSize = kLameConfigRecordBytes;
    m_record.sampleRate = 44100;
    m_record.mode = 1;
    m_record.bitrate = 128;
    m_record.preset = 4;
    m_record.mpegVersion = 1;
    m_record.original = 1;
    m_record.writeVbrHeader = 1;
    m_record.noReservoir = 1;
    storeRecord();
}

cLameEncoder::~cLameEncoder()
{
    closeQuietly();
}

// Each property is one field of the record.
std::int32_t cLameEncoder::EncodingPreset() const { return m_record.preset; }
void cLameEncoder::setEncodingPreset(std::int32_t value)
{
    m_record.preset = value;
    storeRecord();
}
std::int32_t cLameEncoder::BitRate() const { return static_cast<std::int32_t>(m_record.bitrate); }
void cLameEncoder::setBitRate(std::int32_t value)
{
    m_record.bitrate = static_cast<std::uint32_t>(value);
    storeRecord();
}
std::int32_t cLameEncoder::samplerate() const { return static_cast<std::int32_t>(m_record.sampleRate); }
void cLameEncoder::setsamplerate(std::int32_t value)
{
    m_record.sampleRate = static_cast<std::uint32_t>(value);
    storeRecord();
}
std::int32_t cLameEncoder::OutputMode() const { return m_record.mode; }
void cLameEncoder::setOutputMode(std::int32_t value)
{
    m_record.mode = value;
    storeRecord();
}

void cLameEncoder::setWavFile(const QString &name)
{
    if (FileExists(name))
        m_wavFile = name;
}

void cLameEncoder::setMp3File(const QString &name)
{
    if (!FileExists(name))
        m_mp3File = name;
}

void cLameEncoder::replaceMp3File(const QString &name)
{
    m_mp3File = name;
}

LameLibrary &cLameEncoder::library(const QString &operation)
{
    if (!m_library)
        m_library = LameLibrary::load(operation);
    return *m_library;
}

const cLameEncoderVersion &cLameEncoder::Version()
{
    if (!m_version)
        m_version = std::make_unique<cLameEncoderVersion>(library(QStringLiteral("Version")));
    return *m_version;
}

void cLameEncoder::lameInit()
{
    lameClose();
    LameLibrary &lib = library(QStringLiteral("lameInit"));
    std::uint32_t samples = 0, bufferBytes = 0, handle = 0;
    const std::uint32_t result = lib.beInitStream(m_config.data(), &samples, &bufferBytes, &handle);
    if (result == 0) {
        m_stream = handle;
        m_chunkSamples = samples;
        m_outputBufferSize = bufferBytes;
    } else {
        m_stream = m_chunkSamples = m_outputBufferSize = 0;
    }
    RaiseError(QStringLiteral("lameInit"), static_cast<std::int32_t>(result), true);
    // The loop relies on whole stereo frames and on a buffer that exists.
    if (m_stream != 0 && (m_chunkSamples < 2 || m_chunkSamples % 2 != 0 || m_outputBufferSize == 0 ||
                          m_chunkSamples > 0x7FFFFFFFu || m_outputBufferSize > 0x7FFFFFFFu)) {
        closeQuietly();
        RaiseError(QStringLiteral("lameInit"), 2, true);
    }
}

void cLameEncoder::lameClose()
{
    if (m_stream == 0)
        return;
    const std::uint32_t result = m_library->beCloseStream(m_stream);
    m_stream = m_chunkSamples = m_outputBufferSize = 0;
    RaiseError(QStringLiteral("lameClose"), static_cast<std::int32_t>(result), true);
}

void cLameEncoder::closeQuietly() noexcept
{
    try {
        lameClose();
    } catch (...) {
        // releasing ignores the library's answer; the handle is forgotten either way
    }
}

std::uint32_t cLameEncoder::sourceRate() const
{
    cWavReader probe;
    probe.setReadBufferSize(1);
    probe.setFileName(m_wavFile);
    if (!probe.isOpen())
        throw cWavReader::error(6);
    return probe.sampleRate();
}

void cLameEncoder::raiseProgress(std::int64_t done, std::int64_t total, bool &cancel)
{
    // The event counts in 32 bits. A source beyond them (a file written to a pipe, which may run
    // past 4 GiB) is reported in proportion.
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    const std::int64_t scale = total > kLargest ? total / kLargest + 1 : 1;
    if (m_progress)
        m_progress(static_cast<std::int32_t>(done / scale), static_cast<std::int32_t>(total / scale), cancel);
}

void cLameEncoder::Encode()
{
    // The source is looked at before the stream opens: the library must be told the rate the
    // source was recorded at, and a source that cannot be read fails before anything is created.
    try {
        const std::uint32_t rateHz = sourceRate();
        if (rateHz < kLowestSourceRateHz || rateHz > kHighestSourceRateHz)
            throw AppError(29772, QStringLiteral("Invalid Format Parameters"), errorSource(kConvert),
                           QStringLiteral("%1 : fréquence d'échantillonnage de %2 Hz, l'encodeur Mp3 "
                                          "n'en accepte que de %3 à %4 Hz.")
                               .arg(m_wavFile)
                               .arg(rateHz)
                               .arg(kLowestSourceRateHz)
                               .arg(kHighestSourceRateHz));
        setsamplerate(static_cast<std::int32_t>(rateHz));
    } catch (const AppError &error) {
        throw error.withSource(errorSource(kConvert));
    }

    lameInit();
    if (m_stream == 0)
        RaiseError(kConvert, 1, false);

    try {
        convert();
    } catch (const AppError &error) {
        closeQuietly();
        throw error.withSource(errorSource(kConvert));
    } catch (...) {
        closeQuietly();
        throw;
    }
    lameClose();
}

void cLameEncoder::convert()
{
    LameLibrary &lib = *m_library;
    auto reader = std::make_unique<cWavReader>();
    reader->setReadBufferSize(static_cast<std::int32_t>(m_chunkSamples / 2));
    reader->setFileName(m_wavFile);
    if (!reader->isOpen())
        throw cWavReader::error(6); // checked before the output exists, so nothing is left behind

    // The MP3 takes its name only once it is complete: a cancel, a failure or a full disk
    // leaves no partial file, and a file already under that name as it was.
    ReplacementFile target;
    if (const Status created = target.create(m_mp3File); !created)
        throw AppError(29872, QStringLiteral("Unable to open file for writing"),
                       errorSource(QStringLiteral("OpenFile")), created.reason());
    auto writer = std::make_unique<cMp3Writer>();
    writer->setBufferSize(static_cast<std::int32_t>(m_outputBufferSize));
    writer->setFileName(target.writePath());

    const std::int64_t total = reader->audioFrames() * 2;
    const std::int32_t blockSamples = reader->ReadBufferSize() * 2;
    std::int64_t done = 0;
    bool cancel = false;
    std::uint32_t written = 0;
    while (!cancel && reader->Read()) {
        const std::uint32_t result = lib.beEncodeChunk(m_stream, static_cast<std::uint32_t>(blockSamples),
                                                       reader->ReadBufferPtr(), writer->BufferPointer(), &written);
        RaiseError(kConvert, static_cast<std::int32_t>(result), true);
        writer->WriteBufferToFile(static_cast<std::int32_t>(written));
        done += blockSamples;
        raiseProgress(done, total, cancel);
    }

    if (cancel)
        return; // the writer closes the file and the target throws it away

    if (reader->ReadSize() > 0) {
        const std::uint32_t result = lib.beEncodeChunk(m_stream, static_cast<std::uint32_t>(reader->ReadSize()) * 2,
                                                       reader->ReadBufferPtr(), writer->BufferPointer(), &written);
        RaiseError(kConvert, static_cast<std::int32_t>(result), true);
        writer->WriteBufferToFile(static_cast<std::int32_t>(written));
    }
    std::uint32_t result = lib.beDeinitStream(m_stream, writer->BufferPointer(), &written);
    RaiseError(kConvert, static_cast<std::int32_t>(result), true);
    writer->WriteBufferToFile(static_cast<std::int32_t>(written));

    // The stream began with a placeholder frame; the final VBR header (frame count, seek table,
    // encoder delay and padding) takes its place so that players know the exact length. An
    // output that cannot go back (a pipe) keeps the placeholder, which decoders read as an
    // empty frame: the sound is all there, only its exact length is not announced.
    if (writer->canWriteAtStart()) {
        result = lib.beInfoTag(m_stream, writer->BufferPointer(),
                               static_cast<std::uint32_t>(writer->BufferSize()), &written);
        RaiseError(kConvert, static_cast<std::int32_t>(result), true);
        writer->WriteBufferAtStart(static_cast<std::int32_t>(written));
    }

    raiseProgress(total, total, cancel);
    Status finished = writer->CloseFile();
    if (finished)
        finished = target.commit();
    if (!finished)
        throw AppError(29875, QStringLiteral("Failed to write buffer to file"),
                       errorSource(QStringLiteral("WriteBufferToFile")), finished.reason());
}
