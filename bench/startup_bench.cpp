// Start-up benchmark: time from process start to the first paint of the main
// window on the demo database, against a minimal Qt 6 program that shows one
// empty window. Runs both interleaved and prints the medians and their ratio.
//
//   quillor-startup-bench [runs]     (default 10; goal: ratio at most 1.5)

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
std::optional<double> TimeToFirstPaint(const QString& program) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
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

    std::vector<double> program, yardstick;
    for (int i = 0; i < runs; ++i) {
        const auto a = TimeToFirstPaint(empty);
        const auto b = TimeToFirstPaint(quillor);
        if (!a || !b) {
            std::fprintf(stderr, "run %d: a probe did not report its first paint\n", i + 1);
            return 1;
        }
        yardstick.push_back(*a);
        program.push_back(*b);
        std::printf("run %2d: empty window %7.1f ms, main window %7.1f ms\n", i + 1, *a, *b);
    }
    const double m1 = Median(yardstick), m2 = Median(program);
    std::printf(
        "median of %d: empty window %.1f ms, main window %.1f ms, ratio %.2f (goal <= 1.5)\n", runs,
        m1, m2, m2 / m1);
    return 0;
}
