#include "cli.h"

#include "app/controlrun.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

const char16_t kHelp[] = u"Використання: brantovel-check [[--dir] ТЕКА]\n"
                         u"\n"
                         u"Перевіряє звіт zvit.xls так само, як кнопка «Контроль звіту», але без вікон.\n"
                         u"ТЕКА (типово — тека програми) містить zvit.xls, шаблон протоколу elog.xls і шість\n"
                         u"списків (GUOZ.bin, CMK.bin, KYIV.bin, ZFB.bin, MAYNO.bin, SR.bin).\n"
                         u"\n"
                         u"Програма видаляє старий ТЕКА/zvit_log.xls, створює його заново з elog.xls, перевіряє\n"
                         u"звіт, записує знайдені помилки до протоколу, ставить у клітинку S13 першого аркуша\n"
                         u"звіту час перевірки та зберігає звіт і протокол.\n"
                         u"\n"
                         u"Кожна помилка друкується окремим рядком: аркуш, рядок, стовпець, повідомлення,\n"
                         u"розділені табуляцією; наприкінці — підсумковий рядок.\n"
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
                         u"Числа й дати записуються за налаштуваннями мови системи (LC_ALL або LANG).\n";

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

} // namespace

int run(const QStringList& arguments, const QString& defaultDir, const check::Environment& env, QTextStream& out,
        QTextStream& err)
{
    const QString help = QStringLiteral(" Довідка: brantovel-check --help\n");
    QString dir = defaultDir;
    bool dirGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            out << QString::fromUtf16(kHelp);
            return 0;
        }
        QString given;
        if (a == QStringLiteral("--dir")) {
            if (i + 1 < arguments.size())
                given = arguments[++i];
        } else if (a.startsWith(QStringLiteral("--dir="))) {
            given = a.mid(6);
        } else if (a.startsWith(u'-')) {
            err << QStringLiteral("Невідомий параметр «%1».").arg(a) << help;
            return 2;
        } else {
            given = a; // the folder given without --dir
        }
        if (given.isEmpty()) {
            err << QStringLiteral("Після параметра «--dir» не вказано теку.") << help;
            return 2;
        }
        if (dirGiven) {
            err << QStringLiteral("Зайвий параметр «%1»: теку вже вказано.").arg(given) << help;
            return 2;
        }
        dir = given;
        dirGiven = true;
    }
    if (!QFileInfo(dir).isDir()) {
        err << QStringLiteral("Теку «%1» не знайдено.\n").arg(QDir::toNativeSeparators(dir));
        return 2;
    }
    dir = QFileInfo(dir).absoluteFilePath();
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
    for (const app::LogRow& row : result.rows)
        out << row.sheet << '\t' << row.row << '\t' << row.column << '\t' << row.message << '\n';
    if (result.outcome == app::ControlRunResult::Findings) {
        out << QStringLiteral("Знайдено помилок у звіті: %1. Протокол: %2\n")
                   .arg(result.rows.size())
                   .arg(QDir::toNativeSeparators(control.Logfilename));
        return 1;
    }
    out << QStringLiteral("Помилок не знайдено.\n");
    return 0;
}

} // namespace cli
