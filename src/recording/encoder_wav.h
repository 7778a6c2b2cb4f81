// Turns the stream of 16-bit PCM capture blocks into a WAV file in the chosen output format.
// Every block goes through one conversion stream (for PCM output it only converts rate,
// channels and sample width, or copies). The header comes first:
//
//   0 "RIFF", 4 file length - 8, 8 "WAVE", 12 "fmt ", 16 F, 20 the output format (F bytes),
//   20+F "data", 24+F data length, 28+F the converted sound.
//
// F is 18 for PCM (a 46-byte header), 18 + extra size for a compressed format. There is no
// other chunk and no pad byte, except in RF64 mode: there a 36-byte JUNK chunk after "WAVE"
// holds the room of a ds64 chunk, and once the file passes what the 32-bit sizes describe,
// the header becomes an RF64 one (EBU Tech 3306) in place: "RF64", "ds64" with the 64-bit
// sizes where the JUNK was, and 0xFFFFFFFF in both 32-bit size fields. All members run on the
// UI thread.
//
// A recording survives the death of the process: the file opens with a header that describes
// no data yet, and its two sizes are brought up to date on the block that completes each whole
// second of input (one header write per second of sound), so however the program ends (a
// crash, a kill), the file on disk is a valid WAV holding every block up to the last whole
// second. Nothing is forced to the disk meanwhile: after a power loss `sonoriel repair` gives
// the file the sizes of what reached it. Close writes the final header over it. Outside RF64
// mode the sizes are 32-bit: a block that would carry the file past what they can describe is
// refused with kFileFull, leaving room for what the converter flushes at close. A write the disk took only
// in part (a full disk) is cut back to whole blocks of the output format, so the data always
// ends on a whole frame.
//
// The output is an ordinary file, locked for the length of the recording, so a second
// recording to the same file is refused; checkInit() finds what Encoder_EncoderInit would
// refuse without touching an existing file, so a start that fails leaves it as it was.
#pragma once

#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"
#include "platform/files/file.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QObject;

// What SelectFormat asks: the platform's chooser of output formats, shown over owner with
// title, offering what the PCM capture format converts to and starting on initial. The chosen
// format, or nothing when the user cancelled. The windows give their dialog; the engine shows
// none of its own.
class OutputFormatChooser {
public:
    virtual ~OutputFormatChooser() = default;
    virtual std::optional<OutputFormatChoice> choose(const WaveFormat &capture, std::span<const std::uint8_t> initial,
                                                     QObject *owner, const QString &title) = 0;
};

class EncoderWAV {
public:
    // Result codes of the Encoder_ methods.
    static constexpr std::int32_t kDone = 0;
    static constexpr std::int32_t kNoFile = 2;        // nothing open, or the file cannot be created
    static constexpr std::int32_t kBadFormat = 7;     // rate/channels below 1, or no conversion
    static constexpr std::int32_t kBlockTooLarge = 8; // larger than one second of input
    static constexpr std::int32_t kConversionFailed = 9;
    static constexpr std::int32_t kWriteError = 10;
    static constexpr std::int32_t kChooserCancelled = 11;
    static constexpr std::int32_t kFileFull = 12;      // the file reached the largest WAV size; nothing written
    static constexpr std::int32_t kFileRemoved = 13;   // the file was deleted while recording

    // The largest file whose sizes fit the header's 32-bit fields.
    static constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFull;

    EncoderWAV();
    ~EncoderWAV(); // closes an open file, so it always gets its header
    EncoderWAV(const EncoderWAV &) = delete;
    EncoderWAV &operator=(const EncoderWAV &) = delete;

    bool WriteHeader() const { return m_writeHeader; }
    // Throws AppError 90 "Encoder already running!" while a file is open.
    void setWriteHeader(bool writeHeader);

    const QString &FormatTag() const { return m_formatTag; }
    const QString &FormatID() const { return m_formatId; }
    // The output format record (WAVEFORMATEX and the codec's extra bytes).
    std::span<const std::uint8_t> outputFormat() const { return m_outputFormat; }

