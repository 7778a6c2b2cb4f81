// cLameEncoder's own rules: file names, loading the library and the version record.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include <QFile>

#include <cstring>

#include <gtest/gtest.h>

TEST(LameEncoder, SourceNameIsKeptOnlyForAnExistingFileAndTargetOnlyForANewOne)
{
    TestFolder folder;
    const QString existing = folder.write("a.wav", waveFile({}, patternBytes(400, 1)));
    cLameEncoder encoder;
    encoder.setWavFile(existing);
    encoder.setWavFile(folder.path("missing.wav"));
    EXPECT_EQ(encoder.WavFile(), existing);
    encoder.setMp3File(folder.path("new.mp3"));
    encoder.setMp3File(existing);
    EXPECT_EQ(encoder.Mp3File(), folder.path("new.mp3"));
}

TEST(LameEncoder, LibrariesThatCannotBeUsedAreRefusedWithTheLoadersMessage)
{
    TestFolder folder;
    const QString missing = folder.path("missing/liblameencshim.so");
    const QString broken = folder.write("liblameencshim.so", QByteArray("this is not a shared object"));
    const QString source = folder.write("a.wav", waveFile({}, patternBytes(4000, 2)));
    const struct { QString library; bool encode; int number; QStringList texts; } cases[] = {
        {missing, false, 53, {missing, "No such file"}},
        {broken, true, 48, {broken}},
        {QStringLiteral("libm.so.6"), false, 453, {"beInitStream"}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.library.toStdString());
        ScopedEnvironment shim("SONORIEL_LAME_SHIM", c.library);
        cLameEncoder encoder;
        encoder.setWavFile(source);
        encoder.setMp3File(folder.path("a.mp3"));
        const AppError error = raisedBy([&] { c.encode ? encoder.Encode() : (void)encoder.Version(); });
        EXPECT_EQ(error.number(), c.number);
        for (const QString &text : c.texts)
            EXPECT_TRUE(error.text().contains(text)) << error.text().toStdString();
        EXPECT_FALSE(QFile::exists(folder.path("a.mp3")));
    }
}
