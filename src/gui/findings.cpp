#include "findings.h"

#include "qtdesktop.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

namespace app {

QString cellName(const QString& column, const QString& row)
{
    const bool letters =
        !column.isEmpty() && std::all_of(column.begin(), column.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
    if (letters && !row.isEmpty())
        return column + row;
    if (!column.isEmpty() && !row.isEmpty())
        return QStringLiteral("рядок %1, стовпець %2").arg(row, column);
    if (!row.isEmpty())
        return QStringLiteral("рядок %1").arg(row);
    if (!column.isEmpty())
        return QStringLiteral("стовпець %1").arg(column);
    return {};
}

namespace {

enum Column { Number, Sheet, Cell, Message };

// Sorts numbers as numbers, cells by column and then row ("C7" before "C10" before "D2"), texts as the
// user's language orders them; equal keys keep the order of the log.
class FindingItem : public QTreeWidgetItem {
public:
    FindingItem(int number, const findings::Finding& row) : m_number(number), m_column(row.col), m_row(row.row)
    {
        setText(Number, QString::number(number));
        setText(Sheet, row.sheet);
        setText(Cell, cellName(findings::columnText(row.col), row.row != 0 ? QString::number(row.row) : QString()));
        setText(Message, row.message);
        setTextAlignment(Number, Qt::AlignRight | Qt::AlignVCenter);
        setToolTip(Message, row.message);
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const auto& o = static_cast<const FindingItem&>(other);
        const int column = treeWidget() ? treeWidget()->sortColumn() : Number;
        int order = 0;
        switch (column) {
        case Sheet:
        case Message:
            order = QString::localeAwareCompare(text(column), o.text(column));
            break;
        case Cell:
            order = m_column != o.m_column ? (m_column < o.m_column ? -1 : 1)
                                           : (m_row != o.m_row ? (m_row < o.m_row ? -1 : 1) : 0);
            break;
        default:
            break;
        }
        return order != 0 ? order < 0 : m_number < o.m_number;
    }

private:
    int m_number, m_column, m_row;
};

} // namespace

FindingsWindow::FindingsWindow(QWidget* parent)
    : QDialog(parent), summary(new QLabel(this)), list(new QTreeWidget(this)), current(new QLabel(this)),
      logLabel(new QLabel(this)), openFolder(new QPushButton(QStringLiteral("Відкрити теку протоколу"), this)),
      closeButton(new QPushButton(QStringLiteral("Закрити"), this))
{
    setObjectName(QStringLiteral("FindingsWindow"));
    setWindowTitle(QStringLiteral("Знайдені помилки у звіті"));
    resize(820, 440);
    summary->setWordWrap(true);
    list->setHeaderLabels(
        {QStringLiteral("№"), QStringLiteral("Аркуш"), QStringLiteral("Клітинка"), QStringLiteral("Повідомлення")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setSortingEnabled(true);
    list->sortByColumn(Number, Qt::AscendingOrder);
    list->setColumnWidth(Number, 44);
    list->setColumnWidth(Sheet, 120);
    list->setColumnWidth(Cell, 90);
    list->header()->setStretchLastSection(true);
    current->setWordWrap(true);
    current->setTextInteractionFlags(Qt::TextSelectableByMouse);
    current->setMinimumHeight(2 * current->fontMetrics().lineSpacing());
    current->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logLabel->setWordWrap(true);
    logLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QPushButton* b : {openFolder, closeButton}) {
        b->setAutoDefault(true);
        b->setMinimumSize(qMax(110, b->sizeHint().width() + 16), 25);
    }
    closeButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(openFolder);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(list, 1);
    layout->addWidget(current);
    layout->addWidget(logLabel);
    layout->addLayout(buttons);

    // The chosen finding in full, for messages longer than their column.
    connect(list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        current->setText(
            item ? QStringLiteral("%1, %2: %3").arg(item->text(Sheet), item->text(Cell), item->text(Message))
                 : QString());
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(openFolder, &QPushButton::clicked, this, [this] { openContainingFolder(this, m_logPath); });
}

void FindingsWindow::setFindings(const QString& logPath, const std::vector<findings::Finding>& rows)
{
    m_logPath = logPath;
    summary->setText(QStringLiteral("Знайдено помилок: %1. Протокол перевірки не вдалося відкрити (потрібна програма "
                                    "для файлів .xls), тому помилки показано тут. Натисніть на заголовок стовпця, "
                                    "щоб упорядкувати перелік.")
                         .arg(rows.size()));
    list->clear();
    list->setSortingEnabled(false);
    for (size_t i = 0; i < rows.size(); ++i)
        list->addTopLevelItem(new FindingItem(int(i) + 1, rows[i]));
    list->setSortingEnabled(true);
    list->sortByColumn(Number, Qt::AscendingOrder);
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    // The arrow keys walk the findings at once; Return and Escape close the window.
    list->setFocus();
    logLabel->setText(QStringLiteral("Протокол: %1").arg(QDir::toNativeSeparators(logPath)));
}

} // namespace app
