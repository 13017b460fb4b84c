#include "cli.h"

#include "check/period.h"
#include "run/batchrun.h"
#include "run/controlrun.h"
#include "run/office.h"
#include "run/version.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cli {

namespace {

// The help, 80 columns wide at most (a console's width). %1 is the folder separator, %2 the examples and
// %3 where numbers and dates take their form: each as the system the program runs on has them.
const char16_t kHelp[] = u"Використання: brantovel-check [[--dir] ТЕКА]\n"
                         u"              brantovel-check --batch ТЕКА_ЗВІТІВ [--out ТЕКА_РЕЗУЛЬТАТІВ]\n"
                         u"                              [--dir ТЕКА] [--jobs N] [--period МІСЯЦІВ.РІК]\n"
                         u"                              [--register РЕЄСТР]\n"
                         u"              brantovel-check --version\n"
                         u"              brantovel-check --help  (або -h, /?)\n"
                         u"\n"
                         u"Перевіряє звіт zvit.xls так само, як кнопка «Контроль звіту», але без вікон.\n"
                         u"ТЕКА (типово — тека програми) містить zvit.xls, шаблон протоколу\n"
                         u"elog.xls і шість списків (GUOZ.bin, CMK.bin, KYIV.bin, ZFB.bin, MAYNO.bin,\n"
                         u"SR.bin).\n"
                         u"\n"
                         u"Програма видаляє старий ТЕКА%1zvit_log.xls, створює його заново з elog.xls,\n"
                         u"перевіряє звіт, записує знайдені помилки до протоколу, ставить у клітинку S13\n"
                         u"першого аркуша звіту час перевірки та зберігає звіт і протокол.\n"
                         u"\n"
                         u"Кожна помилка друкується окремим рядком: аркуш, рядок, стовпець,\n"
                         u"повідомлення, розділені табуляцією; наприкінці — підсумковий рядок.\n"
                         u"\n"
                         u"Код завершення:\n"
                         u"  0  помилок не знайдено (протокол видалено);\n"
                         u"  1  знайдено помилки (протокол zvit_log.xls залишається);\n"
                         u"  2  перевірку не виконано (причина — у потоці помилок; звіт не змінено,\n"
                         u"     протокол не залишається).\n"
                         u"\n"
                         u"Якщо якийсь зі списків не вдалося прочитати, у потоці помилок друкується\n"
                         u"попередження з його назвою; код завершення від цього не змінюється.\n"
                         u"\n"
                         u"Перевірка теки (--batch) перевіряє кожен файл .xls у теці ТЕКА_ЗВІТІВ (без\n"
                         u"вкладених тек, за назвою) тими самими правилами, списками й шаблоном\n"
                         u"протоколу з теки ТЕКА, але нічого у звітах не змінює: без позначки часу, без\n"
                         u"збереження, без протоколу поруч. До теки ТЕКА_РЕЗУЛЬТАТІВ (типово —\n"
                         u"нова тека ТЕКА_ЗВІТІВ%1перевірка-РРРР-ММ-ДД) записуються протокол\n"
                         u"НАЗВА_log.xls для кожного звіту з помилками та зведення.xls (шаблон\n"
                         u"zvedennya.xls з теки ТЕКА): звіти, коди й назви балансоутримувачів, періоди,\n"
                         u"кількість помилок, стан, усі помилки, а також позначки: один код у кількох\n"
                         u"звітах і період, відмінний від періоду більшості звітів. --jobs N — скільки\n"
                         u"звітів перевіряти одночасно (типово — за кількістю ядер процесора).\n"
                         u"\n"
                         u"--period МІСЯЦІВ.РІК (наприклад, 12.2026 або 12/2026) — період, за який\n"
                         u"зібрано звіти: правило періоду перевіряє кожен звіт так, наче перевірка\n"
                         u"відбувається під час збору звітів за цей період, а позначка «Період …,\n"
                         u"а очікується …» називає звіти за інший період (без --period — за сьогоднішньою\n"
                         u"датою і позначка про період, відмінний від більшості звітів).\n"
                         u"--register РЕЄСТР — реєстр відправників: книга .xls (код і назва в стовпцях\n"
                         u"A і B з рядка 2) або текстовий файл із рядками «код;назва» (Windows-1251 або\n"
                         u"UTF-8). Зведення називає кожного балансоутримувача реєстру, чийого звіту в теці\n"
                         u"немає («не подано»), і позначає звіти з кодом, якого в реєстрі немає. Аркуш\n"
                         u"«Разом» зведення містить суми пунктів таблиці 1 за звітами без помилок і за\n"
                         u"всіма перевіреними звітами.\n"
                         u"\n"
                         u"Для кожного звіту друкується рядок: файл, кількість помилок, стан і причина,\n"
                         u"розділені табуляцією; далі — позначки і підсумковий рядок.\n"
                         u"\n"
                         u"Код завершення перевірки теки:\n"
                         u"  0  усі звіти без помилок і без позначок;\n"
                         u"  1  є помилки, позначки, звіти, які не вдалося перевірити (вони у\n"
                         u"     зведенні мають стан «не перевірено» з причиною), або балансоутримувачі\n"
                         u"     реєстру без звіту («не подано»);\n"
                         u"  2  перевірку теки не виконано (немає теки, шаблону чи списку; причина — у\n"
                         u"     потоці помилок).\n"
                         u"\n"
                         u"Приклади:\n"
                         u"%2"
                         u"\n"
                         u"%3";
#ifdef Q_OS_WIN
const char16_t kSeparator[] = u"\\";
const char16_t kExamples[] = u"  brantovel-check\n"
                             u"  brantovel-check \"D:\\Звіти\\Brantovel\"\n"
                             u"  brantovel-check --batch \"D:\\Звіти\\2026-4 квартал\"\n";
const char16_t kNumbers[] = u"Числа й дати записуються за регіональними налаштуваннями Windows\n"
                            u"(«Параметри» → «Час і мова» → «Регіон»).\n";
#else
const char16_t kSeparator[] = u"/";
const char16_t kExamples[] = u"  brantovel-check\n"
                             u"  brantovel-check ~/Brantovel\n"
                             u"  brantovel-check --batch \"/srv/звіти/2026-4 квартал\"\n";
const char16_t kNumbers[] = u"Числа й дати записуються за налаштуваннями мови системи (LC_ALL або LANG).\n";
#endif

bool looksLikeOption(const QString& word)
{
    return word.startsWith(u'-') || word == QStringLiteral("/?");
}

// A field of a tab-separated line: a tab, a line break or another control character in a file name
// (or in a reason that quotes one) is printed as an escape ("\t", "\n", "\r", "\x1b"), so that
// every report stays one line of the same number of fields.
QString field(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

// The command line answers no question: it opens nothing and saves no copy.
class SilentDesktop : public app::Desktop {
public:
    QString error;
    bool openDocument(const QString&) override { return false; }
    bool askYesNo(const QString&, const QString&) override { return false; }
    void inform(const QString&, const QString&) override {}
    void showError(const QString&, const QString& text) override { error = text; }
    QString askSaveFileName(const QString&, const QString&) override { return {}; }
};

// Prints the reports of a folder check as they come in, with a progress line on a terminal.
class BatchPrinter {
public:
    BatchPrinter(QTextStream& out, QTextStream* progress) : m_out(out), m_progress(progress) {}

    void report(const app::BatchReport& r)
    {
        clearProgress();
        const bool counted = r.status == app::BatchReport::Clean || r.status == app::BatchReport::Findings;
        m_out << field(r.file) << '\t' << (counted ? QString::number(r.findings) : QString()) << '\t'
              << app::statusText(r.status);
        if (!r.reason.isEmpty())
            m_out << '\t' << field(r.reason);
        m_out << '\n';
        m_out.flush();
        showProgress();
    }

    void progress(int done, int total)
    {
        m_done = done;
        m_total = total;
        // Redrawn a few times a second at most; the end of the batch clears it.
        if (!m_clock.isValid() || m_clock.elapsed() >= 100) {
            m_clock.start();
            showProgress();
        }
    }

    void clearProgress()
    {
        if (!m_progress || m_shown.isEmpty())
            return;
        *m_progress << '\r' << QString(m_shown.size(), u' ') << '\r';
        m_progress->flush();
        m_shown.clear();
    }

private:
    void showProgress()
    {
        if (!m_progress || m_total == 0 || m_done >= m_total)
            return;
        clearProgress();
        m_shown = QStringLiteral("Перевірено звітів: %1 з %2…").arg(m_done).arg(m_total);
        *m_progress << m_shown;
        m_progress->flush();
    }

    QTextStream& m_out;
    QTextStream* m_progress;
    QElapsedTimer m_clock;
    QString m_shown;
    int m_done = 0, m_total = 0;
};

int runBatch(const app::BatchOptions& options, const check::Environment& env, QTextStream& out, QTextStream& err,
             QTextStream* progress)
{
    app::BatchRun batch(options, env);
    BatchPrinter printer(out, progress);
    batch.onReport = [&](const app::BatchReport& r) { printer.report(r); };
    batch.onProgress = [&](int done, int total) { printer.progress(done, total); };
    const app::BatchResult result = batch.run();
    printer.clearProgress();
    for (const app::BatchReport& r : result.notSubmitted)
        out << '\t' << '\t' << app::statusText(r.status) << '\t'
            << field(QStringLiteral("Код %1 «%2»: %3%4")
                         .arg(r.heading.code, r.heading.name, r.reason.left(1).toLower(), r.reason.mid(1)))
            << '\n';
    for (const app::BatchReport& r : result.flagged)
        for (const QString& f : r.flags)
            out << field(r.file) << '\t' << QStringLiteral("позначка") << '\t' << field(f) << '\n';
    const QString registerName = QFileInfo(options.registerFile).fileName();
    for (const QString& p : result.registerProblems)
        out << field(registerName) << '\t' << QStringLiteral("реєстр") << '\t' << field(p) << '\n';
    out.flush();
    for (const QString& note : result.notes)
        err << note << '\n';
    if (!result.error.isEmpty()) {
        err << result.error << '\n';
        return 2;
    }
    const QString notSubmitted =
        result.withRegister ? QStringLiteral(", не подано: %1").arg(result.notSubmitted.size()) : QString();
    const QString skipped =
        result.skipped == 0 ? QString() : QStringLiteral("; пропущено інших файлів і тек: %1").arg(result.skipped);
    out << QStringLiteral("Звітів: %1; без помилок: %2, з помилками: %3, не перевірено: %4%5, з позначками: %6%7. "
                          "Зведення: %8\n")
               .arg(result.total)
               .arg(result.clean)
               .arg(result.withFindings)
               .arg(result.notChecked)
               .arg(notSubmitted)
               .arg(result.flagged.size())
               .arg(skipped, QDir::toNativeSeparators(result.summary));
    // A spreadsheet of another format may be a report that was not checked: never "all clean".
    return result.clean == result.total && result.flagged.isEmpty() && result.skippedOtherFormat == 0 &&
                   result.notSubmitted.isEmpty()
               ? 0
               : 1;
}

} // namespace

bool isTerminal(FILE* stream)
{
#ifdef Q_OS_WIN
    // A console, not merely a character device: _isatty() also says yes for NUL.
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
#else
    return isatty(fileno(stream)) != 0;
#endif
}

namespace {

const QString kHelpHint = QStringLiteral(" Довідка: brantovel-check --help\n");

// What the command line asks for.
struct Options {
    QString dir;
    bool dirGiven = false;
    std::optional<QString> batchFolder, outDir, period, registerFile;
    int jobs = 0;
};

// The help and the version answer before anything else, wherever they stand ("/?" as Windows
// programs take it); true when one of them was asked for and printed.
bool answerHelpOrVersion(const QStringList& arguments, QTextStream& out)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--help" || a == u"-h" || a == u"/?") {
            out << QString::fromUtf16(kHelp).arg(QString::fromUtf16(kSeparator), QString::fromUtf16(kExamples),
                                                 QString::fromUtf16(kNumbers));
            return true;
        }
        if (a == u"--version") {
            out << QStringLiteral("%1 %2 (brantovel-check)\n%3. %4.\n")
                       .arg(QString::fromUtf16(app::kProductName), QString::fromUtf16(app::kVersion),
                            QString::fromUtf16(app::kCopyright), QString::fromUtf16(app::kLicence));
            return true;
        }
    }
    return false;
}

