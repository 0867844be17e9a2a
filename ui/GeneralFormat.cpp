#include "ui/GeneralFormat.h"

#include "geometry/GeneralNumber.h"

namespace orvex {

QString Format_General(double value, int precision, int exponentDigits) {
    return QString::fromStdString(General_Number(value, precision, exponentDigits, -3));
}

}  // namespace orvex
