#include "private_cups.h"

#include <cups/cups.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <memory>

#include <unistd.h>

namespace cupstest {
namespace {

bool Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QString Text(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

std::map<std::string, std::string> JobAttributes(int id) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/jobs/%d", id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    static const char* const wanted[] = {"copies", "media", "page-ranges", "sides",
                                         "print-color-mode"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(wanted)), nullptr, wanted);
    const std::unique_ptr<ipp_t, IppDelete> response(
        cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    std::map<std::string, std::string> attributes;
    for (ipp_attribute_t* a = response ? ippFirstAttribute(response.get()) : nullptr; a;
         a = ippNextAttribute(response.get())) {
        char value[1024];
        if (ippGetName(a) && ippGetGroupTag(a) == IPP_TAG_JOB) {
            ippAttributeString(a, value, sizeof value);
            attributes[ippGetName(a)] = value;
        }
    }
    return attributes;
}

} // namespace

PrivateCups::PrivateCups() : folder_(QDir::tempPath() + "/quillor-cups-XXXXXX") {
    // cupsd runs its filters as lp: the folder must be open to it.
    QFile::setPermissions(folder_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
    for (const char* sub : {"spool", "cache", "state"})
        QDir(folder_.path()).mkdir(sub);
    QDir(folder_.path()).mkdir("out");
    QFile::setPermissions(path("out"), QFileDevice::Permissions(0x7777));
    qputenv("CUPS_SERVER", path("sock").toLocal8Bit());
    qunsetenv("LPDEST"); // the tests choose their queues themselves
    qunsetenv("PRINTER");
}

PrivateCups::~PrivateCups() {
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000))
            daemon_.kill();
        daemon_.waitForFinished(2000);
    }
}

bool PrivateCups::start() {
    if (!folder_.isValid())
        return error_ = "no temporary folder", false;
    if (!QFileInfo("/usr/sbin/cupsd").isExecutable())
        return error_ = "cupsd is not installed (Debian package cups)", false;
    if (!QFileInfo::exists(kGenericPdfPpd))
        return error_ = QString("%1 is missing (package cups-filters)").arg(kGenericPdfPpd), false;
    const QByteArray dir = folder_.path().toLocal8Bit();
    const QByteArray conf = "Listen " + dir +
                            "/sock\nBrowsing No\nWebInterface No\n"
                            "LogLevel warn\nDefaultAuthType None\n"
                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                            "  </Limit>\n</Policy>\n";
    QByteArray files = "ServerRoot " + dir + "\nRequestRoot " + dir + "/spool\nCacheDir " + dir +
                       "/cache\nStateDir " + dir + "/state\nTempDir " + dir + "/spool\nErrorLog " +
                       dir + "/error_log\nAccessLog " + dir + "/access_log\nPageLog " + dir +
                       "/page_log\nPrintcap " + dir + "/printcap\nFileDevice Yes\n";
    if (geteuid() == 0)
        files += "User lp\nGroup lp\n"; // cupsd refuses to run its filters as root
    if (!Write(path("cupsd.conf"), conf) || !Write(path("cups-files.conf"), files))
        return error_ = "cannot write the configuration", false;
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.start("/usr/sbin/cupsd",
                  {"-f", "-c", path("cupsd.conf"), "-s", path("cups-files.conf")});
    if (!daemon_.waitForStarted(5000))
        return error_ = "cupsd does not start: " + daemon_.errorString(), false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (daemon_.state() == QProcess::NotRunning)
            return error_ = "cupsd stopped: " + QString::fromLocal8Bit(daemon_.readAll()) +
                            Text(path("error_log")),
                   false;
        if (QFileInfo::exists(path("sock")) && answers())
            return true;
        QThread::msleep(50);
    }
    return error_ = "cupsd does not answer: " + Text(path("error_log")), false;
}

bool PrivateCups::answers() {
    QProcess lpstat;
    lpstat.start("lpstat", {"-r"});
    return lpstat.waitForFinished(5000) &&
           lpstat.readAllStandardOutput().startsWith("scheduler is running");
}

bool PrivateCups::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool PrivateCups::addQueue(const QString& name, const QString& ppd, const QString& media,
                           const QStringList& extra) {
    return run("lpadmin", QStringList{"-p", name, "-E", "-v", "file://" + output(name), "-P", ppd,
                                      "-o", "PageSize=" + media, "-o", "media=" + media} +
                              extra);
}

void PrivateCups::removeQueues() {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i)
        run("lpadmin", {"-x", QString::fromUtf8(dests[i].name)});
    cupsFreeDests(count, dests);
}

std::vector<Job> PrivateCups::jobs(const QString& queue, bool waitForEnd, int seconds) {
    const QByteArray name = queue.toUtf8();
    QElapsedTimer waited;
    waited.start();
    std::vector<Job> found;
    while (true) {
        cups_job_t* list = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &list, name, 0, CUPS_WHICHJOBS_ALL);
        found.clear();
        bool running = false;
        for (int i = 0; i < count; ++i) {
            found.push_back({list[i].id, list[i].state, {}});
            running = running || list[i].state < IPP_JSTATE_STOPPED;
        }
        cupsFreeJobs(count, list);
        if (!waitForEnd || !running || waited.elapsed() > seconds * 1000)
            break;
        QThread::msleep(50);
    }
    std::sort(found.begin(), found.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    for (Job& job : found)
        job.attributes = JobAttributes(job.id);
    return found;
}

QString DriverWithMargins(const PrivateCups& cups, double millimetres) {
    QString ppd = Text(kGenericPdfPpd);
    const double m = millimetres * 72 / 25.4;
    const auto area = [m](double width, double height) {
        return QString("\"%1 %1 %2 %3\"").arg(m).arg(width - m).arg(height - m);
    };
    ppd.replace("*ImageableArea A4/A4: \"18 36 577 806\"",
                "*ImageableArea A4/A4: " + area(595, 842));
    ppd.replace("*ImageableArea Letter/Letter: \"18 36 594 756\"",
                "*ImageableArea Letter/Letter: " + area(612, 792));
    const QString path = cups.path("margins.ppd");
    return Write(path, ppd.toUtf8()) ? path : QString();
}

} // namespace cupstest
