#pragma once

// The monitor window's texts and colours that both its building (monitor_window_build.cpp) and
// its running (monitor_window.cpp) use.

#include <QColor>
#include <QString>

namespace window_look {

inline const QString Title = QStringLiteral("Vantrel");
inline const QString OnlineHint = QStringLiteral("Check to go online");
inline const QString LostHint = QStringLiteral("Device lost");
inline const QString GridHint = QStringLiteral("Monitoring data");
inline const QString MonitorHint = QStringLiteral("Check to go monitoring");

inline const QColor WindowColor(196, 196, 255);
inline const QColor WindowFontColor(0, 0, 64);
inline const QColor FrameColor(128, 0, 255);
inline const QColor IdentityFieldColor(255, 255, 176);
inline const QColor CellColor(255, 255, 183);
inline const QColor FailColor(255, 0, 0);

}  // namespace window_look