QString missingValueText(const QString& option)
{
    if (option == QStringLiteral("--jobs"))
        return QStringLiteral("Після параметра «--jobs» не вказано число.");
    if (option == QStringLiteral("--period"))
        return QStringLiteral("Після параметра «--period» не вказано період, наприклад 12.2026.");
    if (option == QStringLiteral("--register"))
        return QStringLiteral("Після параметра «--register» не вказано файл реєстру.");
    return QStringLiteral("Після параметра «%1» не вказано теку.").arg(option);
}

// Takes one option's value; false (with the reason on `err`) when it cannot stand.
bool store(Options& o, const QString& option, const QString& given, QTextStream& err)
{
    if (given.isEmpty()) {
        err << missingValueText(option) << kHelpHint;
        return false;
    }
    if (option == QStringLiteral("--jobs")) {
        bool ok = false;
        o.jobs = given.toInt(&ok);
        if (!ok || o.jobs < 1) {
            err << QStringLiteral("«%1» не є кількістю звітів для параметра «--jobs».").arg(given) << kHelpHint;
            return false;
        }
        return true;
    }
    std::optional<QString>* slot = option == QStringLiteral("--batch")      ? &o.batchFolder
                                   : option == QStringLiteral("--out")      ? &o.outDir
                                   : option == QStringLiteral("--period")   ? &o.period
                                   : option == QStringLiteral("--register") ? &o.registerFile
                                                                            : nullptr;
    if (slot) {
        if (slot->has_value()) {
            err << QStringLiteral("Параметр «%1» вказано двічі.").arg(option) << kHelpHint;
            return false;
        }
        *slot = given;
        return true;
    }
    if (o.dirGiven) {
        err << QStringLiteral("Зайвий параметр «%1»: теку вже вказано.").arg(given) << kHelpHint;
        return false;
    }
    o.dir = given;
    o.dirGiven = true;
    return true;
}

