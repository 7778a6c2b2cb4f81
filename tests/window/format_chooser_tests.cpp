// The format chooser under the offscreen platform: what it offers, and what OK and cancel do
// to the encoder's output format.
#include "app/window/format_chooser.h"
#include "recording/encoder_wav.h"

#include "../formats/tone_measure.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace {

QStringList items(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

void chooseTag(FormatChooser &chooser, const QString &tag)
{
    const int index = chooser.tagList()->findText(tag);
    ASSERT_GE(index, 0) << tag.toStdString();
    chooser.tagList()->setCurrentIndex(index);
    chooser.attributeList()->setCurrentIndex(0);
}

// Once the chooser's event loop runs: notes its title, picks the first format of `tag` and
// clicks `button`.
void whenChooserShows(const QString &tag, QDialogButtonBox::StandardButton button, QString *title = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto *chooser = qobject_cast<FormatChooser *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser) << "no format chooser on screen";
        if (title)
            *title = chooser->windowTitle();
        chooseTag(*chooser, tag);
        chooser->buttons()->button(button)->click();
    });
}

std::vector<std::uint8_t> outputFormatOf(const EncoderWAV &encoder)
{
    return {encoder.outputFormat().begin(), encoder.outputFormat().end()};
}

TEST(FormatChooser, OffersOnlyTheFormatsTheCaptureFormatReaches)
{
    FormatChooser stereo(WaveFormat::pcm(44100, 2, 16), QStringLiteral("x"));
    EXPECT_EQ(items(stereo.tagList()),
              QStringList({"PCM", "Microsoft ADPCM", "IEEE Float", "CCITT A-Law", "CCITT u-Law", "IMA ADPCM",
                           "MPEG Layer-3"}));
    chooseTag(stereo, QStringLiteral("IMA ADPCM"));
    EXPECT_EQ(items(stereo.attributeList()), QStringList({formatDescription(imaAdpcmFormat(44100, 2))}));

    FormatChooser mono(WaveFormat::pcm(8000, 1, 16), QStringLiteral("x"));
    EXPECT_TRUE(items(mono.tagList()).contains(QStringLiteral("GSM 6.10")));
    chooseTag(mono, QStringLiteral("MPEG Layer-3"));
    QStringList expected;
    for (const std::uint32_t kbit : mpegLayer3BitRates(8000))
        expected << formatDescription(mpegLayer3Format(8000, 1, kbit));
    EXPECT_EQ(items(mono.attributeList()), expected);
}

TEST(FormatChooser, StartsOnTheCaptureFormat)
{
    const WaveFormat capture = WaveFormat::pcm(22050, 1, 16);
    FormatChooser chooser(capture, QStringLiteral("x"), capture.toBytes());
    const auto selected = chooser.selectedFormat();
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->record, capture.toBytes());
    EXPECT_EQ(chooser.tagList()->currentText(), QStringLiteral("PCM"));
}

TEST(SelectFormat, OkMakesTheChosenFormatTheOutputFormatThatRecordsAFileOtherProgramsRead)
{
    FormatChooserDialogs dialogs;
    EncoderWAV encoder;
    encoder.setFormatChooser(&dialogs);
    QString title;
    whenChooserShows(QStringLiteral("Microsoft ADPCM"), QDialogButtonBox::Ok, &title);
    ASSERT_EQ(encoder.SelectFormat(22050, 2, nullptr, QStringLiteral("Selection du format WAV en sortie")), 0);
    EXPECT_EQ(title, QStringLiteral("Selection du format WAV en sortie"));
    EXPECT_EQ(outputFormatOf(encoder), msAdpcmFormat(22050, 2).toBytes());
    EXPECT_EQ(encoder.outputFormat().size(), 50u); // extra size + 18
    EXPECT_EQ(encoder.FormatTag(), QStringLiteral("Microsoft ADPCM"));
    EXPECT_EQ(encoder.FormatID(), formatDescription(msAdpcmFormat(22050, 2)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ms.wav"));
    ASSERT_EQ(encoder.Encoder_EncoderInit(22050, 2, path), 0);
    EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
    EXPECT_EQ(ffprobeCodec(path), QStringLiteral("adpcm_ms"));
}

TEST(SelectFormat, CancelOrAFormatWithNoRateChangesNothingAndFails)
{
    FormatChooserDialogs dialogs;
    EncoderWAV encoder;
    encoder.setFormatChooser(&dialogs);
    const std::vector<std::uint8_t> before = outputFormatOf(encoder);
    whenChooserShows(QStringLiteral("IMA ADPCM"), QDialogButtonBox::Cancel);
    EXPECT_EQ(encoder.SelectFormat(44100, 2, nullptr, QStringLiteral("Selection du format WAV en sortie")), 11);
    EXPECT_EQ(outputFormatOf(encoder), before);
    EXPECT_EQ(encoder.FormatTag(), QStringLiteral("PCM"));
    EXPECT_EQ(encoder.FormatID(), QStringLiteral("44.1 kHz 16 Bit Stereo"));
    // No rate: nothing is offered, no chooser shows.
    EXPECT_EQ(encoder.SelectFormat(0, 2, nullptr, QStringLiteral("x")), 11);
    EXPECT_EQ(encoder.FormatTag(), QStringLiteral("PCM"));
}

} // namespace
