#include "about.h"

#include "run/version.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace app {

namespace {

QString resourceText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QPlainTextEdit* textPage(const QString& text, QWidget* parent)
{
    auto* page = new QPlainTextEdit(text, parent);
    page->setReadOnly(true);
    page->setLineWrapMode(QPlainTextEdit::NoWrap); // the texts are laid out in 80 columns
    page->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return page;
}

} // namespace

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent), summary(new QLabel(this)), tabs(new QTabWidget(this)),
      licence(textPage(resourceText(QStringLiteral(":/about/LICENSE.txt")), this)),
      notices(textPage(resourceText(QStringLiteral(":/about/THIRD-PARTY-NOTICES.txt")), this)),
      closeButton(new QPushButton(QStringLiteral("Закрити"), this))
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("Про програму"));
    resize(700, 520);
    summary->setTextFormat(Qt::RichText);
    summary->setText(QStringLiteral("<p><b>%1 %2</b><br>Формування та контроль звітів про оренду державного "
                                    "майна</p><p>%3. %4.</p><p>Програма використовує Qt %5 (LGPL 3) та інші "
                                    "бібліотеки: їхні ліцензії — на вкладці «Компоненти інших авторів» і у файлі "
                                    "THIRD-PARTY-NOTICES.txt у теці програми.</p>")
                         .arg(QString::fromUtf16(kProductName), QString::fromUtf16(kVersion),
                              QString::fromUtf16(kCopyright), QString::fromUtf16(kLicence),
                              QString::fromLatin1(qVersion())));
    summary->setWordWrap(true);
    tabs->addTab(licence, QStringLiteral("Ліцензія"));
    tabs->addTab(notices, QStringLiteral("Компоненти інших авторів"));
    closeButton->setAutoDefault(true);
    closeButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

#ifdef Q_OS_WIN
namespace {

// The command of the menu entry: below 0xF000, where the system's own commands begin, and a multiple of 16,
// because Windows uses the low four bits of WM_SYSCOMMAND itself.
constexpr UINT_PTR kAboutCommand = 0x0010;

// Opens the About window when the entry is chosen in the system menu of its window.
class SystemMenuFilter : public QAbstractNativeEventFilter {
public:
    explicit SystemMenuFilter(QWidget* window) : m_window(window) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        const MSG* msg = static_cast<const MSG*>(message);
        if (type != "windows_generic_MSG" || msg->message != WM_SYSCOMMAND || (msg->wParam & 0xFFF0) != kAboutCommand ||
            !m_window || msg->hwnd != reinterpret_cast<HWND>(m_window->winId()))
            return false;
        AboutWindow about(m_window);
        about.exec();
        return true;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace
#endif

bool addAboutToSystemMenu(QWidget* window)
{
#ifdef Q_OS_WIN
    if (QGuiApplication::platformName() != QStringLiteral("windows"))
        return false;
    const HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (!menu)
        return false;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, L"Про програму…");
    auto* filter = new SystemMenuFilter(window);
    QCoreApplication::instance()->installNativeEventFilter(filter);
    QObject::connect(window, &QObject::destroyed, [filter] {
        QCoreApplication::instance()->removeNativeEventFilter(filter);
        delete filter;
    });
    return true;
#else
    Q_UNUSED(window)
    return false;
#endif
}

} // namespace app
