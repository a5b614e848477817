#include "dialogs/ui/folder_list.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace dialogs::ui {
namespace {

bool IsReadableFolder(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

bool IsUserVolume(const QStorageInfo& volume) {
    if (!volume.isValid() || !volume.isReady())
        return false;
    const QString root = volume.rootPath();
    for (const char* prefix : {"/media/", "/mnt/", "/run/media/"})
        if (root.startsWith(QLatin1String(prefix)))
            return true;
    return root == QLatin1String("/home");
}

QStringList Ancestors(const QString& path) {
    QStringList chain;
    QDir dir(path);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp())
        chain.prepend(dir.absolutePath());
    return chain;
}

QString NameOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

} // namespace

std::vector<Drive> ListDrives() {
    std::vector<Drive> drives;
#ifdef Q_OS_WIN
    for (const QFileInfo& drive : QDir::drives())
        drives.push_back({drive.absoluteFilePath(), QStorageInfo(drive.absoluteFilePath()).name()});
#else
    drives.push_back({QStringLiteral("/"), QString()});
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (IsUserVolume(volume))
            drives.push_back({volume.rootPath(), volume.name()});
    std::sort(drives.begin() + 1, drives.end(),
              [](const Drive& a, const Drive& b) { return a.root < b.root; });
#endif
    return drives;
}

int DriveOf(const std::vector<Drive>& drives, const QString& path) {
    const QString absolute = QDir::fromNativeSeparators(QDir(path).absolutePath());
    int best = -1;
    qsizetype bestLength = -1;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        QString root = QDir::fromNativeSeparators(drives[i].root);
        const bool matches =
            absolute.compare(root, Qt::CaseInsensitive) == 0 ||
            absolute.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'),
                                Qt::CaseInsensitive);
        if (matches && root.size() > bestLength) {
            best = static_cast<int>(i);
            bestLength = root.size();
        }
    }
    return best;
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::itemActivated, this, &FolderList::openItem);
    setPath(QDir::currentPath());
}

QString FolderList::path() const {
    return QDir::toNativeSeparators(path_);
}

bool FolderList::setPath(const QString& path) {
    if (!IsReadableFolder(path))
        return false;
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    const bool changed = absolute != path_;
    path_ = absolute;
    fill();
    if (changed)
        emit pathChanged();
    return true;
}

void FolderList::fill() {
    clear();
    const QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);
    const QStringList chain = Ancestors(path_);
    int depth = 0;
    for (const QString& folder : chain) {
        auto* item = new QListWidgetItem(
            folderIcon, QString(depth * 2, QLatin1Char(' ')) + NameOf(folder), this);
        item->setData(Qt::UserRole, folder);
        ++depth;
        if (folder == chain.back())
            setCurrentItem(item);
    }
    QStringList subfolders =
        QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders) {
        auto* item =
            new QListWidgetItem(folderIcon, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, QDir(path_).filePath(name));
    }
}

void FolderList::openItem(QListWidgetItem* item) {
    const QString target = item->data(Qt::UserRole).toString();
    if (!setPath(target))
        emit openFailed(target);
}

} // namespace dialogs::ui
