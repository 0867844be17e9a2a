#include "app/Report.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <cstdio>
#include <ctime>

#include "app/LocalPath.h"
#include "geometry/AtomicFile.h"

namespace orvex {

TReport_Form::TReport_Form(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Report_Form"));
    setWindowTitle(QStringLiteral("Detail"));
    resize(420, 320);
    Report_Memo = new QPlainTextEdit(this);
    Report_Memo->setObjectName(QStringLiteral("Report_Memo"));
    Report_Memo->setReadOnly(true);
    Report_Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Report_Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Report_Memo->setFont(QFont(QStringLiteral("Times New Roman"), 12));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Report_Memo);

    Report_PopMenu = new QMenu(this);
    Report_PopMenu->setObjectName(QStringLiteral("Report_PopMenu"));
    QAction* save = Report_PopMenu->addAction(QStringLiteral("Save Message"));
    save->setObjectName(QStringLiteral("SaveMessage1"));
    connect(save, &QAction::triggered, this, &TReport_Form::Report_FormClick);
    Report_Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Report_Memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { Report_PopMenu->popup(Report_Memo->mapToGlobal(pos)); });

    Report_SaveDialog = [this]() -> std::optional<QString> {
        // The dialog would ask about the name as chosen; the question belongs to the file written.
        const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save Message"), QString(),
                                                          QStringLiteral("Text File (*.txt)"), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
        if (name.isEmpty()) return std::nullopt;
        return name;
    };
    Show_Message = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    Ask_Yes_No = [this](const QString& question) {
        return QMessageBox::warning(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };

    Add_Line(Start_Line());
    Add_Line(QString(39, QLatin1Char('=')));
}

QString TReport_Form::Start_Line() {
    // ctime's form ("Wed Jun 30 21:49:08 1993") in English whatever the locale, and without ctime's
    // shared static buffer.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[local.tm_wday % 7],
                  kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  1900 + local.tm_year);
    return QStringLiteral("Program processing at ") + QString::fromLatin1(text);
}

void TReport_Form::Add_Line(const QString& line) {
    Report_Memo->appendPlainText(line);
}

QStringList TReport_Form::Lines() const {
    return Report_Memo->toPlainText().split(QLatin1Char('\n'));
}

QString TReport_Form::Target_Name(const QString& name) {
    return name.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) ? name : name + QStringLiteral(".txt");
}

bool TReport_Form::Save_Lines(const QString& name, QString* error) const {
    AtomicFile file;
    Status status = file.Open(Local_Path(Target_Name(name)));
    if (status) {
        for (const QString& line : Lines()) {
            const QByteArray bytes = line.toLocal8Bit() + '\n';
            file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
        status = file.Commit();
    }
    if (!status && error) *error = QString::fromStdString(status.message);
    return static_cast<bool>(status);
}

void TReport_Form::Report_FormClick() {
    const std::optional<QString> name = Report_SaveDialog();
    if (!name || name->isEmpty()) return;
    if (QFile::exists(Target_Name(*name)) && !Ask_Yes_No(QStringLiteral("File exists, Overwrite?"))) return;
    QString error;
    if (!Save_Lines(*name, &error)) Show_Message(error);
}

}  // namespace orvex
