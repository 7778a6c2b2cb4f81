// Checks a soak recording: the header's sizes against the bytes on disk, the length against
// the asked duration to the sample (the recorder asks to stop after the block whose rounded
// running milliseconds reach the asked ones; the blocks the device had already filled in its
// ring of five still reach the file), and, for a recording of the virtual device's test signal
// without effects, every sample against the signal, so that a dropped or repeated block shows
// at its first sample. Standalone: built by soak.sh with the system compiler.
//   soak_check FILE SECONDS [--test-signal]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kBlockBytes = 10240;
constexpr std::int64_t kRingBuffers = 5;

struct Closer {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, Closer>;

std::uint32_t get32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t get16(const std::uint8_t *p) { return std::uint16_t(p[0] | p[1] << 8); }

[[noreturn]] void fail(const std::string &why)
{
    std::fprintf(stderr, "ÉCHEC : %s\n", why.c_str());
    std::exit(1);
}

struct Layout {
    std::uint32_t riffSize = 0, rateHz = 0, avgBytesPerSec = 0, dataSize = 0;
    std::uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
    std::int64_t dataOffset = 0;
};

Layout readLayout(std::FILE *file)
{
    Layout layout;
    std::uint8_t header[12];
    if (std::fread(header, 1, 12, file) != 12 || std::memcmp(header, "RIFF", 4) || std::memcmp(header + 8, "WAVE", 4))
        fail("pas un fichier RIFF WAVE");
    layout.riffSize = get32(header + 4);
    for (;;) {
        std::uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, file) != 8)
            fail("pas de bloc « data »");
        const std::uint32_t size = get32(chunk + 4);
        if (!std::memcmp(chunk, "fmt ", 4)) {
            std::uint8_t f[16];
            if (size < 16 || std::fread(f, 1, 16, file) != 16)
                fail("bloc « fmt » illisible");
            layout.tag = get16(f);
            layout.channels = get16(f + 2);
            layout.rateHz = get32(f + 4);
            layout.avgBytesPerSec = get32(f + 8);
            layout.blockAlign = get16(f + 12);
            layout.bits = get16(f + 14);
            if (::fseeko(file, (size - 16) + (size & 1), SEEK_CUR) != 0)
                fail("bloc « fmt » tronqué");
        } else if (!std::memcmp(chunk, "data", 4)) {
            layout.dataSize = size;
            layout.dataOffset = ::ftello(file);
            return layout;
        } else if (::fseeko(file, std::int64_t(size) + (size & 1), SEEK_CUR) != 0) {
            fail("bloc illisible");
        }
    }
}

// Blocks the recorder writes before its running milliseconds (each block's length rounded
// half to even, added to the total) reach the asked duration.
std::int64_t expectedBlocks(double seconds, std::uint32_t avgBytesPerSec)
{
    const std::int64_t limitMs = static_cast<std::int64_t>(seconds * 1000.0);
    std::int64_t ms = 0;
    std::int64_t blocks = 0;
    while (ms < limitMs) {
        ms = static_cast<std::int64_t>(std::nearbyint(double(kBlockBytes) / avgBytesPerSec * 1000.0 + double(ms)));
        ++blocks;
    }
    return blocks;
}

// The virtual device's test signal: 440 Hz (left or mono), 880 Hz (right), half of full scale.
std::int16_t testSignal(std::int64_t frame, int channel, double rateHz)
{
    const double t = static_cast<double>(frame) / rateHz;
    const double hz = channel == 0 ? 440.0 : 880.0;
    return static_cast<std::int16_t>(std::lround(16384.0 * std::sin(2.0 * std::numbers::pi * hz * t)));
}

void checkTestSignal(std::FILE *file, const Layout &layout)
{
    std::vector<std::uint8_t> bytes(1 << 20);
    std::int64_t frame = 0;
    std::int64_t nearMisses = 0; // a last-bit difference of the sine between two libm calls
    std::int64_t remaining = layout.dataSize;
    while (remaining > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(remaining, bytes.size()));
        if (std::fread(bytes.data(), 1, want, file) != want)
            fail("lecture interrompue");
        remaining -= static_cast<std::int64_t>(want);
        for (std::size_t i = 0; i + layout.blockAlign <= want; i += layout.blockAlign, ++frame) {
            for (int c = 0; c < layout.channels; ++c) {
                const auto got = static_cast<std::int16_t>(get16(&bytes[i + 2 * c]));
                const int diff = std::abs(got - testSignal(frame, c, layout.rateHz));
                if (diff > 1)
                    fail("le signal diverge à la trame " + std::to_string(frame) + " (bloc " +
                         std::to_string(frame * layout.blockAlign / kBlockBytes) + ") : bloc perdu ou répété");
                nearMisses += diff;
            }
        }
    }
    std::printf("signal de test : %lld trames conformes (%lld écarts d'une unité)\n",
                static_cast<long long>(frame), static_cast<long long>(nearMisses));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        fail("usage : soak_check FICHIER SECONDES [--test-signal]");
    File file(std::fopen(argv[1], "rb"));
    if (!file)
        fail(std::string("ouverture impossible : ") + argv[1]);
    const double seconds = std::atof(argv[2]);
    const bool signal = argc > 3 && std::string(argv[3]) == "--test-signal";

    const Layout layout = readLayout(file.get());
    if (::fseeko(file.get(), 0, SEEK_END) != 0)
        fail("taille illisible");
    const std::int64_t fileBytes = ::ftello(file.get());
    if (layout.tag != 1 || layout.bits != 16 || layout.blockAlign != 2 * layout.channels)
        fail("pas du PCM 16 bits");
    if (layout.dataOffset + layout.dataSize != fileBytes)
        fail("le bloc « data » ne décrit pas les octets du fichier");
    if (std::int64_t(layout.riffSize) + 8 != fileBytes)
        fail("la taille RIFF ne décrit pas le fichier");
    if (layout.dataSize % kBlockBytes != 0)
        fail("les données ne sont pas faites de blocs entiers");
    const std::int64_t blocks = layout.dataSize / kBlockBytes;
    const std::int64_t wanted = expectedBlocks(seconds, layout.avgBytesPerSec);
    const std::int64_t frames = layout.dataSize / layout.blockAlign;
    std::printf("%s : %lld octets, %lld trames (%.3f s à %u Hz, %u voie(s)), %lld blocs, %lld demandés\n",
                argv[1], static_cast<long long>(fileBytes), static_cast<long long>(frames),
                double(frames) / layout.rateHz, layout.rateHz, layout.channels,
                static_cast<long long>(blocks), static_cast<long long>(wanted));
    if (blocks < wanted || blocks > wanted + kRingBuffers)
        fail("durée différente de celle demandée");
    if (signal) {
        if (::fseeko(file.get(), layout.dataOffset, SEEK_SET) != 0)
            fail("retour aux données impossible");
        checkTestSignal(file.get(), layout);
    }
    return 0;
}
