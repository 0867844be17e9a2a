#include "app/FileListWalk.h"

#include <QStringList>
#include <vector>

#include "app/Main.h"
#include "ui/FileBrowser.h"
#include "ui/FileKind.h"
#include "ui/Inspector.h"

namespace orvex {

namespace {

// Shows the Inspector again when the walk ends, also when a visit throws.
class HiddenInspector {
public:
    HiddenInspector(TInspector* inspector, bool hide) {
        if (hide && inspector && inspector->isVisible()) {
            inspector_ = inspector;
            inspector_->hide();
        }
    }
    ~HiddenInspector() {
        if (inspector_) inspector_->show();
    }
    HiddenInspector(const HiddenInspector&) = delete;
    HiddenInspector& operator=(const HiddenInspector&) = delete;

private:
    TInspector* inspector_ = nullptr;
};

}  // namespace

QString Completed_Caption(int index, int count) {
    return QString::number(count > 0 ? index * 100 / count : 0) + QStringLiteral(" % completed");
}

int Walk_File_List(TMyGL& window, const FileListWalkOptions& options,
                   const std::function<bool(const QString& path, int index, int count)>& visit) {
    TInspector* inspector = window.Inspector();
    if (!inspector || !inspector->FileListBox) return 0;
    FileList& list = *inspector->FileListBox;
    HiddenInspector hidden(inspector, options.hideInspector);

    // Only the kinds of the list's original mask: the PLY and OBJ entries are there to be opened.
    QStringList paths;
    std::vector<int> rows;
    for (int row = 0; row < list.count(); ++row) {
        if (!Is_Sequence_File(list.FilePath(row))) continue;
        paths << list.FilePath(row);
        rows.push_back(row);
    }
    const int count = int(paths.size());
    if (count == 0) return 0;

    auto select = [&list, &rows](int index) {
        const int row = rows[std::size_t(index)];
        if (row < list.count()) list.setCurrentRow(row);
    };
    select(0);
    int visited = 0;
    for (int index = 0; index < count; ++index) {
        const bool goOn = visit(paths[index], index, count);
        ++visited;
        const int next = (index + 1) % count;
        select(next);
        window.setWindowTitle(Completed_Caption(next, count));
        if (!goOn) break;
    }
    return visited;
}

}  // namespace orvex
