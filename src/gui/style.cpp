#include "style.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace app {

QString styleSheet(const QString& name)
{
    if (name != QStringLiteral("Iceberg Classico"))
        return {};
    return QStringLiteral(R"(
QWidget { background: #eef4f9; color: #1d2d3c; }
QFrame#Panel1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fbfe, stop:1 #e3edf6); }
QGroupBox { border: 1px solid #a9c3da; border-radius: 4px; background: #f4f8fc; margin-top: 0px; }
QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d6e6f4);
              border: 1px solid #7ea3c4; border-radius: 3px; padding: 1px 2px; color: #10324f; }
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #c3dcf1);
                    border-color: #4a86b8; }
QPushButton:pressed { background: #b7d2ea; }
QPushButton:focus { border: 2px solid #2f6fa3; padding: 0px 1px; }
QPushButton:disabled { color: #8799aa; border-color: #b9c8d6; }
QWidget#fmStatus { background: #f7fbfe; border: 1px solid #7ea3c4; }
QLabel { background: transparent; color: #10324f; }
QMessageBox, QFileDialog { background: #eef4f9; }
QSizeGrip { background: transparent; }
)");
}

QString ukrainianLetters()
{
    return QStringLiteral("АБВГҐДЕЄЖЗИІЇЙКЛМНОПРСТУФХЦЧШЩЬЮЯабвгґдеєжзиіїйклмнопрстуфхцчшщьюя’«»");
}

bool drawsEveryCharacter(const QFont& font, const QString& text)
{
    QFont alone(font);
    alone.setStyleStrategy(QFont::NoFontMerging);
    const QFontMetrics metrics(alone);
    const int side = 2 * metrics.height();
    QImage image(side, side, QImage::Format_RGB32);
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (!metrics.inFont(c))
            return false;
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(alone);
        p.setPen(Qt::black);
        p.drawText(side / 4, side / 4 + metrics.ascent(), QString(c));
        p.end();
        bool ink = false;
        for (int y = 0; y < side && !ink; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < side && !ink; ++x)
                ink = line[x] != qRgb(255, 255, 255);
        }
        if (!ink)
            return false;
    }
    return true;
}

QFont windowFont()
{
    const QStringList installed = QFontDatabase::families();
    QStringList candidates;
    for (const char* family : {"Tahoma", "Liberation Sans", "Arial", "DejaVu Sans Condensed", "DejaVu Sans"})
        if (installed.contains(QString::fromLatin1(family)))
            candidates << QString::fromLatin1(family);
    const QString letters = ukrainianLetters();
    // Each face as the system hints it first; then with vertical hinting only, which draws the shapes
    // that full hinting loses (on Windows it also renders through DirectWrite instead of GDI).
    for (const QString& family : std::as_const(candidates)) {
        for (const auto hinting : {QFont::PreferDefaultHinting, QFont::PreferVerticalHinting}) {
            QFont font(family);
            font.setPointSize(8);
            font.setHintingPreference(hinting);
            if (drawsEveryCharacter(font, letters)) {
                // A character outside the alphabet (in a file name, say) falls back to the other candidates.
                QStringList families = candidates;
                families.move(families.indexOf(family), 0);
                font.setFamilies(families);
                return font;
            }
        }
    }
    QFont font;
    if (!candidates.isEmpty())
        font.setFamilies(candidates);
    font.setPointSize(8);
    return font;
}

void applyStyle(const QString& name)
{
    qApp->setStyleSheet(styleSheet(name));
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 256}) {
        QPixmap pix(size, size);
        pix.fill(Qt::transparent);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        p.setBrush(QColor(0x2f, 0x6f, 0xa3));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(4, 4, 56, 56), 10, 10);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(16, 14, 32, 38));
        p.setPen(QPen(QColor(0x2f, 0x6f, 0xa3), 3));
        for (int y = 22; y <= 36; y += 7)
            p.drawLine(QLineF(21, y, 43, y));
        p.setPen(QPen(QColor(0x2e, 0x9e, 0x5b), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(26, 44), QPointF(33, 51), QPointF(50, 32)}));
        icon.addPixmap(pix);
    }
    return icon;
}

} // namespace app
