#include "app/window/format_chooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

FormatChooser::FormatChooser(const WaveFormat &capture, const QString &title,
                             std::span<const std::uint8_t> initial, QWidget *parent)
    : QDialog(parent), m_formats(reachableOutputFormats(capture))
{
    setWindowTitle(title);
    setModal(true);

    m_tags = new QComboBox(this);
    m_tags->setObjectName(QStringLiteral("cboFormatTag"));
    m_attributes = new QComboBox(this);
    m_attributes->setObjectName(QStringLiteral("cboAttributes"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Format :"), m_tags);
    fields->addRow(QStringLiteral("Attributs :"), m_attributes);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_buttons);

    for (const OutputFormatChoice &choice : m_formats) {
        if (std::find(m_tagOrder.begin(), m_tagOrder.end(), choice.formatTag()) != m_tagOrder.end())
            continue;
        m_tagOrder.push_back(choice.formatTag());
        m_tags->addItem(choice.tagName);
    }
    connect(m_tags, &QComboBox::currentIndexChanged, this, &FormatChooser::fillAttributes);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_formats.empty());

    const auto start = std::find_if(m_formats.begin(), m_formats.end(), [initial](const OutputFormatChoice &c) {
        return std::equal(c.record.begin(), c.record.end(), initial.begin(), initial.end());
    });
    if (!m_formats.empty())
        select(start == m_formats.end() ? 0 : static_cast<std::size_t>(start - m_formats.begin()));
}

void FormatChooser::fillAttributes(int tagIndex)
{
    m_attributes->clear();
    if (tagIndex < 0 || static_cast<std::size_t>(tagIndex) >= m_tagOrder.size())
        return;
    const std::uint16_t tag = m_tagOrder[static_cast<std::size_t>(tagIndex)];
    for (std::size_t i = 0; i < m_formats.size(); ++i)
        if (m_formats[i].formatTag() == tag)
            m_attributes->addItem(m_formats[i].description, static_cast<qulonglong>(i));
}

void FormatChooser::select(std::size_t formatIndex)
{
    const auto tag = std::find(m_tagOrder.begin(), m_tagOrder.end(), m_formats[formatIndex].formatTag());
    const int tagIndex = static_cast<int>(tag - m_tagOrder.begin());
    if (m_tags->currentIndex() == tagIndex)
        fillAttributes(tagIndex);
    else
        m_tags->setCurrentIndex(tagIndex); // fills the attributes through the signal
    m_attributes->setCurrentIndex(m_attributes->findData(static_cast<qulonglong>(formatIndex)));
}

std::optional<OutputFormatChoice> FormatChooser::selectedFormat() const
{
    const QVariant chosen = m_attributes->currentData();
    if (!chosen.isValid())
        return std::nullopt;
    const auto index = static_cast<std::size_t>(chosen.toULongLong());
    if (index >= m_formats.size())
        return std::nullopt;
    return m_formats[index];
}

std::optional<OutputFormatChoice> FormatChooserDialogs::choose(const WaveFormat &capture,
                                                               std::span<const std::uint8_t> initial, QObject *owner,
                                                               const QString &title)
{
    FormatChooser chooser(capture, title, initial, qobject_cast<QWidget *>(owner));
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.selectedFormat();
}
