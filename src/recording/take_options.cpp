#include "recording/take_options.h"

#include "common/number_format.h"
#include "recording/sound_trigger.h"

#include <cmath>

namespace {

// Lengths are refused past a year: nothing records that long, and frame counts stay exact.
constexpr double kLongestSeconds = 366.0 * 24 * 3600;

bool isLength(double seconds, bool zeroAllowed)
{
    return std::isfinite(seconds) && (zeroAllowed ? seconds >= 0 : seconds > 0) && seconds <= kLongestSeconds;
}

QString number(double value)
{
    return formatNumber(value);
}

QString megabytes(std::uint64_t bytes)
{
    return QStringLiteral("%1 Mo").arg((bytes + (1u << 20) - 1) >> 20);
}

} // namespace

std::uint64_t framesIn(double seconds, std::int32_t rateHz)
{
    return static_cast<std::uint64_t>(std::llround(seconds * rateHz));
}

std::optional<QString> takeOptionsProblem(const TakeOptions &options, std::int32_t rateHz, std::uint16_t channels,
                                          std::uint64_t blockFrames)
{
    if (options.triggerDb && !(*options.triggerDb <= 0.0)) // NaN fails too
        return QStringLiteral("Seuil de déclenchement invalide : %1 dBFS (il va jusqu'à 0 dBFS).").arg(number(*options.triggerDb));
    if (!isLength(options.preRecordSeconds, true))
        return QStringLiteral("Durée de pré-enregistrement invalide : %1 s.").arg(number(options.preRecordSeconds));
    if (options.preRecordSeconds > 0 && !options.triggerDb)
        return QStringLiteral("Le pré-enregistrement demande un seuil de déclenchement.");
    if (options.silenceStopSeconds && !isLength(*options.silenceStopSeconds, false))
        return QStringLiteral("Durée de silence invalide : %1 s.").arg(number(*options.silenceStopSeconds));
    if (options.silenceStopSeconds && !options.triggerDb)
        return QStringLiteral("L'arrêt après un silence demande un seuil de déclenchement.");
    if (options.splitSeconds && !isLength(*options.splitSeconds, false))
        return QStringLiteral("Durée des parties invalide : %1 s.").arg(number(*options.splitSeconds));
    if (rateHz < 1)
        return std::nullopt; // the rate is refused on its own
    if (options.splitSeconds && framesIn(*options.splitSeconds, rateHz) < blockFrames)
        return QStringLiteral("Parties trop courtes : %1 s. Une partie dure au moins un bloc de capture (%2 s).")
            .arg(number(*options.splitSeconds), number(static_cast<double>(blockFrames) / rateHz));
    const std::uint64_t frameBytes = 2ull * channels;
    const std::uint64_t ringBytes = framesIn(options.preRecordSeconds, rateHz) * frameBytes;
    if (ringBytes > kPreRecordLimitBytes) {
        const double longest = std::floor(static_cast<double>(kPreRecordLimitBytes / frameBytes) / rateHz);
        return QStringLiteral("Pré-enregistrement trop long : %1 s demandent %2 de mémoire ; la limite est de %3, "
                              "soit %4 s à %5 Hz %6.")
            .arg(number(options.preRecordSeconds), megabytes(ringBytes),
                 megabytes(kPreRecordLimitBytes), number(longest), QString::number(rateHz),
                 channels == 2 ? QStringLiteral("stéréo") : QStringLiteral("mono"));
    }
    return std::nullopt;
}

// The next time the clock shows `time`: today, or tomorrow when it has passed.
QDateTime nextOccurrence(const QTime &time)
{
    const QDateTime now = QDateTime::currentDateTime();
    QDateTime at(now.date(), time);
    if (at <= now)
        at = QDateTime(now.date().addDays(1), time);
    return at;
}
