#pragma once
// The folder and drive lists of the folder picker: a list that shows the
// path of the current folder from its drive down and the folders within it,
// and the drives of the computer (drive letters on Windows; the root and the
// mounted volumes elsewhere).

#include <QListWidget>
#include <QString>

#include <vector>

namespace dialogs::ui {

struct Drive {
    QString root;  // "/", "/media/usb", "C:/"
    QString label; // volume name, may be empty
};

std::vector<Drive> ListDrives();
// The drive among `drives` that holds `path` (the longest matching root).
int DriveOf(const std::vector<Drive>& drives, const QString& path);

class FolderList final : public QListWidget {
    Q_OBJECT
  public:
    explicit FolderList(QWidget* parent = nullptr);

    // The current folder with native separators.
    QString path() const;
    // Opens a folder; false (and the list unchanged) when it cannot be read.
    bool setPath(const QString& path);

  signals:
    void pathChanged();
    void openFailed(const QString& path);

  private:
    void fill();
    void openItem(QListWidgetItem* item);

    QString path_;
};

} // namespace dialogs::ui
