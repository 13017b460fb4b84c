#include "status.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {

// An hourglass drawn in the program's colours.
QPixmap waitPicture()
{
    QPixmap pix(64, 64);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2f, 0x5d, 0x8a), 3));
    p.setBrush(QColor(0xd8, 0xe8, 0xf5));
    const QPointF top[] = {{14, 8}, {50, 8}, {32, 32}};
    const QPointF bottom[] = {{32, 32}, {50, 56}, {14, 56}};
    p.drawPolygon(top, 3);
    p.drawPolygon(bottom, 3);
    p.setBrush(QColor(0x4a, 0x90, 0xc8));
    p.setPen(Qt::NoPen);
    const QPointF sand[] = {{22, 56}, {42, 56}, {32, 44}};
    p.drawPolygon(sand, 3);
    return pix;
}

} // namespace

TfmStatus::TfmStatus(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), la1(new QLabel(this)), la2(new QLabel(this)),
      Image1(new QLabel(this))
{
    setObjectName(QStringLiteral("fmStatus"));
    // A plain QWidget draws the style's background and border only when asked: the frame sets it off the
    // main window beneath it.
    setAttribute(Qt::WA_StyledBackground);
    setFixedSize(300, 79);
    Image1->setGeometry(5, 8, 64, 64);
    Image1->setPixmap(waitPicture());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    la1->setGeometry(80, 8, 209, 25);
    la2->setGeometry(75, 40, 214, 25);
    la1->setFont(font);
    la2->setFont(font);
    la1->setObjectName(QStringLiteral("la1"));
    la2->setObjectName(QStringLiteral("la2"));
}

void TfmStatus::openform(const QString& text1, const QString& text2)
{
    // The main window is disabled while a check runs, and a disabled parent greys its child windows' pictures.
    // A window of its own may stay enabled under a disabled parent, so the hourglass keeps its colours.
    setEnabled(true);
    la1->setText(text1);
    la2->setText(text2);
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    show();
    // The check that follows blocks the event loop: wait (briefly) until the window system has put the window
    // on screen, so that it is painted now and not left blank until the check ends.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 500)
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfmStatus::closeform()
{
    hide();
}
