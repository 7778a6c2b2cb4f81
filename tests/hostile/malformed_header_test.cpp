// Malformed headers given to every reader: each either refuses the file with its own message or
// reads exactly the samples that are really there, and none of them changes the file.
#include "hostile_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

// A reader's expected verdict: its refusal ("%1" is the file's path), or, when that is empty,
// the sample bytes it reads.
struct Expected {
    QString refusal;
    QByteArray data;
};

struct Case {
    const char *name;
    QByteArray file;
    Expected mp3Source;
    Expected joinHeader;
    Expected virtualInput;
};

const QByteArray kData = sampleBytes(400);
const QByteArray kFmt = chunk("fmt ", stereo16Fields());
const QByteArray kGood = riffWave(kFmt + chunk("data", kData));

Expected reads(const QByteArray &data = kData) { return {QString(), data}; }
Expected refuses(const char *text) { return {QString::fromUtf8(text), {}}; }

const char *kNoData = "29676 No Wave File Open";
const char *kNotStereo16 = "29671 Only stereo 16 bit wave files supported.";
const char *kJoinNoData = "Pas de bloc « data » dans le fichier %1";
const char *kJoinShortFmt = "Bloc « fmt » trop court dans le fichier %1";
const char *kJoinFormat =
    "Format non pris en charge (seuls les fichiers PCM 8 ou 16 bits peuvent être joints) : %1";
const char *kVirtualNoData = "Entrée virtuelle « %1 » : pas de bloc « data ».";
const char *kVirtualFormat = "Entrée virtuelle « %1 » : seul le PCM 16 bits mono ou stéréo est lu.";

std::vector<Case> cases()
{
    const QByteArray data = chunk("data", kData);
    const auto withFields = [&](std::uint16_t channels, std::uint16_t align, std::uint16_t bits) {
        return riffWave(chunk("fmt ", formatFields(1, channels, 44100, align, bits)) + data);
    };
    const Case badChannels{"", {}, refuses(kNotStereo16), refuses(kJoinFormat), refuses(kVirtualFormat)};
    std::vector<Case> all = {
        {"cut inside the RIFF header", kGood.left(10), refuses("29673 Not a Wave file."),
         refuses("%1 n'est pas un fichier Wave"),
         refuses("Entrée virtuelle « %1 » : ce n'est pas un fichier WAV.")},
        {"cut inside the format fields", kGood.left(24), refuses(kNotStereo16),
         refuses("Fichier tronqué dans son en-tête : %1"),
         refuses("Entrée virtuelle « %1 » : pas de bloc « fmt ».")},
        {"format chunk of 0 bytes", riffWave(chunk("fmt ", {}) + data), refuses(kNotStereo16),
         refuses(kJoinShortFmt), refuses(kVirtualFormat)},
        {"format chunk of 15 bytes", riffWave(chunk("fmt ", stereo16Fields().left(15)) + data), reads(),
         refuses(kJoinShortFmt), refuses(kVirtualFormat)},
        {"format chunk of 2^32-1 bytes", riffWave(chunk("fmt ", stereo16Fields(), true, 0xffffffff) + data),
         refuses(kNoData), refuses(kJoinNoData), refuses(kVirtualNoData)},
        {"data chunk past the end of the file", riffWave(kFmt + chunk("data", kData, true, 100000)), reads(),
         refuses("Fichier tronqué : %1 (le bloc « data » annonce 100000 octets, le fichier en "
                 "contient 400)"),
         reads()},
        {"chunk before the data past the end of the file",
         riffWave(kFmt + chunk("junk", "abcd", true, 1000000) + data), refuses(kNoData),
         refuses(kJoinNoData), refuses(kVirtualNoData)},
        {"odd-sized chunk with its pad byte", riffWave(kFmt + chunk("junk", "abc") + data), reads(), reads(),
         reads()},
        {"odd-sized chunk without its pad byte", riffWave(kFmt + chunk("junk", "abc", false) + data),
         refuses(kNoData), refuses(kJoinNoData), refuses(kVirtualNoData)},
        {"data chunk before the format chunk", riffWave(data + kFmt), refuses(kNoData), reads(), reads()},
        {"two data chunks", riffWave(kFmt + data + chunk("data", sampleBytes(200))), reads(), reads(),
         reads()},
        {"block align of 0", withFields(2, 0, 16), reads(),
         refuses("Alignement de bloc nul dans le fichier %1"), refuses(kVirtualFormat)},
        {"RIFF size smaller than the file", riffWave(kFmt + data, 4 + kFmt.size()), refuses(kNoData),
         reads(), reads()},
        {"sample rate of 1 Hz", riffWave(chunk("fmt ", formatFields(1, 2, 1, 4, 16)) + data), reads(), reads(),
         refuses("Entrée virtuelle « %1 » : fréquence d'échantillonnage hors limites (1000 à 768000 Hz).")},
        {"RIFF size larger than the file", riffWave(kFmt + data, 0xfffffff0), reads(), reads(), reads()},
    };
    for (const auto &[name, fields] : {std::pair{"0 channels", withFields(0, 4, 16)},
                                       std::pair{"65535 channels", withFields(65535, 4, 16)},
                                       std::pair{"0 bits per sample", withFields(2, 4, 0)},
                                       std::pair{"33 bits per sample", withFields(2, 4, 33)}}) {
        Case c = badChannels;
        c.name = name;
        c.file = fields;
        all.push_back(c);
    }
    return all;
}

void expectVerdict(const Verdict &verdict, const Expected &expected, const QString &path,
                   const char *reader)
{
    SCOPED_TRACE(reader);
    if (!expected.refusal.isEmpty()) {
        EXPECT_FALSE(verdict.accepted);
        const QString text = expected.refusal.contains(QLatin1String("%1")) ? expected.refusal.arg(path)
                                                                             : expected.refusal;
        EXPECT_EQ(verdict.refusal.toStdString(), text.toStdString());
        return;
    }
    EXPECT_TRUE(verdict.accepted) << verdict.refusal.toStdString();
    EXPECT_TRUE(verdict.data == expected.data)
        << verdict.data.size() << " bytes read, " << expected.data.size() << " expected";
}

} // namespace

TEST(HostileHeaders, EachReaderRefusesWithItsMessageOrReadsOnlyTheSamplesReallyThere)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("hostile.wav"));
        writeFile(path, c.file);
        const auto before = snapshot(folder.path());

        expectVerdict(mp3SourceVerdict(path), c.mp3Source, path, "MP3 source");
        expectVerdict(joinHeaderVerdict(path), c.joinHeader, path, "join header");
        expectVerdict(virtualInputVerdict(path), c.virtualInput, path, "virtual input");

        EXPECT_EQ(snapshot(folder.path()), before) << "a reader changed the folder";
    }
}