    // Takes the output format record as given. A record shorter than 16 bytes cannot describe
    // a format and changes nothing.
    void SetFormat(std::span<const std::uint8_t> wfx, const QString &FormatID = {},
                   const QString &FormatTag = {});
    void SetPCMFormat(std::int32_t samplerate, std::int16_t Channels, const QString &FormatID = {},
                      const QString &FormatTag = {});
    // Asks the format chooser, titled Title and owned by hwndOwner, for one of the formats the
    // 16-bit PCM format of samplerate and Channels converts to. OK: the chosen record becomes
    // the output format, with its description as FormatID and its tag name as FormatTag;
    // result 0. Cancel (or nothing to offer, or no chooser given): nothing changes; result 11.
    std::int32_t SelectFormat(std::int32_t samplerate, std::int16_t Channels, QObject *hwndOwner,
                              const QString &Title);
    // The chooser SelectFormat asks; borrowed, it outlives the encoder's use of it.
    void setFormatChooser(OutputFormatChooser *chooser) { m_chooser = chooser; }

    QString Encoder_Description() const { return QStringLiteral("Wave ACM Encoder"); }
    QString Encoder_Extension() const { return QStringLiteral("wav"); }

    std::int32_t Encoder_EncoderInit(std::int32_t samplerate, std::int16_t Channels, const QString &output);
    // What Encoder_EncoderInit would refuse (7 or 2, with lastError()), found without creating,
    // emptying or locking anything; 0 when it would open the file.
    std::int32_t checkInit(std::int32_t samplerate, std::int16_t Channels, const QString &output);
    // Why the last init or check refused, in French, with the path; empty after a success.
    const QString &lastError() const { return m_lastError; }
    // With exclusive creation, init refuses a name that is taken (result 2, nameTaken() true)
    // instead of replacing the file: two recordings can never get the same numbered name.
    void setCreateExclusively(bool exclusive) { m_exclusive = exclusive; }
    bool nameTaken() const { return m_nameTaken; }
    // buffer_ptr may be null: the previous input is converted again.
    std::int32_t Encoder_Encode(const void *buffer_ptr, std::int32_t buffer_len, std::int32_t &buffer_used);
    std::int32_t Encoder_EncoderClose();
    // info 1: input bytes per second, 0: input block align; -1 when no file is open.
    std::int32_t Encoder_EncoderMetrics(std::int32_t info) const;

    bool isOpen() const { return m_file.isOpen(); }

    // RF64 mode, for the files opened from now on.
    void setRf64(bool rf64) { m_rf64 = rf64; }
    bool rf64() const { return m_rf64; }

    // Lowers the largest RIFF file size (never above kMaxFileBytes), so that what happens at
    // the limit can be tried without writing 4 GiB: the full file, or the change to RF64.
    // Takes effect with the next block.
    void setMaxFileBytes(std::uint64_t bytes) { m_maxFileBytes = std::min(bytes, kMaxFileBytes); }
    std::uint64_t maxFileBytes() const { return m_maxFileBytes; }

private:
    bool writeConverted(std::size_t bytes);
    std::int32_t refuse(std::int32_t code, const QString &reason);
    std::int32_t refuseOutput(const QString &output, const Failure &failure);
    std::vector<std::uint8_t> headerFor(std::uint64_t fileBytes) const;
    bool updateHeaderEachSecond(std::size_t inputBytes);
    bool writeFinalHeader();
    std::uint32_t headerBytes() const
    {
        return 28 + static_cast<std::uint32_t>(m_outputFormat.size()) + (m_rf64 ? kDs64ChunkBytes : 0);
    }
    static constexpr std::uint32_t kDs64ChunkBytes = 36; // id, size, three 64-bit sizes, table length
    void releaseStream();

    WaveFormat m_inputFormat;
    std::vector<std::uint8_t> m_outputFormat;
    QString m_formatId = QStringLiteral("44.1 kHz 16 Bit Stereo");
    QString m_formatTag = QStringLiteral("PCM");
    std::vector<std::uint8_t> m_input;  // one second of input
    std::vector<std::uint8_t> m_output; // the converted data of one input buffer
    std::unique_ptr<ConversionStream> m_stream;
    File m_file;
    bool m_writeHeader = true;
    bool m_rf64 = false;
    bool m_outputIsPcm = true;
    std::uint64_t m_maxFileBytes = kMaxFileBytes;
    std::uint64_t m_fileBytes = 0;  // what the file holds, header included
    std::uint64_t m_inputBytes = 0; // input received since the file was opened
    std::uint32_t m_outputBlockAlign = 1;
    QString m_lastError;
    OutputFormatChooser *m_chooser = nullptr;
    bool m_exclusive = false;
    bool m_nameTaken = false;
};
