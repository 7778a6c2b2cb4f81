// The main window's "Programmer…" dialog: a start at a clock time, a stop after a length of
// recorded sound, sound activation (threshold, pre-recorded seconds, stop after a silence),
// parts every so many seconds, and the RF64 setting. OK is refused, with the reason in French
// shown in the dialog, while a value is not a number or the take's options would be refused.
#pragma once

#include "recording/take_options.h"

#include <QDialog>
#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimeEdit;

// What the dialog asks of the next take.
struct TakePlan {
    std::optional<QTime> startAt;           // today, or tomorrow when the time has passed
    std::optional<double> stopAfterSeconds; // of recorded sound (pauses and the wait excluded)
    TakeOptions take;

    // Whether the plan asks more of a take than the record button alone does (RF64 aside,
    // a setting of every take).
    bool asksMore() const
    {
        return startAt || stopAfterSeconds || take.triggerDb || take.splitSeconds;
    }
};

class ScheduleDialog : public QDialog {
    Q_OBJECT
public:
    // shown: the values the dialog opens with; rateHz and channels: the capture the take
    // options are checked for (below 1, the record button refuses the rate itself).
    ScheduleDialog(const TakePlan &shown, std::int32_t rateHz, std::int16_t channels, QWidget *parent = nullptr);

    // The values as the dialog holds them; whole once accepted.
    TakePlan plan() const;
    void accept() override;

private:
    // Why the values cannot be taken, in French; nothing when they can. *plan gets them.
    std::optional<QString> read(TakePlan *plan) const;

    std::int32_t m_rateHz;
    std::int16_t m_channels;
    TakePlan m_plan;
    QCheckBox *m_startBox = nullptr;
    QTimeEdit *m_startTime = nullptr;
    QCheckBox *m_stopBox = nullptr;
    QLineEdit *m_stopSeconds = nullptr;
    QGroupBox *m_triggerGroup = nullptr;
    QLineEdit *m_triggerDb = nullptr;
    QLineEdit *m_preRecord = nullptr;
    QLineEdit *m_silenceStop = nullptr;
    QCheckBox *m_splitBox = nullptr;
    QLineEdit *m_splitSeconds = nullptr;
    QCheckBox *m_rf64 = nullptr;
    QLabel *m_problem = nullptr;
};
