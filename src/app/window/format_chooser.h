// The output format chooser: a dialog with the list of format tags and the list of the chosen
// tag's attributes, offering only the formats a PCM capture format can be converted to.
// OK accepts the selected attribute; the dialog lives on the UI thread. FormatChooserDialogs is
// what the main window gives the encoder to ask with.
#pragma once

#include "platform/acm/output_formats.h"
#include "recording/encoder_wav.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QDialogButtonBox;

class FormatChooser : public QDialog {
    Q_OBJECT

public:
    // `initial` (a format record) is selected when the list holds it, else the first format.
    FormatChooser(const WaveFormat &capture, const QString &title,
                  std::span<const std::uint8_t> initial = {}, QWidget *parent = nullptr);

    // The format selected now; nothing when the list is empty.
    std::optional<OutputFormatChoice> selectedFormat() const;
    const std::vector<OutputFormatChoice> &formats() const { return m_formats; }

    QComboBox *tagList() const { return m_tags; }
    QComboBox *attributeList() const { return m_attributes; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    void fillAttributes(int tagIndex);
    void select(std::size_t formatIndex);

    std::vector<OutputFormatChoice> m_formats;
    std::vector<std::uint16_t> m_tagOrder; // the tags in list order
    QComboBox *m_tags = nullptr;
    QComboBox *m_attributes = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

// Shows a FormatChooser for every question the encoder asks.
class FormatChooserDialogs final : public OutputFormatChooser {
public:
    std::optional<OutputFormatChoice> choose(const WaveFormat &capture, std::span<const std::uint8_t> initial,
                                             QObject *owner, const QString &title) override;
};
