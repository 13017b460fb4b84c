#pragma once

#include "check/provobj.h"

#include <QStringList>
#include <QTextStream>

namespace cli {

// brantovel-check [[--dir] DIR]: the control run without a window. Findings go to `out`, one per
// line (sheet, row, column, message separated by tabs), then a verdict line. Returns the exit
// status: 0 no findings, 1 findings, 2 the run failed (the reason on `err`).
int run(const QStringList& arguments, const QString& defaultDir, const check::Environment& env, QTextStream& out,
        QTextStream& err);

} // namespace cli
