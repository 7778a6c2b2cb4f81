#include "app/window/schedule_dialog.h"

#include "common/number_format.h"
#include "recording/wave_in_recorder.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {

// The longest take the dialog plans, as the command line's --seconds: about 23 days.
constexpr double kLongestTakeSeconds = 2e6;

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit *numberBox(QWidget *parent, const char *name, const std::optional<double> &value)
{
    auto *box = named(new QLineEdit(parent), name);
    if (value)
        box->setText(formatNumber(*value));
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    return box;
}

// A number as the user types it, with a comma or a point; empty text gives nothing, a text
// that holds no number gives the French refusal in *problem.
std::optional<double> number(const QLineEdit &box, const QString &what, QString *problem)
{
    QString text = box.text().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        *problem = QStringLiteral("Valeur invalide pour « %1 » : %2").arg(what, box.text().trimmed());
        return std::nullopt;
    }
    return value;
}

// Beside a box: its unit.
QWidget *withUnit(QWidget *box, const QString &unit, QWidget *parent)
{
    auto *holder = new QWidget(parent);
    auto *row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(box);
    row->addWidget(new QLabel(unit, holder));
    row->addStretch();
    return holder;
}

} // namespace

ScheduleDialog::ScheduleDialog(const TakePlan &shown, std::int32_t rateHz, std::int16_t channels, QWidget *parent)
    : QDialog(parent), m_rateHz(rateHz), m_channels(channels), m_plan(shown)
{
    setObjectName(QStringLiteral("ScheduleDialog"));
    setWindowTitle(QStringLiteral("Programmer un enregistrement"));
    auto *column = new QVBoxLayout(this);

    auto *timing = new QGridLayout;
    m_startBox = named(new QCheckBox(QStringLiteral("Démarrer à"), this), "chkStartAt");
    m_startTime = named(new QTimeEdit(this), "timStartAt");
    m_startTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_startTime->setTime(shown.startAt.value_or(QTime::currentTime().addSecs(60)));
    m_startTime->setToolTip(QStringLiteral("Aujourd'hui, ou demain quand l'heure est passée"));
    m_startBox->setChecked(shown.startAt.has_value());
    m_stopBox = named(new QCheckBox(QStringLiteral("Arrêter après"), this), "chkStopAfter");
    m_stopSeconds = numberBox(this, "txtStopAfter", shown.stopAfterSeconds);
    m_stopSeconds->setToolTip(QStringLiteral("Secondes de son enregistré (pauses et attente du son non comptées)"));
    m_stopBox->setChecked(shown.stopAfterSeconds.has_value());
    timing->addWidget(m_startBox, 0, 0);
    timing->addWidget(m_startTime, 0, 1, Qt::AlignLeft);
    timing->addWidget(m_stopBox, 1, 0);
    timing->addWidget(withUnit(m_stopSeconds, QStringLiteral("s"), this), 1, 1);
    column->addLayout(timing);

    const TakeOptions &take = shown.take;
    m_triggerGroup = named(new QGroupBox(QStringLiteral("Déclenchement au son"), this), "grpTrigger");
    m_triggerGroup->setCheckable(true);
    m_triggerGroup->setChecked(take.triggerDb.has_value());
    auto *trigger = new QFormLayout(m_triggerGroup);
    m_triggerDb = numberBox(m_triggerGroup, "txtTriggerDb", take.triggerDb.value_or(-30));
    m_preRecord = numberBox(m_triggerGroup, "txtPreRecord", take.preRecordSeconds);
    m_silenceStop = numberBox(m_triggerGroup, "txtSilenceStop", take.silenceStopSeconds);
    m_silenceStop->setToolTip(QStringLiteral("Vide : pas d'arrêt après un silence"));
    trigger->addRow(QStringLiteral("Seuil :"), withUnit(m_triggerDb, QStringLiteral("dBFS"), m_triggerGroup));
    trigger->addRow(QStringLiteral("Pré-enregistrement :"), withUnit(m_preRecord, QStringLiteral("s"), m_triggerGroup));
    trigger->addRow(QStringLiteral("Arrêt après un silence de :"),
                    withUnit(m_silenceStop, QStringLiteral("s"), m_triggerGroup));
    column->addWidget(m_triggerGroup);

    auto *split = new QHBoxLayout;
    m_splitBox = named(new QCheckBox(QStringLiteral("Nouvelle partie toutes les"), this), "chkSplit");
    m_splitBox->setChecked(take.splitSeconds.has_value());
    m_splitSeconds = numberBox(this, "txtSplit", take.splitSeconds);
    split->addWidget(m_splitBox);
    split->addWidget(withUnit(m_splitSeconds, QStringLiteral("s"), this), 1);
    column->addLayout(split);

    m_rf64 = named(new QCheckBox(QStringLiteral("RF64 au-delà de 4 Go"), this), "chkRF64");
    m_rf64->setToolTip(QStringLiteral("Décoché : au-delà de 4 Go, l'enregistrement continue dans un fichier suivant"));
    m_rf64->setChecked(take.rf64);
    column->addWidget(m_rf64);

    // A value counts, and can be typed, only while its box is checked.
    for (auto [box, field] : {std::pair<QCheckBox *, QWidget *>{m_startBox, m_startTime}, {m_stopBox, m_stopSeconds},
                              {m_splitBox, m_splitSeconds}}) {
        field->setEnabled(box->isChecked());
        connect(box, &QCheckBox::toggled, field, &QWidget::setEnabled);
    }

    m_problem = named(new QLabel(this), "lblProblem");
    m_problem->setWordWrap(true);
    QPalette red = m_problem->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_problem->setPalette(red);
    m_problem->hide();
    column->addWidget(m_problem);

    auto *buttons = named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "bxButtons");
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ScheduleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScheduleDialog::reject);
    column->addWidget(buttons);
}

