#pragma once
// TReport_Form, the "Detail" window: a stay-on-top tool window whose read-only memo collects the
// report lines of benchmarks, fits and smoothing runs. It starts with the time the program started
// and a rule of 39 '=' signs. "Save Message" writes the lines to the chosen name, with ".txt"
// appended unless it ends so already ("log" and "log.txt" both give log.txt), through an atomic
// write, asking first when that file exists.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QMenu;
class QPlainTextEdit;

namespace orvex {

class TReport_Form : public QWidget {
    Q_OBJECT

public:
    explicit TReport_Form(QWidget* parent = nullptr);

    QPlainTextEdit* Report_Memo = nullptr;
    QMenu* Report_PopMenu = nullptr;

    // Runs the save dialog ("Text File|*.txt"); empty when cancelled. Tests replace it.
    std::function<std::optional<QString>()> Report_SaveDialog;
    // Tells the user a save failed (a message box by default).
    std::function<void(const QString&)> Show_Message;
    // Asks a Yes/No question in a warning box; true for Yes.
    std::function<bool(const QString&)> Ask_Yes_No;

    void Add_Line(const QString& line);
    QStringList Lines() const;

    // "Save Message".
    void Report_FormClick();
    // The file "Save Message" writes for the chosen name: name + ".txt" unless it ends in ".txt".
    static QString Target_Name(const QString& name);
    // Writes every line to Target_Name(name); false (and `error` set) when it could not be written.
    bool Save_Lines(const QString& name, QString* error = nullptr) const;

    // "Program processing at " and the local time in ctime form, without its newline.
    static QString Start_Line();
};

}  // namespace orvex
