#pragma once
// The decimal separator of the user's locale, for the degree texts of the ISD calculators.

#include <QLocale>

namespace ormid {

inline char localeDecimalSeparator()
{
    return QLocale().decimalPoint().at(0).toLatin1();
}

} // namespace ormid
