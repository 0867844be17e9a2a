#pragma once
// The file dialogs' filter lists ("STL Format (*.stl)") from their tables of entries, in order.

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

}  // namespace orvex
