#include "app/recorder/record_options.h"

#include "effects/cls_dsp.h"

#include <cmath>

namespace {

// The largest share of an effect's output fed back into it that the effects window offers.
constexpr double kLargestFeedback = 0.9 + 1e-9;

std::optional<std::vector<double>> numberList(const QString &text, int count)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return std::nullopt;
    std::vector<double> values;
    for (const QString &part : parts) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        values.push_back(value);
    }
    return values;
}

// Any number, NaN and infinities included: what a length or a level may be is checked with the
// rest of the take's options.
std::optional<double> decimal(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<QTime> clockTime(const QString &text)
{
    for (const char *format : {"H:mm:ss", "H:mm"}) {
        const QTime time = QTime::fromString(text, QLatin1String(format));
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<std::int32_t> effectBits(const QString &text)
{
    std::int32_t bits = 0;
    for (const QString &name : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString effect = name.trimmed().toLower();
        if (effect == QLatin1String("echo"))
            bits |= clsDSP::kEcho;
        else if (effect == QLatin1String("phaser"))
            bits |= clsDSP::kPhaseShift;
        else if (effect == QLatin1String("amplifier"))
            bits |= clsDSP::kAmplifier;
        else if (effect == QLatin1String("equalizer"))
            bits |= clsDSP::kEqualizer;
        else
            return std::nullopt;
    }
    return bits;
}

} // namespace

std::optional<RecordOptions> parseRecordOptions(const QStringList &arguments, QString *problem)
{
    RecordOptions options;
    const auto fail = [problem](const QString &why) -> std::optional<RecordOptions> {
        *problem = why;
        return std::nullopt;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--numbered")) {
            options.numbered = true;
            continue;
        }
        if (argument == QLatin1String("--rf64") || argument == QLatin1String("--monitor")) {
            (argument == QLatin1String("--rf64") ? options.take.rf64 : options.monitor) = true;
            continue;
        }
        if (argument == QLatin1String("--mono") || argument == QLatin1String("--stereo")) {
            options.stereo = argument == QLatin1String("--stereo");
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            if (!options.outputPath.isEmpty())
                return fail(QStringLiteral("Un seul fichier de sortie : %1").arg(argument));
            options.outputPath = argument;
            continue;
        }
        if (i + 1 >= arguments.size())
            return fail(QStringLiteral("Valeur manquante après %1").arg(argument));
        const QString value = arguments[++i];
        const QString bad = QStringLiteral("Valeur invalide pour %1 : %2").arg(argument, value);
        if (argument == QLatin1String("--device")) {
            const auto n = wholeNumber(value);
            if (!n || *n < 0)
                return fail(bad);
            options.device = *n;
        } else if (argument == QLatin1String("--line")) {
            options.line = wholeNumber(value);
            if (!options.line || *options.line < 0)
                return fail(bad);
        } else if (argument == QLatin1String("--volume")) {
            options.volume = wholeNumber(value);
            if (!options.volume || *options.volume < 0 || *options.volume > 65535)
                return fail(bad);
        } else if (argument == QLatin1String("--format")) {
            options.formatIndex = wholeNumber(value);
            if (!options.formatIndex || *options.formatIndex < 0)
                return fail(bad);
        } else if (argument == QLatin1String("--rate")) {
            options.rateText = value; // checked by the record sequence, as the window's text is
        } else if (argument == QLatin1String("--seconds")) {
            bool ok = false;
            options.seconds = value.toDouble(&ok);
            if (!ok || !(*options.seconds > 0) || *options.seconds > 2e6) // NaN fails the first test
                return fail(bad);
        } else if (argument == QLatin1String("--trigger") || argument == QLatin1String("--pre-record") ||
                   argument == QLatin1String("--stop-after-silence") || argument == QLatin1String("--split")) {
            const auto number = decimal(value);
            if (!number)
                return fail(bad);
            if (argument == QLatin1String("--trigger"))
                options.take.triggerDb = number;
            else if (argument == QLatin1String("--pre-record"))
                options.take.preRecordSeconds = *number;
            else if (argument == QLatin1String("--stop-after-silence"))
                options.take.silenceStopSeconds = number;
            else
                options.take.splitSeconds = number;
        } else if (argument == QLatin1String("--start-at")) {
            options.startAt = clockTime(value);
            if (!options.startAt)
                return fail(QStringLiteral("Heure de début invalide : %1 (HH:MM ou HH:MM:SS).").arg(value));
        } else if (argument == QLatin1String("--effects")) {
            const auto bits = effectBits(value);
            if (!bits)
                return fail(bad);
            options.effectsUsed = *bits;
        } else if (argument == QLatin1String("--amplify")) {
            options.amplifyDb = wholeNumber(value);
            if (!options.amplifyDb)
                return fail(bad);
        } else if (argument == QLatin1String("--echo")) {
            const auto values = numberList(value, 2);
            // An echo fed back at minus one or more grows without end; above 0.9 the chain
            // takes 0.9.
            if (!values || (*values)[1] < -kLargestFeedback)
                return fail(bad + QStringLiteral(" (facteur de -0,9 à 0,9)"));
            options.echo = std::pair(static_cast<int>((*values)[0]), static_cast<float>((*values)[1]));
        } else if (argument == QLatin1String("--phaser")) {
            const auto values = numberList(value, 6);
            // A feedback of one or more makes the phase shifter run away, as the settings
            // window's range stops at 0.9.
            if (!values || std::abs((*values)[2]) > kLargestFeedback)
                return fail(bad + QStringLiteral(" (réinjection de -0,9 à 0,9)"));
            std::array<float, 6> phaser{};
            for (std::size_t k = 0; k < phaser.size(); ++k)
                phaser[k] = static_cast<float>((*values)[k]);
            options.phaser = phaser;
        } else if (argument == QLatin1String("--eq")) {
            const auto values = numberList(value, 7);
            if (!values)
                return fail(bad);
            options.equalizerGainsDb = std::vector<float>(values->begin(), values->end());
        } else {
            return fail(QStringLiteral("Option inconnue : %1").arg(argument));
        }
    }
    return options;
}

void applyEffectOptions(const RecordOptions &options, clsDSP &effects)
{
    effects.setEffectsUsed(options.effectsUsed);
    if (options.amplifyDb)
        effects.setAmplifyDB(*options.amplifyDb);
    if (options.echo) {
        effects.setEchoLength(options.echo->first);
        effects.setEchoAmp(options.echo->second);
    }
    if (options.phaser) {
        const auto &p = *options.phaser;
        effects.setPhaseShiftDry(p[0]);
        effects.setPhaseShiftWet(p[1]);
        effects.setPhaseShiftFeedback(p[2]);
        effects.setPhaseShiftSweepRate(p[3]);
        effects.setPhaseShiftSweepRange(p[4]);
        effects.setPhaseShiftFrequency(p[5]);
    }
    if (options.equalizerGainsDb) {
        const auto &gains = *options.equalizerGainsDb;
        if (effects.EqualizerBands() != static_cast<std::int32_t>(gains.size()))
            effects.setEqualizerBands(static_cast<std::int32_t>(gains.size()));
        for (std::size_t band = 0; band < gains.size(); ++band)
            effects.setEqualizerBandGainDB(static_cast<std::int32_t>(band), gains[band]);
    }
}
