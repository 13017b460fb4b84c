// Writes the program's icon, as the window draws it (app::programIcon), into a Windows .ico file for the
// executables' resources: src/app/brantovel.ico. Run it after changing the drawing:
//   build/bin/makeicon src/app/brantovel.ico
#include "gui/style.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeicon FILE.ico\n");
        return 2;
    }
    // One PNG-compressed image per size (Windows Vista and later read them); 256 is stored as 0.
    const QIcon icon = app::programIcon();
    const int sizes[] = {16, 24, 32, 48, 64, 256};
    QList<QByteArray> images;
    for (int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon.pixmap(size, size).toImage().save(&buffer, "PNG");
        images << png;
    }
    QByteArray ico;
    auto put16 = [&](quint16 v) { ico.append(char(v & 0xff)).append(char(v >> 8)); };
    auto put32 = [&](quint32 v) { put16(quint16(v & 0xffff)), put16(quint16(v >> 16)); };
    put16(0); // reserved
    put16(1); // an icon
    put16(quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = sizes[i];
        ico.append(char(size >= 256 ? 0 : size)).append(char(size >= 256 ? 0 : size));
        ico.append(char(0)).append(char(0)); // no palette, reserved
        put16(1);  // planes
        put16(32); // bits per pixel
        put32(quint32(images[i].size()));
        put32(offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& png : images)
        ico += png;
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(ico) != ico.size()) {
        std::fprintf(stderr, "makeicon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
