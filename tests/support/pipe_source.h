// The write end of a sound server's pipe source: interleaved s16le samples go into its FIFO as
// the test produces them. The FIFO stays open from open() until close() or destruction, so the
// source never sees its writer go away.
#pragma once

#include <QString>

#include <cstdint>
#include <mutex>
#include <span>

class PipeSource {
public:
    PipeSource() = default;
    ~PipeSource();

    PipeSource(const PipeSource &) = delete;
    PipeSource &operator=(const PipeSource &) = delete;

    // Opens the FIFO at path for writing; empty on success, otherwise why it failed. Fails at
    // once when nobody reads the FIFO yet.
    QString open(const QString &path);
    void close();

    // Writes the samples little-endian, waiting while the FIFO is full; false when the reader
    // has not taken anything for two seconds or has gone, or the FIFO is not open. Safe to call
    // from any thread.
    bool write(std::span<const std::int16_t> samples);

private:
    std::mutex m_mutex;
    int m_fd = -1;
};
