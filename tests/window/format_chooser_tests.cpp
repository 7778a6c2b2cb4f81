// A format chosen with OK in the format chooser becomes the encoder's output format.
#include "app/window/format_chooser.h"
#include "recording/encoder_wav.h"

#include "window_test_support.h"

TEST(SelectFormat, OkMakesTheChosenFormatTheOutputFormatThatRecordsAFileOtherProgramsRead)
{
    FormatChooserDialogs dialogs;
    EncoderWAV encoder;
    encoder.setFormatChooser(&dialogs);
    QTimer::singleShot(0, [] {
        auto *chooser = qobject_cast<FormatChooser *>(QApplication::activeModalWidget());
        ASSERT_TRUE(chooser) << "no format chooser on screen";
        chooser->tagList()->setCurrentIndex(chooser->tagList()->findText(QStringLiteral("Microsoft ADPCM")));
        chooser->attributeList()->setCurrentIndex(0);
        chooser->buttons()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(encoder.SelectFormat(22050, 2, nullptr, QStringLiteral("Selection du format WAV en sortie")), 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ms.wav"));
    ASSERT_EQ(encoder.Encoder_EncoderInit(22050, 2, path), 0);
    EXPECT_EQ(encoder.Encoder_EncoderClose(), 0);
    const ToolResult probe = runTool("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", path});
    EXPECT_EQ(probe.out.trimmed(), QStringLiteral("adpcm_ms")); // the chosen Microsoft ADPCM
    EXPECT_EQ(encoder.SelectFormat(0, 2, nullptr, QStringLiteral("x")), 11); // no rate: no chooser
}
