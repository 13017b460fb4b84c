#pragma once

#include "check/provobj.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace fixtures {

// One expected or actual log row: sheet, row, column text, message.
struct Row {
    QString sheet;
    int row = 0;
    QString col;
    QString message;
    bool operator==(const Row&) const = default;
};
QString describe(const QList<Row>& rows);
// Both lists, for a failure message.
QString mismatch(const QList<Row>& got, const QList<Row>& want);

// A cell to put into a report: sheet position (1-based), row, column, text. A text that starts
// with "=" is a value instead: "=12,5" or "=12.5" a number cell, "=#N/A" (any error name) a formula
// whose stored result is that error, as a spreadsheet program saves a formula that failed.
struct Cell {
    int sheet;
    int row;
    int col;
    QString text;
};

// A scratch folder holding the shipped files (report template, log template, lists), where a
// test builds a report and runs the check.
class Workspace {
public:
    Workspace();
    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Starts the report from the template (or another workbook) and sets the cells as texts.
    void makeReport(const QList<Cell>& cells, const QString& from = {});
    void writeList(const QString& name, const QByteArray& content);
    void removeFile(const QString& name);
    // Replaces the shipped log template elog.xls by another workbook.
    void useLogTemplate(const QString& from);

    // Runs the check on zvit.xls with a fresh log; returns the log's rows.
    QList<Row> check(const sheet::Locale& locale = sheet::Locale::comma(), const QDate& today = QDate(2026, 12, 9),
                     QString* innkod = nullptr);

private:
    QTemporaryDir m_dir;
};

// The log rows of a findings log workbook, read with the engine.
QList<Row> readLog(const QString& path);

// A report cell set by the general data sheet rows that make it pass with the default lists.
QList<Cell> cleanGeneral(int months = 12, int year = 2026);

// The environment of a test run: fixed locale and date.
check::Environment environment(const QString& listDir, const sheet::Locale& locale, const QDate& today);

// Declares one data row per case, named after it, holding the case's index.
template <typename Case> void addCaseRows(const QList<Case>& all)
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < all.size(); ++i)
        QTest::newRow(all[i].name) << i;
}

// Runs a command of the system's Python with a script from tests/tools; returns stdout (fails the test on error).
QByteArray runPython(const QString& script, const QStringList& args, bool* ok);

} // namespace fixtures

namespace fixtures {

// Converts files with LibreOffice in one call to the format `filter` names ("fods", "pdf", ...).
bool convertWithLibreOffice(const QStringList& files, const QString& outDir, const QString& filter);
// Converts workbooks to CSV with LibreOffice in one call (every sheet to NAME-SHEET.csv in outDir).
bool convertToCsv(const QStringList& files, const QString& outDir);
// The CSV files LibreOffice wrote for one workbook, by sheet name.
QMap<QString, QList<QStringList>> csvSheets(const QString& outDir, const QString& baseName);
// Cells of two CSV tables that differ, as "row,col" (1-based), missing fields counting as empty.
QStringList csvDifferences(const QList<QStringList>& a, const QList<QStringList>& b);

} // namespace fixtures
