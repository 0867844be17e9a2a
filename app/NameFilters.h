#pragma once
// The file dialogs' filter lists ("STL Format (*.stl)") from their tables of entries, in order, and
// the way back from the filter a dialog returns to its entry.

#include <QString>
#include <QStringList>

namespace orvex {

// Any table whose entries have `description` and `pattern` (C strings).
template <class Table>
QStringList Name_Filters(const Table& table) {
    QStringList filters;
    for (const auto& entry : table)
        filters << QStringLiteral("%1 (%2)").arg(QLatin1String(entry.description),
                                                 QLatin1String(entry.pattern));
    return filters;
}

// The 1-based entry of `chosen` in `filters`, 0 when none. QFileDialog keeps its filters with
// their white space simplified ("Convex of Point Set  (*.stl)" comes back with one blank), so the
// texts are compared in that form.
inline int Name_Filter_Entry(const QStringList& filters, const QString& chosen) {
    const QString wanted = chosen.simplified();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters[i].simplified() == wanted) return static_cast<int>(i) + 1;
    }
    return 0;
}

// The text that selects entry `entry` (1-based) in a dialog given `filters`, or `fallback`'s.
inline QString Name_Filter_Text(const QStringList& filters, int entry, int fallback) {
    const int index = entry >= 1 && entry <= filters.size() ? entry : fallback;
    return filters.value(index - 1).simplified();
}

}  // namespace orvex
