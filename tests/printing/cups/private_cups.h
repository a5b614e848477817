// A CUPS daemon of the test's own: configuration, spool, logs and socket in
// a temporary folder, no port, no browsing, nothing of the system's print
// set-up touched. Queues print through the driver of cups-filters' generic
// PDF printer into files in the folder, so a job can be read back.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

namespace cupstest {

inline const char* const kGenericPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

// A job of a queue as the print system keeps it: its state (IPP job-state)
// and the attributes asked for, as text.
struct Job {
    int id = 0;
    int state = 0;
    std::map<std::string, std::string> attributes;
};

class PrivateCups {
  public:
    // Makes the folder and points libcups (and Qt's print support) at its
    // socket: call before anything prints.
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts cupsd and waits until it answers; false with error() when it
    // cannot run here.
    bool start();
    const QString& error() const { return error_; }
    QString path(const QString& name) const { return folder_.filePath(name); }

    // A queue that prints into output(name), with the given PPD and default
    // paper ("Letter", "A4"); `extra` goes to lpadmin as it is.
    bool addQueue(const QString& name, const QString& ppd, const QString& media,
                  const QStringList& extra = {});
    QString output(const QString& name) const { return path("out/" + name + ".pdf"); }
    // Removes every queue.
    void removeQueues();
    // Runs a CUPS command (lpadmin, cupsreject, ...) against the daemon.
    bool run(const QString& program, const QStringList& arguments);

    // The queue's jobs, oldest first, once none is pending or processing
    // any more (at most `seconds`); with `waitForEnd` false at once.
    std::vector<Job> jobs(const QString& queue, bool waitForEnd = true, int seconds = 20);

  private:
    bool answers();

    QTemporaryDir folder_;
    QProcess daemon_;
    QString error_;
};

// A copy of the generic PDF driver whose A4 and Letter pages declare
// `millimetres` of margin on every side.
QString DriverWithMargins(const PrivateCups& cups, double millimetres);

} // namespace cupstest
