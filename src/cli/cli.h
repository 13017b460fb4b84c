#pragma once

#include "check/provobj.h"

#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace cli {

// brantovel-check [[--dir] DIR]: the control run without a window. Findings go to `out`, one per
// line (sheet, row, column, message separated by tabs), then a verdict line. Returns the exit
// status: 0 no findings, 1 findings, 2 the run failed (the reason on `err`).
// brantovel-check --batch FOLDER [--out OUTDIR] [--dir DIR] [--jobs N]: every report of a folder,
// one line per report on `out`; 0 all clean, 1 findings, flags or a report not checked, 2 the batch
// could not run. `progress`, when given (a terminal), shows how far the batch has come.
int run(const QStringList& arguments, const QString& defaultDir, const check::Environment& env, QTextStream& out,
        QTextStream& err, QTextStream* progress = nullptr);

// Whether stdout or stderr is a terminal (not a file, a pipe or a null device).
bool isTerminal(FILE* stream);

} // namespace cli