// The options of the command line; nothing (the reason on `err`) when they do not make sense.
std::optional<Options> parseOptions(const QStringList& arguments, const QString& defaultDir, QTextStream& err)
{
    Options o;
    o.dir = defaultDir;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // An option with its value, as "--name value" or "--name=value".
        QString option, given;
        for (const char* name : {"--dir", "--batch", "--out", "--jobs", "--period", "--register"}) {
            const QString n = QString::fromLatin1(name);
            if (a == n) {
                option = n;
                // The next word is the value unless it is an option itself: "--dir --batch X" lacks
                // its folder rather than taking "--batch" for one ("--dir=-x" names a folder "-x").
                if (i + 1 < arguments.size() && !looksLikeOption(arguments[i + 1]))
                    given = arguments[++i];
            } else if (a.startsWith(n + QLatin1Char('='))) {
                option = n;
                given = a.mid(n.size() + 1);
            }
        }
        if (option.isEmpty() && a.startsWith(u'-')) {
            err << QStringLiteral("Невідомий параметр «%1».").arg(a) << kHelpHint;
            return std::nullopt;
        }
        if (option.isEmpty()) {
            option = QStringLiteral("--dir"); // the folder given without --dir
            given = a;
        }
        if (!store(o, option, given, err))
            return std::nullopt;
    }
    if (!o.batchFolder && (o.outDir || o.jobs || o.period || o.registerFile)) {
        err << QStringLiteral("Параметр «%1» діє лише разом із «--batch».")
                   .arg(o.outDir   ? QStringLiteral("--out")
                        : o.jobs   ? QStringLiteral("--jobs")
                        : o.period ? QStringLiteral("--period")
                                   : QStringLiteral("--register"))
            << kHelpHint;
        return std::nullopt;
    }
    return o;
}