TakePlan ScheduleDialog::plan() const
{
    return m_plan;
}

void ScheduleDialog::accept()
{
    TakePlan plan;
    if (const std::optional<QString> problem = read(&plan)) {
        m_problem->setText(*problem);
        m_problem->show();
        return;
    }
    m_plan = plan;
    QDialog::accept();
}

std::optional<QString> ScheduleDialog::read(TakePlan *plan) const
{
    QString problem;
    if (m_startBox->isChecked()) {
        const QTime time = m_startTime->time(); // to the second, as it is shown
        plan->startAt = QTime(time.hour(), time.minute(), time.second());
    }
    if (m_stopBox->isChecked()) {
        plan->stopAfterSeconds = number(*m_stopSeconds, QStringLiteral("Arrêter après"), &problem);
        if (!problem.isEmpty())
            return problem;
        const std::optional<double> seconds = plan->stopAfterSeconds;
        if (!seconds || !(*seconds > 0) || *seconds > kLongestTakeSeconds)
            return QStringLiteral("Durée d'enregistrement invalide : %1 s.").arg(m_stopSeconds->text().trimmed());
    }
    TakeOptions &take = plan->take;
    if (m_triggerGroup->isChecked()) {
        take.triggerDb = number(*m_triggerDb, QStringLiteral("Seuil"), &problem);
        take.preRecordSeconds = number(*m_preRecord, QStringLiteral("Pré-enregistrement"), &problem).value_or(0);
        take.silenceStopSeconds = number(*m_silenceStop, QStringLiteral("Arrêt après un silence"), &problem);
        if (!problem.isEmpty())
            return problem;
        if (!take.triggerDb)
            return QStringLiteral("Le déclenchement au son demande un seuil (en dBFS).");
    }
    if (m_splitBox->isChecked()) {
        take.splitSeconds = number(*m_splitSeconds, QStringLiteral("Nouvelle partie toutes les"), &problem);
        if (!problem.isEmpty())
            return problem;
        if (!take.splitSeconds)
            return QStringLiteral("Les parties demandent une durée (en secondes).");
    }
    take.rf64 = m_rf64->isChecked();
    const auto frameBytes = static_cast<std::uint64_t>(2 * m_channels);
    const auto blockFrames = static_cast<std::uint64_t>(WaveInRecorder::kDefaultBufferSize) / frameBytes;
    return takeOptionsProblem(take, m_rateHz, static_cast<std::uint16_t>(m_channels), blockFrames);
}
