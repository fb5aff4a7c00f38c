#pragma once

#include <QChar>
#include <QString>

// Formats Value after a pattern such as "#,##0.###" or "##0.0": "0" is a digit always
// written, "#" one written only when significant, "," in the integer part asks for
// thousands grouping and "." marks the decimal separator. Rounds half away from zero.
// Non-finite values give "NAN", "INF" or "-INF".
QString FormatFloat(const QString& Pattern, double Value, QChar DecimalSeparator,
                    QChar ThousandSeparator);