// The single check of DIR/zvit.xls, as "Контроль звіту" runs it, answering no question.
int runSingle(const QString& dir, const check::Environment& env, QTextStream& out, QTextStream& err)
{
    check::Environment runEnv = env;
    runEnv.listDir = dir;
    SilentDesktop desktop;
    app::ControlRun control(dir, runEnv, desktop, nullptr, QStringLiteral("Brantovel"));
    const app::ControlRunResult result = control.run();
    if (result.outcome == app::ControlRunResult::Failed) {
        err << desktop.error << '\n';
        return 2;
    }
    for (const QString& warning : result.warnings)
        err << warning << '\n';
    if (!result.progress.isEmpty())
        err << result.progress << '\n';
    for (const findings::Finding& f : result.findings)
        out << f.sheet << '\t' << (f.row != 0 ? QString::number(f.row) : QString()) << '\t'
            << findings::columnText(f.col) << '\t' << f.message << '\n';
    if (result.outcome == app::ControlRunResult::Findings) {
        out << QStringLiteral("Знайдено помилок у звіті: %1. Протокол: %2\n")
                   .arg(result.findings.size())
                   .arg(QDir::toNativeSeparators(result.Logfilename));
        return 1;
    }
    out << QStringLiteral("Помилок не знайдено.\n");
    return 0;
}

} // namespace

int run(const QStringList& arguments, const QString& defaultDir, const check::Environment& env, QTextStream& out,
        QTextStream& err, QTextStream* progress)
{
    if (answerHelpOrVersion(arguments, out))
        return 0;
    std::optional<Options> o = parseOptions(arguments, defaultDir, err);
    if (!o)
        return 2;
    std::optional<check::ReportingPeriod> expected;
    if (o->period) {
        QString why;
        expected = app::parsePeriod(*o->period, &why);
        if (!expected) {
            err << QStringLiteral("Параметр «--period»: ") << why << kHelpHint;
            return 2;
        }
    }
    if (!QFileInfo(o->dir).isDir()) {
        err << QStringLiteral("Теку «%1» не знайдено. Перевірте шлях до теки зі звітом і повторіть команду.\n")
                   .arg(QDir::toNativeSeparators(o->dir));
        return 2;
    }
    const QString dir = QFileInfo(o->dir).absoluteFilePath();
    if (!o->batchFolder)
        return runSingle(dir, env, out, err);
    app::BatchOptions options;
    options.folder = QFileInfo(*o->batchFolder).absoluteFilePath();
    options.outDir = o->outDir.value_or(QString());
    options.dir = dir;
    options.jobs = o->jobs;
    options.period = expected;
    options.registerFile = o->registerFile ? QFileInfo(*o->registerFile).absoluteFilePath() : QString();
    return runBatch(options, env, out, err, progress);
}

} // namespace cli
