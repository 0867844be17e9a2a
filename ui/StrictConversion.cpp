#include "ui/StrictConversion.h"

#include <cmath>
#include <limits>

namespace orvex {

QString ConversionError::Message() const {
    const QString kind = Integer ? QStringLiteral("integer") : QStringLiteral("floating point");
    return QStringLiteral("%1: '%2' is not a valid %3 value").arg(Field, Text, kind);
}

std::optional<int> Strict_To_Int(const QString& text) {
    // toInt stops at a NUL character and takes "3\0abc" for 3.
    if (text.contains(QChar(0))) return std::nullopt;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

std::optional<float> Strict_To_Float(const QString& text) {
    const QString trimmed = text.trimmed();
    // toDouble also takes "inf" and "nan"; a field never means those.
    for (QChar c : trimmed) {
        if (c.isLetter() && c != QLatin1Char('e') && c != QLatin1Char('E')) return std::nullopt;
    }
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

}  // namespace orvex
