// Start-up benchmark: time from process start to the first paint of the main
// window on the demo database, against a minimal Qt 6 program that shows one
// empty window. Runs both interleaved and prints the medians and their ratio.
// A third program, the empty window with one line of Chinese text, shows how
// much of the difference any window with Chinese text pays.
//
//   quillor-startup-bench [runs]     (default 10; goal: at most 1.3 times the
//                                     window with one label of Chinese text)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// Milliseconds from starting the program until it reports its first paint.
std::optional<double> TimeToFirstPaint(const QString& program, const QStringList& arguments = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    QByteArray output;
    while (!output.contains("painted\n")) {
        if (!process.waitForReadyRead(30000))
            break;
        output += process.readAllStandardOutput();
    }
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    process.waitForFinished(10000);
    if (!output.contains("painted\n"))
        return std::nullopt;
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QDir here(QCoreApplication::applicationDirPath());
    const QString quillor = here.filePath("quillor-startup-probe");
    const QString empty = here.filePath("quillor-empty-probe");

    std::vector<double> program, yardstick, withText;
    for (int i = 0; i < runs; ++i) {
        const auto a = TimeToFirstPaint(empty);
        const auto b = TimeToFirstPaint(quillor);
        const auto c = TimeToFirstPaint(empty, {QStringLiteral("--text")});
        if (!a || !b || !c) {
            std::fprintf(stderr, "run %d: a probe did not report its first paint\n", i + 1);
            return 1;
        }
        yardstick.push_back(*a);
        program.push_back(*b);
        withText.push_back(*c);
        std::printf(
            "run %2d: empty window %7.1f ms, main window %7.1f ms, window with text %7.1f ms\n",
            i + 1, *a, *b, *c);
    }
    const double m1 = Median(yardstick), m2 = Median(program), m3 = Median(withText);
    std::printf("median of %d: empty window %.1f ms, main window %.1f ms, ratio %.2f\n", runs, m1,
                m2, m2 / m1);
    std::printf("window with one line of Chinese text %.1f ms: ratio %.2f to the empty window, "
                "main window %.2f of it (goal <= 1.3)\n",
                m3, m3 / m1, m2 / m3);
    return 0;
}
