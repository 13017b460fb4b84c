#include "cli.h"

#include <QCoreApplication>
#include <QDir>
#include <QIODevice>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

// One standard stream as a device for QTextStream, which writes UTF-8. A pipe or a file gets those bytes
// unchanged, with "\n" line ends on every system. A Windows console gets the text as UTF-16 through
// WriteConsoleW, so Ukrainian reads right whatever the console's code page (866 or 1251 on a Ukrainian
// system) and without changing the code page of the console the user typed the command in.
class StdStream : public QIODevice {
public:
    explicit StdStream(FILE* stream) : m_stream(stream)
    {
#ifdef Q_OS_WIN
        const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode))
            m_console = handle;
        else
            _setmode(_fileno(stream), _O_BINARY); // no "\r\n" for "\n": the same bytes as on Linux
#endif
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override
    {
        return -1;
    }
    qint64 writeData(const char* data, qint64 size) override
    {
#ifdef Q_OS_WIN
        if (m_console) {
            // The decoder keeps a character that QTextStream's buffer split across two writes.
            const QString text = m_decoder.decode(QByteArrayView(data, size));
            for (qsizetype from = 0; from < text.size();) {
                DWORD written = 0;
                const DWORD chunk = DWORD(std::min<qsizetype>(text.size() - from, 8192));
                if (!WriteConsoleW(m_console, text.utf16() + from, chunk, &written, nullptr) || written == 0)
                    return -1;
                from += written;
            }
            return size;
        }
#endif
        const size_t n = std::fwrite(data, 1, size_t(size), m_stream);
        std::fflush(m_stream);
        return n == size_t(size) ? size : -1;
    }

private:
    FILE* m_stream;
#ifdef Q_OS_WIN
    HANDLE m_console = nullptr;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
#endif
};

#ifdef Q_OS_WIN
// Whether Explorer started this process (a double-click): the console is this process's alone, so its
// window closes as soon as the program ends, and the program reads and writes it. From cmd.exe, PowerShell
// or a script the console is shared; a program that runs it with its streams in pipes or a file (a
// scheduled task writing a log, say) has no one at the keyboard to wait for.
bool startedByDoubleClick()
{
    DWORD processes[2];
    DWORD mode = 0;
    return GetConsoleProcessList(processes, 2) == 1 && GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) &&
           GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

// After a double-click the user has seen nothing but a window that flashed: say what the program did and
// keep the window open until Enter.
void explainAndWait(QTextStream& out, const QStringList& arguments, const QString& dir, int status)
{
    out << u'\n';
    if (arguments.size() == 1) {
        out << (status == 2 ? QStringLiteral("brantovel-check.exe спробував перевірити звіт zvit.xls у теці\n"
                                             "«%1», але перевірку не виконано: причина — вище.\n")
                            : QStringLiteral("brantovel-check.exe перевірив звіт zvit.xls у теці\n«%1»\n"
                                             "так само, як кнопка «Контроль звіту»: результат — вище.\n"))
                   .arg(QDir::toNativeSeparators(dir))
            << QStringLiteral("Це програма для командного рядка; щоб заповнювати й перевіряти звіт у вікні,\n"
                              "запускайте Brantovel.exe.\n\n");
    }
    out << QStringLiteral("Натисніть Enter, щоб закрити це вікно.") << Qt::flush;
    // Enter itself, read as a key: keys pressed while the check ran are dropped first, so none closes the
    // window before it was read.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        if (record.EventType == KEY_EVENT && key.bKeyDown && key.wVirtualKeyCode == VK_RETURN)
            break;
    }
}
#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    StdStream outDevice(stdout);
    StdStream errDevice(stderr);
    QTextStream out(&outDevice);
    QTextStream err(&errDevice);
    check::Environment env; // the process locale and the local clock
    const int status = cli::run(application.arguments(), QCoreApplication::applicationDirPath(), env, out, err,
                                cli::isTerminal(stderr) ? &err : nullptr);
    err.flush();
#ifdef Q_OS_WIN
    if (startedByDoubleClick())
        explainAndWait(out, application.arguments(), QCoreApplication::applicationDirPath(), status);
#endif
    out.flush();
    return status;
}
