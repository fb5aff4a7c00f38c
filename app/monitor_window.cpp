#include "app/monitor_window.h"

TForm3::TForm3(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Vantrel")); }
