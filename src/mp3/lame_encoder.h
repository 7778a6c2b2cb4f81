// cLameEncoder: converts one 16-bit stereo WAV file into one MP3 file through the encoder
// library's stream interface. It keeps the library's 331-byte configuration record, opens
// the stream for one conversion, runs the read-encode-write loop from a cWavReader into a
// cMp3Writer, reports progress after every chunk and honours a cancel request. Library
// results become AppError 29770 + result; every error of a conversion reaches the caller
// with the source "<executable>.lameConvert". Runs on the caller's thread; Encode returns when
// the source is exhausted, an error occurred or a cancel was seen.
#pragma once

#include "mp3/lame_encoder_version.h"
#include "mp3/lameencshim/lame_config_record.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class LameLibrary;
class cMp3Writer;
class cWavReader;

class cLameEncoder {
public:
    static constexpr std::size_t kConfigBytes = kLameConfigRecordBytes;

    // The Progress event: samples done and in total (16-bit samples, both channels counted);
    // setting cancel to true asks the conversion to stop.
    using ProgressHandler = std::function<void(std::int32_t samplesDone, std::int32_t totalSamples, bool &cancel)>;

    cLameEncoder();
    ~cLameEncoder(); // closes any stream, errors ignored
    cLameEncoder(const cLameEncoder &) = delete;
    cLameEncoder &operator=(const cLameEncoder &) = delete;

    // Loads the library on first use; its failure is an AppError with the loader's message.
    const cLameEncoderVersion &Version();

    QString WavFile() const { return m_wavFile; }
    // Stored only when the file exists.
    void setWavFile(const QString &name);
    QString Mp3File() const { return m_mp3File; }
    // Stored only when no file of that name exists; the caller deletes an existing target.
    void setMp3File(const QString &name);
    // Stored even when a file of that name exists: Encode replaces it once the conversion is
    // complete, and leaves it as it was when the conversion fails or is cancelled.
    void replaceMp3File(const QString &name);

    std::int32_t EncodingPreset() const;
    void setEncodingPreset(std::int32_t value);
    std::int32_t BitRate() const;
    void setBitRate(std::int32_t value);
    // The input rate field. Encode sets it to the source file's own rate before it opens the
    // stream, so the library never reads a source at another rate than it was recorded at.
    std::int32_t samplerate() const;
    void setsamplerate(std::int32_t value);
    std::int32_t OutputMode() const;
    void setOutputMode(std::int32_t value);

    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // Runs one whole conversion from WavFile to Mp3File. The MP3 is written under a temporary
    // name in the target's folder and renamed to Mp3File only when complete, so neither a
    // cancelled nor a failed conversion leaves a partial file behind.
    void Encode();

    // The open stream: 0, 0, 0 outside Encode.
    std::uint32_t streamHandle() const { return m_stream; }
    std::uint32_t chunkSamples() const { return m_chunkSamples; }
    std::uint32_t outputBufferSize() const { return m_outputBufferSize; }
    const std::array<std::uint8_t, kConfigBytes> &configurationRecord() const { return m_config; }

private:
    LameLibrary &library(const QString &operation);
    void lameInit();
    void lameClose();
    void closeQuietly() noexcept;
    std::uint32_t sourceRate() const;
    void convert();
    void raiseProgress(std::int64_t done, std::int64_t total, bool &cancel);
    void storeRecord() { m_config = writeLameConfigRecord(m_record); }

    LameConfigRecord m_record;
    std::array<std::uint8_t, kConfigBytes> m_config{}; // m_record as the library reads it
    std::uint32_t m_stream = 0;
    std::uint32_t m_chunkSamples = 0;
    std::uint32_t m_outputBufferSize = 0;
    QString m_wavFile;
    QString m_mp3File;
    std::shared_ptr<LameLibrary> m_library;
    std::unique_ptr<cLameEncoderVersion> m_version;
    ProgressHandler m_progress;
};

// The library-result check of the encoder: 0 passes; 1-5 raise 29770 + result with their
// texts, other results 29770 + result with an empty text. Without isLibraryResult, code 1 is
// "Lame engine not initialised" (29771). The source is "<executable>.<operation>".
void RaiseError(const QString &operation, std::int32_t code, bool isLibraryResult);
