#include "ui/FileBrowser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>

namespace orvex {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString indent(int level) {
    return QString(2 * level, QLatin1Char(' '));
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives()) roots << drive.absoluteFilePath();
    roots << QDir::homePath();
    // Removable and network volumes; system mounts (/proc, /sys, /dev ...) are no place for models.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady()) continue;
        if (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
            root.startsWith(QLatin1String("/run/media/"))) {
            roots << root;
        }
    }
    roots.removeDuplicates();
    for (const QString& root : roots) {
        addItem(QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon), root, root);
    }
    connect(this, &QComboBox::activated, this, [this](int) { emit driveChanged(Drive()); });
}

void DriveList::SelectDriveOf(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool holds =
            clean == root || clean.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + '/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0) setCurrentIndex(best);
}

QString DriveList::Drive() const {
    return currentData().toString();
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item) SetDirectory(item->data(kPathRole).toString());
    });
}

bool FolderList::SetDirectory(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable()) return false;
    const QString target = info.canonicalFilePath();

    QStringList chain;
    QDir walk(target);
    chain.prepend(walk.absolutePath());
    while (!walk.isRoot() && walk.cdUp()) chain.prepend(walk.absolutePath());

    clear();
    QStyle* style = QApplication::style();
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    for (int level = 0; level < chain.size(); ++level) {
        const QDir dir(chain[level]);
        const QString name = dir.isRoot() ? dir.absolutePath() : dir.dirName();
        auto* item = new QListWidgetItem(open, indent(level) + name, this);
        item->setData(kPathRole, chain[level]);
    }
    setCurrentRow(static_cast<int>(chain.size()) - 1);
    const QDir current(target);
    for (const QString& sub :
         current.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, indent(static_cast<int>(chain.size())) + sub, this);
        item->setData(kPathRole, current.absoluteFilePath(sub));
    }
    directory_ = target;
    emit directoryChanged(target);
    return true;
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    watcher_ = new QFileSystemWatcher(this);
    refreshLater_ = new QTimer(this);
    refreshLater_->setSingleShot(true);
    refreshLater_->setInterval(150);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, refreshLater_, qOverload<>(&QTimer::start));
    connect(refreshLater_, &QTimer::timeout, this, &FileList::Refresh);
}

void FileList::watch() {
    const QStringList watched = watcher_->directories();
    if (watched.size() == 1 && watched.front() == directory_) return;
    if (!watched.isEmpty()) watcher_->removePaths(watched);
    // A folder that cannot be watched (no inotify slots left) still lists; it only does not follow.
    if (!directory_.isEmpty()) watcher_->addPath(directory_);
}

void FileList::SetMask(const QString& mask) {
    mask_ = mask;
    Refresh();
}

void FileList::SetExtraMask(const QString& mask) {
    extraMask_ = mask;
    Refresh();
}

void FileList::SetDirectory(const QString& path) {
    directory_ = path;
    clear();
    Refresh();
}

void FileList::Refresh() {
    watch();
    QStringList names;
    if (!directory_.isEmpty()) {
        QStringList patterns;
        const QString all = mask_ + QLatin1Char(';') + extraMask_;
        for (const QString& pattern : all.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!pattern.trimmed().isEmpty()) patterns << pattern.trimmed();
        }
        names =
            QDir(directory_).entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    }
    QStringList shown;
    for (int row = 0; row < count(); ++row) shown << item(row)->text();
    // Unchanged names leave the list alone: its selection and scroll position stay as the user left them.
    if (names == shown) return;
    const QString keep = currentItem() ? currentItem()->text() : QString();
    const bool keepSelected = currentItem() && currentItem()->isSelected();
    clear();
    addItems(names);
    if (!keep.isEmpty()) {
        const QList<QListWidgetItem*> found = findItems(keep, Qt::MatchExactly);
        if (!found.isEmpty()) {
            setCurrentItem(found.first(), keepSelected ? QItemSelectionModel::ClearAndSelect
                                                       : QItemSelectionModel::NoUpdate);
        }
    }
}

QString FileList::FilePath(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? QDir(directory_).absoluteFilePath(entry->text()) : QString();
}

QString FileList::SelectedFilePath() const {
    const QListWidgetItem* entry = currentItem();
    return entry && entry->isSelected() ? FilePath(currentRow()) : QString();
}

}  // namespace orvex
