#pragma once

#include <QString>
#include <vector>

namespace app {

// One entry of the folder a folder check is given: a report to check, or why it is not one.
struct FolderEntry {
    enum Kind {
        Report,     // an .xls file that can be read: it is checked
        NotChecked, // named .xls but cannot be checked: the reason says why and what to do
        Skipped,    // not a report: the reason says what it is
    };
    QString name;
    Kind kind = Report;
    QString reason;
    qint64 size = 0;          // of a report
    bool otherFormat = false; // skipped, but a spreadsheet of another format: perhaps a report
};

struct FolderListing {
    QString error;                    // the folder itself cannot be listed: the whole message
    std::vector<FolderEntry> entries; // every entry but "." and "..", in name order
};

// Every entry of `folder` (hidden ones too, without looking into sub-folders), each accounted for:
// nothing is left out silently. `resultsFolder`, when it lies in `folder`, is named as this run's.
// Looks at each entry without opening it, so a FIFO named .xls never blocks the run.
FolderListing listFolder(const QString& folder, const QString& resultsFolder = {});

// The order of files in the summary and on the command line: by name, ignoring letter case first.
bool nameOrder(const QString& a, const QString& b);

} // namespace app
