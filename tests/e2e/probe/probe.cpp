// e2e_probe: what the end-to-end tests see and hear.
//
//   e2e_probe shot OUT.png
//       grabs the whole screen of $DISPLAY into OUT.png.
//   e2e_probe region IMAGE.png X Y W H [R G B TOLERANCE]
//       colour statistics of a rectangle: pixel count, the least and greatest
//       value of each channel and, given a colour, the fraction of the pixels
//       within TOLERANCE of it in every channel, and the bounding box (bx by bw
//       bh, relative to the rectangle) of the pixels that are not: the text or
//       drawing on a plain background.
//   e2e_probe audio RECORDING.raw [--rate N] [--channels N] [--window S]
//                  [--threshold RMS] [--timeline]
//       loudness and dominant frequency of a raw s16le recording.
//   e2e_probe double-click
//       the double-click interval (ms) and distance (pixels) that Qt applies
//       on $DISPLAY: two presses closer than both are one double-click.
//
// Results go to stdout as key=value pairs on one line, for the shell to pick.

#include "audio_analysis.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStyleHints>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: e2e_probe shot OUT.png\n"
                 "       e2e_probe region IMAGE.png X Y W H [R G B TOLERANCE]\n"
                 "       e2e_probe audio RECORDING.raw [--rate N] [--channels N] [--window S]"
                 " [--threshold RMS] [--timeline]\n"
                 "       e2e_probe double-click\n");
    return 2;
}

int shot(int argc, char** argv) {
    if (argc != 3) return usage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    // Grabbing must see device pixels one to one, whatever scaling the program under test uses.
    qunsetenv("QT_SCALE_FACTOR");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "e2e_probe: no screen\n");
        return 1;
    }
    const QPixmap pixmap = screen->grabWindow(0);
    if (pixmap.isNull() || !pixmap.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "e2e_probe: cannot grab the screen into %s\n", argv[2]);
        return 1;
    }
    return 0;
}

int doubleClick(int argc, char** argv) {
    if (argc != 2) return usage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStyleHints* hints = QGuiApplication::styleHints();
    std::printf("interval_ms=%d distance_px=%d\n", hints->mouseDoubleClickInterval(),
                hints->mouseDoubleClickDistance());
    return 0;
}

int region(int argc, char** argv) {
    if (argc != 7 && argc != 11) return usage();
    QImage image(QString::fromLocal8Bit(argv[2]));
    if (image.isNull()) {
        std::fprintf(stderr, "e2e_probe: cannot read %s\n", argv[2]);
        return 1;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRect rect = QRect(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]))
                           .intersected(image.rect());
    const bool withColour = argc == 11;
    const int want[3] = {withColour ? std::atoi(argv[7]) : 0, withColour ? std::atoi(argv[8]) : 0,
                         withColour ? std::atoi(argv[9]) : 0};
    const int tolerance = withColour ? std::atoi(argv[10]) : 0;

    long count = 0, matching = 0;
    QRect differing;  // bounding box of the pixels away from the given colour, relative to the rectangle
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int c[3] = {qRed(p), qGreen(p), qBlue(p)};
            bool close = true;
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], c[i]);
                high[i] = std::max(high[i], c[i]);
                close = close && std::abs(c[i] - want[i]) <= tolerance;
            }
            ++count;
            if (close)
                ++matching;
            else
                differing |= QRect(x - rect.left(), y - rect.top(), 1, 1);
        }
    }
    std::printf("n=%ld minr=%d ming=%d minb=%d maxr=%d maxg=%d maxb=%d", count, low[0], low[1], low[2],
                high[0], high[1], high[2]);
    if (withColour) {
        std::printf(" match=%.3f", count ? static_cast<double>(matching) / count : 0.0);
        std::printf(" bx=%d by=%d bw=%d bh=%d", differing.x(), differing.y(), differing.width(),
                    differing.height());
    }
    std::printf("\n");
    return count ? 0 : 1;
}

int audio(int argc, char** argv) {
    if (argc < 3) return usage();
    e2e::AudioFormat format;
    e2e::AnalysisOptions options;
    bool timeline = false;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rate" && hasValue)
            format.rate = std::atoi(argv[++i]);
        else if (arg == "--channels" && hasValue)
            format.channels = std::atoi(argv[++i]);
        else if (arg == "--window" && hasValue)
            options.windowSeconds = std::atof(argv[++i]);
        else if (arg == "--threshold" && hasValue)
            options.loudThreshold = std::atof(argv[++i]);
        else if (arg == "--timeline")
            timeline = true;
        else
            return usage();
    }
    if (format.rate <= 0 || format.channels <= 0 || options.windowSeconds <= 0) return usage();

    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "e2e_probe: cannot read %s\n", argv[2]);
        return 1;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
    }
    const std::vector<float> mono = e2e::toMono(samples, format.channels);
    const auto windows = e2e::analyse(mono, format.rate, options);
    if (timeline) {
        for (const auto& w : windows) std::printf("t=%.3f rms=%.4f freq=%.0f\n", w.start, w.rms, w.frequency);
    }
    const e2e::Summary s = e2e::summarise(windows, options);
    std::printf(
        "seconds=%.3f loud_seconds=%.3f first_loud=%.3f last_loud=%.3f first_freq=%.0f freq=%.0f "
        "peak_rms=%.4f\n",
        s.seconds, s.loudSeconds, s.firstLoud, s.lastLoud, s.firstFrequency, s.frequency, s.peakRms);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "shot") return shot(argc, argv);
    if (command == "region") return region(argc, argv);
    if (command == "audio") return audio(argc, argv);
    if (command == "double-click") return doubleClick(argc, argv);
    return usage();
}
