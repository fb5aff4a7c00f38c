#pragma once

#include <QByteArray>
#include <QStringList>

// "vantrel-log export": reads a record file and writes it as GeoJSON, KML or a geosubmit
// upload. Arguments are the whole command line (program, "export", ...). Messages go to Errors
// (standard error in the program); the result is the exit status.
int RunExport(const QStringList& Arguments, QByteArray& Errors);
