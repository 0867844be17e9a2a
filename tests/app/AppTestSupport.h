#pragma once
// Helpers for driving the main window: the program's forms in a scratch working folder (every STL
// open writes its C-array dump there), STL files written from meshes with known measures, and
// answers for the open dialog and the message box so that no modal window blocks a test.

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>
#include <memory>
#include <optional>

#include "app/Forms.h"
#include "app/GLView.h"
#include "mesh/MeshWriters.h"
#include "mesh/UniOb.h"
#include "tests/support/TestMeshes.h"

namespace orvex::testing {

// Everything a window test needs: the forms, shown, with the working folder in a temporary folder.
class AppHarness {
public:
    AppHarness() : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder_.path());
        forms_ = std::make_unique<Forms>();
        window().Show_Message = [this](const QString& text) { messages << text; };
        forms_->Report_Form.Show_Message = [this](const QString& text) { messages << text; };
        window().show();
        if (!QTest::qWaitForWindowExposed(&window())) qWarning("the main window was never shown");
    }
    ~AppHarness() {
        forms_.reset();
        QDir::setCurrent(previous_);
    }
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    TMyGL& window() { return forms_->MyGL; }
    TInspector& inspector() { return forms_->Inspector; }
    TMesh_Formation& formation() { return forms_->Mesh_Formation; }
    TReport_Form& report() { return forms_->Report_Form; }
    QString path(const QString& name) const { return folder_.filePath(name); }

    // The next open dialog returns these files and this filter entry; nullopt answers "Cancel".
    void answerOpen(std::optional<QStringList> files, int filterIndex = 3) {
        window().Open_Dialog = [files, filterIndex](int, bool) -> std::optional<OpenChoice> {
            if (!files) return std::nullopt;
            return OpenChoice{*files, filterIndex};
        };
    }

    // Runs the event loop for a moment so that it goes idle (and runs the Inspector's mailbox).
    static void idleFor(int ms = 60) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QStringList messages;

private:
    QTemporaryDir folder_;
    QString previous_;
    std::unique_ptr<Forms> forms_;
};

// Writes an axis-aligned box as a binary STL and returns its path.
inline QString writeBoxStl(const QString& path, Vec3 size, Vec3 centre = {}) {
    UniOb mesh;
    test::Make_Box(mesh, size, centre);
    test::Finish_Mesh(mesh);
    const Status status = Write_STL(&mesh, path.toStdString());
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}

inline QString writeSphereStl(const QString& path, float radius, int levels, Vec3 centre = {}) {
    UniOb mesh;
    test::Make_Sphere(mesh, radius, levels, centre);
    test::Finish_Mesh(mesh);
    const Status status = Write_STL(&mesh, path.toStdString());
    if (!status) qWarning("%s", status.message.c_str());
    return path;
}

inline int meshCount(const UniOb* head) {
    int count = 0;
    for (; head; head = head->next) ++count;
    return count;
}

inline bool sameMatrix(const Matrix4& a, const Matrix4& b, float tolerance = 1e-6f) {
    for (int i = 0; i < 16; ++i) {
        if (std::fabs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
}

}  // namespace orvex::testing
