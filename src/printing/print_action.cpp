#include "printing/print_action.h"

#include "startup/mainbas.h"

#include "platform/prompter.h"
#include "printing/print_table.h"

namespace printing {
namespace {

constexpr double kTwipsPerMm = 1440.0 / 25.4;
constexpr double kMinPageWidthMm = 209;
constexpr double kMinPageHeightMm = 296;

const char* const kWrongPageText = "打印机页面设置不正确(应设置为A4[纵向]大小)...";

class BusyScope {
  public:
    explicit BusyScope(const BusyPointer& busy) : busy_(busy) {
        if (busy_)
            busy_(true);
    }
    ~BusyScope() {
        if (busy_)
            busy_(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    const BusyPointer& busy_;
};

std::string PrinterName(const twip::Printer& printer) {
    const std::string name = printer.deviceName();
    return name.empty() ? "系统默认打印机" : name;
}

std::string WithReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + "\n原因：" + reason + "。";
}

// What the print system said of the job, when it is more than "sent": true
// when it did not print (a message has been shown).
bool ReportJob(const twip::Printer& printer) {
    using Outcome = platform::JobReport::Outcome;
    const platform::JobReport job = printer.lastJob();
    const std::string name = PrinterName(printer);
    switch (job.outcome) {
    case Outcome::Refused:
        platform::Notify(
            WithReason("打印机【" + name + "】没有接受打印作业，未能打印。", job.reason), "错误",
            platform::MsgIcon::Exclamation);
        return true;
    case Outcome::Failed:
        platform::Notify(
            WithReason("打印作业已送到打印机【" + name + "】，但没有打印出来。", job.reason),
            "错误", platform::MsgIcon::Exclamation);
        return true;
    case Outcome::Held:
        platform::Notify(WithReason("打印作业已送到打印机，但打印机已停止：打印机【" + name +
                                        "】恢复工作后才会打印。",
                                    job.reason),
                         "提示", platform::MsgIcon::Exclamation);
        return false;
    case Outcome::Sent:
    case Outcome::Unknown:
        break;
    }
    return false;
}

} // namespace

#ifdef _WIN32
const char* const kNoPrinterText =
    "你的 Windows 系统没有安装打印机，因此无法运行打印操作，请首先安装打印机。";
#else
const char* const kNoPrinterText = "系统中没有安装打印机，因此无法运行打印操作。请首先安装打印机；"
                                   "也可以点击“预 览”，在预览窗口中将页面保存为PDF文件。";
#endif

bool IsA4PortraitPage(const twip::Printer& printer) {
    return printer.pageWidth() >= kTwipsPerMm * kMinPageWidthMm &&
           printer.pageHeight() >= kTwipsPerMm * kMinPageHeightMm;
}

bool PrintForm(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
               int containerIndex, float scaleY, const BusyPointer& busy) {
    return PrintFormPages(printer, windowControls, containerIndex, scaleY, 1, {}, busy) > 0;
}

int PrintFormPages(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
                   int containerIndex, float scaleY, int pageCount, const PreparePage& prepare,
                   const BusyPointer& busy) {
    if (PrinterCount == 0) {
        // An empty title shows the application's own name.
        platform::CurrentPrompter().message(kNoPrinterText, "", platform::MsgIcon::None,
                                            platform::MsgButtons::Ok);
        return 0;
    }
    // Asked before anything is drawn: a queue that refuses jobs would
    // otherwise swallow the job without a word.
    const platform::JobReport ready = printer.readiness();
    if (ready.outcome == platform::JobReport::Outcome::Refused) {
        platform::Notify(
            WithReason("打印机【" + PrinterName(printer) + "】现在不接受打印作业，未能打印。",
                       ready.reason),
            "错误", platform::MsgIcon::Exclamation);
        return 0;
    }
    return DrawFormPages(printer, windowControls, containerIndex, scaleY, pageCount, prepare, busy);
}

int DrawFormPages(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
                  int containerIndex, float scaleY, int pageCount, const PreparePage& prepare,
                  const BusyPointer& busy) {
    SetPrinterPage(printer, twip::PaperA4, twip::OrientationPortrait);
    if (!IsA4PortraitPage(printer)) {
        platform::Notify(kWrongPageText, "错误", platform::MsgIcon::Exclamation);
        return 0;
    }
    BusyScope busyPointer(busy);
    try {
        printer.startDoc();
    } catch (const twip::PrinterError&) {
        platform::Notify("打印机【" + PrinterName(printer) + "】无法开始打印作业，未能打印。",
                         "错误", platform::MsgIcon::Exclamation);
        return 0;
    }
    PageScaleX = kPrintScaleX;
    PageScaleY = scaleY;
    const int printed =
        PrintControlPages(printer, windowControls, "Pic2", containerIndex, pageCount, prepare);
    if (ReportJob(printer))
        return 0;
    if (printed == 0)
        platform::Notify("打印机【" + PrinterName(printer) +
                             "】未能完成打印作业，打印结果可能不完整。",
                         "错误", platform::MsgIcon::Exclamation);
    return printed;
}

} // namespace printing
