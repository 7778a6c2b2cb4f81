// clsFourier's size handling, errors, timing and the radix-2 transform itself.
#include "display/fourier.h"

#include "common/app_error.h"
#include "display/fourier_passes.h"

#include <algorithm>

namespace {

const char *const kSizeErrorText = "Number of samples must be a positive value of the form 2 ^ n";
const char *const kIndexErrorText = "Index out of range or number of samples unknown";

std::int64_t counterNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

} // namespace

clsFourier::clsFourier()
    : m_re(1, 0.0), m_im(1, 0.0), m_magnitude(1, 0.0), m_reversed(1, 0), m_window(1, 0.0), m_pi(4 * std::atan(1.0)),
      m_twoPi(2 * m_pi),
      m_counterFrequency(Clock::period::den / Clock::period::num)
{
}

std::int32_t clsFourier::ReverseBits(std::int32_t v, std::int32_t bits)
{
    std::uint32_t rest = static_cast<std::uint32_t>(v);
    std::uint32_t r = 0;
    for (std::int32_t b = 0; b < bits; ++b) {
        r = (r << 1) | (rest & 1u);
        rest >>= 1;
    }
    return static_cast<std::int32_t>(r);
}

void clsFourier::NumberOfSamples(std::int32_t N)
{
    if (N < 2 || (N & (N - 1)) != 0)
        throw AppError(380, QString::fromLatin1(kSizeErrorText), errorSource(QStringLiteral("clsFourier")));

    const std::size_t n = static_cast<std::size_t>(N);
    const std::int32_t bits = static_cast<std::int32_t>(std::lround(std::log(N) / std::log(2.0)));

    // Everything is built aside first, so that a failed allocation leaves the object as it was.
    std::vector<double> re(n, 0.0);
    std::vector<double> im(n, 0.0);
    std::vector<double> magnitude(n, 0.0);
    std::vector<std::uint32_t> reversed(n);
    std::vector<double> window(n);
    for (std::size_t i = 0; i < n; ++i) {
        reversed[i] = static_cast<std::uint32_t>(ReverseBits(static_cast<std::int32_t>(i), bits));
        const double a = m_twoPi * static_cast<double>(i) / static_cast<double>(N - 1);
        window[i] = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
    }

    std::vector<double> twiddleRe(n - 1);
    std::vector<double> twiddleIm(n - 1);
    for (std::size_t half = 1; half < n; half *= 2) {
        // The rotation by theta = 2 pi / L, as alpha = 1 - cos(theta) and beta = sin(theta);
        // the recurrence starts again from w = 1 in every block of the pass.
        const double delta = m_pi / static_cast<double>(2 * half);
        const double sinDelta = std::sin(delta);
        const double alpha = 2 * sinDelta * sinDelta;
        const double beta = std::sin(2 * delta);
        double wRe = 1;
        double wIm = 0;
        for (std::size_t j = 0; j < half; ++j) {
            twiddleRe[half - 1 + j] = wRe;
            twiddleIm[half - 1 + j] = wIm;
            const double nextRe = wRe - (alpha * wRe + beta * wIm);
            const double nextIm = wIm - alpha * wIm + beta * wRe;
            wRe = nextRe;
            wIm = nextIm;
        }
    }

    m_re = std::move(re);
    m_im = std::move(im);
    m_magnitude = std::move(magnitude);
    m_magnitudesReady = 0;
    m_reversed = std::move(reversed);
    m_window = std::move(window);
    m_twiddleRe = std::move(twiddleRe);
    m_twiddleIm = std::move(twiddleIm);
    m_lastIndex = N - 1;
    m_elementCount = static_cast<std::uint32_t>(N);
    m_pending = true;
}

float clsFourier::Timing() const
{
    return static_cast<float>(static_cast<double>(m_endCount - m_startCount) /
                              static_cast<double>(m_counterFrequency) * 1000.0);
}

void clsFourier::raiseIndexError()
{
    throw AppError(381, QString::fromLatin1(kIndexErrorText), errorSource(QStringLiteral("clsFourier")));
}

void clsFourier::transform()
{
    m_pending = false;
    m_startCount = counterNow();
    runButterflyPasses(m_re.data(), m_im.data(), m_twiddleRe.data(), m_twiddleIm.data(),
                       static_cast<std::size_t>(m_lastIndex) + 1);
    m_magnitudesReady = 0;
    m_endCount = counterNow();
}

void clsFourier::prepareMagnitudes(std::size_t i)
{
    constexpr std::size_t kRun = 64;
    const std::size_t end = std::min(m_magnitude.size(), (i / kRun + 1) * kRun);
    computeMagnitudes(m_re.data(), m_im.data(), m_magnitude.data(), m_magnitudesReady, end);
    m_magnitudesReady = end;
}
