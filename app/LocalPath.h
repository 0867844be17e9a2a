#pragma once
// File names go to the core readers and writers in the file system's own encoding.

#include <QFile>
#include <QString>
#include <string>

namespace orvex {

inline std::string Local_Path(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace orvex
