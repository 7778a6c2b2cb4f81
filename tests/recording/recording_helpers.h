// Helpers shared by the recording tests.
#pragma once

#include "platform/audio/virtual/virtual_backend.h"

#include "../support/signal_helpers.h"
#include "../support/tools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The RIFF and data sizes in the header describe exactly the bytes in the file.
inline void expectSizesMatchFile(const QByteArray &file)
{
    EXPECT_EQ(le32At(file, 4), static_cast<std::uint32_t>(file.size() - 8));
    EXPECT_EQ(le32At(file, 42), static_cast<std::uint32_t>(file.size() - 46));
}

inline VirtualDeviceOptions virtualOptions(double speed = 0, const QString &inputPath = {}, int failPrepareAt = -1)
{
    return {inputPath, speed, failPrepareAt};
}

// Writes `samples` at 44100 Hz stereo into `dir`; the path.
inline QString writeInput(const QTemporaryDir &dir, const std::vector<std::int16_t> &samples)
{
    EXPECT_TRUE(writePcmWav(dir.filePath("in.wav"), 44100, 2, samples));
    return dir.filePath("in.wav");
}
