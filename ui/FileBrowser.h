#pragma once
// The linked drive box, folder list and file list of the Inspector's "Open File" page. Choosing a
// drive shows its root in the folder list; activating a folder (double click or Enter) makes it the
// folder list's directory; the folder list's directory is the file list's. The file list shows the
// plain files of its directory that match its mask (matched without regard to case), sorted by name.
// None of them changes the program's working folder. The file list watches its folder, so files
// written there (by this program or any other) appear without re-entering it.

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

namespace orvex {

class DriveList : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget* parent = nullptr);
    // Selects the drive that holds `path` (the longest root that is a prefix of it).
    void SelectDriveOf(const QString& path);
    QString Drive() const;

signals:
    void driveChanged(const QString& root);
};

class FolderList : public QListWidget {
    Q_OBJECT

public:
    explicit FolderList(QWidget* parent = nullptr);
    // Lists the chain of folders from the root down to `path`, then its sub-folders. False (and no
    // change) when `path` is no readable folder.
    bool SetDirectory(const QString& path);
    QString Directory() const { return directory_; }

signals:
    void directoryChanged(const QString& path);

private:
    QString directory_;
};

class FileList : public QListWidget {
    Q_OBJECT

public:
    explicit FileList(QWidget* parent = nullptr);
    // "*.tgl;*.stl;" style: patterns separated by ';', empty ones ignored.
    void SetMask(const QString& mask);
    QString Mask() const { return mask_; }
    // More patterns listed beside the mask's (files that open with one click but are no part of
    // what the mask names).
    void SetExtraMask(const QString& mask);
    void SetDirectory(const QString& path);
    QString Directory() const { return directory_; }
    // Reads the folder again, keeping the current file when it is still there.
    void Refresh();

    QString FilePath(int row) const;
    // Full path of the current file; empty when there is none.
    QString SelectedFilePath() const;

private:
    void watch();

    QString mask_;
    QString extraMask_;
    QString directory_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* refreshLater_ = nullptr;  // a burst of changes (a save writes and renames) reads once
};

}  // namespace orvex
