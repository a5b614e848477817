#include "accessimport/ui/jet_runner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <string>

namespace accessimport::ui {
namespace {

namespace fs = std::filesystem;

constexpr int kStartTimeoutMs = 10000;
constexpr int kReapTimeoutMs = 5000;
constexpr int kPollMs = 100;
constexpr std::size_t kMaxOutputBytes = 8 * 1024;

QString ToQString(const fs::path& path) {
    const std::u8string text = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(text.data()),
                             static_cast<qsizetype>(text.size()));
}

fs::path FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// Keeps the last few kilobytes of what the child printed: its summary or its
// reason for failing, without letting a chatty child fill the parent's memory.
class OutputTail {
  public:
    void append(const QByteArray& bytes) {
        text_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (text_.size() > 2 * kMaxOutputBytes)
            text_.erase(0, text_.size() - kMaxOutputBytes);
    }
    std::string text() const {
        std::string tail =
            text_.size() > kMaxOutputBytes ? text_.substr(text_.size() - kMaxOutputBytes) : text_;
        const auto firstCharacter = tail.find_first_not_of(ContinuationBytes());
        tail.erase(0, std::min(firstCharacter, tail.size()));
        while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r'))
            tail.pop_back();
        return tail;
    }

  private:
    static std::string ContinuationBytes() {
        std::string bytes;
        for (int b = 0x80; b <= 0xBF; ++b)
            bytes += static_cast<char>(b);
        return bytes;
    }
    std::string text_;
};

QProcessEnvironment ChildEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A stray output charset would turn Chinese into "??"; the child picks the
    // Jet 3 code page from the file itself.
    environment.remove(QStringLiteral("MDBICONV"));
    environment.remove(QStringLiteral("MDB_JET3_CHARSET"));
    environment.remove(QStringLiteral("MDBOPTS"));
    return environment;
}

// The child limits its own address space where the system offers that
// (setrlimit). Elsewhere the parent has to confine it after start, e.g. by
// assigning it to a job object with a process memory limit on Windows.
void ConfineStartedChild(QProcess& /*process*/, const ChildImportLimits& /*limits*/) {}

// Waits for the child within the time limit, collecting its output; kills it
// when the time is up.
bool WaitWithinLimit(QProcess& process, const ChildImportLimits& limits, OutputTail& output) {
    QElapsedTimer clock;
    clock.start();
    while (process.state() != QProcess::NotRunning) {
        const qint64 left = limits.timeLimit.count() - clock.elapsed();
        if (left <= 0) {
            process.kill();
            process.waitForFinished(kReapTimeoutMs);
            return false;
        }
        process.waitForFinished(static_cast<int>(std::min<qint64>(left, kPollMs)));
        output.append(process.readAll());
    }
    output.append(process.readAll());
    return true;
}

bool RunChild(const fs::path& executable, const ChildImportLimits& limits, const fs::path& in,
              const fs::path& out, std::string& detail) {
    std::error_code ec;
    if (!fs::is_regular_file(executable, ec)) {
        detail = "找不到导入程序 " + ToQString(executable).toStdString();
        return false;
    }
    QProcess process;
    process.setProgram(ToQString(executable));
    process.setArguments({QStringLiteral("--memory-limit-mb=%1").arg(limits.memoryLimitMb),
                          ToQString(in), ToQString(out)});
    process.setProcessEnvironment(ChildEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        detail = "无法启动导入程序：" + process.errorString().toStdString();
        return false;
    }
    ConfineStartedChild(process, limits);
    OutputTail output;
    if (!WaitWithinLimit(process, limits, output)) {
        detail = "导入程序超过时限（" + std::to_string(limits.timeLimit.count()) + "毫秒），已终止";
        return false;
    }
    detail = output.text();
    if (process.exitStatus() != QProcess::NormalExit) {
        detail = "导入程序异常终止 " + detail;
        return false;
    }
    return process.exitCode() == 0;
}

} // namespace

fs::path ChildImporterPath() {
#if defined(_WIN32)
    const char* name = "quillor-import-mdb.exe";
#else
    const char* name = "quillor-import-mdb";
#endif
    return FromQString(QCoreApplication::applicationDirPath()) / name;
}

accessimport::JetImportRunner MakeChildImportRunner() {
    return MakeChildImportRunner(ChildImporterPath());
}

accessimport::JetImportRunner MakeChildImportRunner(fs::path executable, ChildImportLimits limits) {
    return [executable = std::move(executable), limits](const fs::path& in, const fs::path& out,
                                                        std::string& detail) {
        return RunChild(executable, limits, in, out, detail);
    };
}

} // namespace accessimport::ui
