#pragma once
// FrmDisc, the window "检查并刻录光盘" of the materials window: the package
// check of the shown folder (errors and warnings apart), the volume name and
// size of the disc, the drives found, and the two ways onto a disc: an image
// file ("制作映像文件...") or burning in a drive ("刻 录"), each read back and
// compared with the folder before it is called good. Long runs show their
// progress in the window and stop on "取 消".

#include "disc/disc.h"
#include "disc/package_check.h"
#include "disc/package_disc.h"
#include "twip/ui/twipform.h"

#include <memory>
#include <string>
#include <vector>

class QProgressBar;
class QWidget;

namespace disc::ui {

class FrmDisc final : public twip::ui::TwipForm {
    Q_OBJECT
  public:
    // The package in `folder`; the disc is named `volumeName` (cut to fit by
    // DiscVolumeName). The window uses `system` for images and drives.
    FrmDisc(std::string folder, const std::string& volumeName,
            std::unique_ptr<disc::DiscSystem> system, QWidget* parent = nullptr);
    ~FrmDisc() override;

    // Checks the package and looks for drives.
    void Form_Load();
    // 0 "重新检查", 1 "制作映像文件...", 2 "刻 录", 3 "取 消", 4 "退 出".
    void Command1_Click(int index);

    // Checks the folder again and shows the findings.
    void RunCheck();
    // Lists the drives of the system, or these ones (a pseudo-drive, say).
    void ScanDrives();
    void useDrives(std::vector<disc::DriveInfo> drives);

    const PackageCheck& lastCheck() const { return check_; }
    const std::string& volumeName() const { return volume_; }
    bool busy() const { return busy_; }
    // The outcome of the last image or burn ("" before the first).
    const std::string& lastMessage() const { return lastMessage_; }

    twip::ui::Control& Command1(int i) const { return control(QStringLiteral("Command1"), i); }
    twip::ui::Control& TxtFindings() const { return control(QStringLiteral("TxtFindings")); }
    twip::ui::Control& LabResult() const { return control(QStringLiteral("LabResult")); }
    twip::ui::Control& LabVolume() const { return control(QStringLiteral("LabVolume")); }
    twip::ui::Control& LabSize() const { return control(QStringLiteral("LabSize")); }
    twip::ui::Control& CboDrive() const { return control(QStringLiteral("CboDrive")); }
    twip::ui::Control& LabMedium() const { return control(QStringLiteral("LabMedium")); }
    twip::ui::Control& LabProgress() const { return control(QStringLiteral("LabProgress")); }
    QProgressBar& ProgressBar1() const;

  protected:
    void done(int result) override;

  private:
    class Progress;

    void createControls();
    void showCheck();
    void enableButtons();
    // Checks again before writing; false (after the message) when the
    // package may not go onto a disc.
    bool checkBeforeWriting();
    void makeImage();
    void burn();
    void finish(const DiscOutcome& outcome);

    std::string folder_;
    std::string volume_;
    std::unique_ptr<disc::DiscSystem> system_;
    std::unique_ptr<ContentInspector> inspector_;
    PackageCheck check_;
    std::vector<disc::DriveInfo> drives_;
    bool busy_ = false;
    bool cancel_ = false;
    std::string lastMessage_;
};

// Shows the window for the package in `folder` modally over `parent`.
void ShowDiscWindow(QWidget* parent, const std::string& folder, const std::string& volumeName);

} // namespace disc::ui
