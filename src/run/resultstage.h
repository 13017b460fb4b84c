#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace app {

// How a folder check puts its results into the output folder so that the summary never lies.
//
// While the reports are checked, each new log is written beside the results under a hidden name
// (".brantovel-new.<name>_log.xls"): the previous run's summary and logs stay as they were, so a run
// that is interrupted or fails then leaves the previous complete result untouched (the next run
// removes the hidden files). Then, in a short last step:
//   1. the new summary replaces the old one atomically, marked incomplete on its information row
//      (kIncomplete);
//   2. the logs the old summary named and this run has not made are removed, and the new logs are
//      renamed to their names (the names to remove are first written to a hidden list, so that a run
//      interrupted here has them removed by the next run, as its summary no longer names them);
//   3. the summary is written again without the mark.
// A run interrupted inside that step leaves a summary that says it is incomplete. A complete summary
// names exactly the logs of its own run, and each of them exists.
class ResultStage {
public:
    static const QString kIncomplete;

    // `outDir` is held by this run's lock. Removes what an interrupted run left hidden there.
    explicit ResultStage(const QString& outDir);
    // Removes this run's hidden logs that were not published.
    ~ResultStage();
    ResultStage(const ResultStage&) = delete;
    ResultStage& operator=(const ResultStage&) = delete;

    // Where the log `name` of this run is written while the reports are checked.
    QString stagedPath(const QString& name) const;
    // Marks a staged log hidden where a leading dot does not hide a file (Windows), so that a run
    // killed before it publishes shows no log that its summary does not name.
    static void hide(const QString& staged);

    // The logs a summary names in column `column` of its first sheet from row `firstRow` on; none
    // when there is no summary or it cannot be read.
    static QStringList namedLogs(const QString& summary, int firstRow, int column);

    // The logs an interrupted run was removing (its hidden list), to be removed by this one.
    QStringList leftToRemove() const;
    // Writes the hidden list of logs to remove before the summary that names them is replaced;
    // throws xls::Error when it cannot.
    void noteRemovals(const QStringList& logs) const;

    // Steps 2 of the class comment: removes `oldLogs` that are not among `newLogs`, then moves every
    // staged log of `newLogs` to its name. Returns the logs that could not be put in place, each with
    // the reason (the summary must then not name them).
    QMap<QString, QString> publish(const QStringList& newLogs, const QStringList& oldLogs);

private:
    QString m_dir;
};

} // namespace app
