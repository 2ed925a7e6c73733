#include "mainwindow/windowicon.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

QIcon windowicon::fromIco(const QString& path, int largest)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QIcon(path);
    const QByteArray data = file.readAll();
    const auto word = [&data](int at) { return qFromLittleEndian<quint16>(data.constData() + at); };
    const auto dword = [&data](int at) { return qFromLittleEndian<quint32>(data.constData() + at); };
    constexpr int headerSize = 6;
    constexpr int entrySize = 16;
    if (data.size() < headerSize || word(0) != 0 || word(2) != 1)
        return QIcon(path);
    const int count = word(4);
    QIcon icon;
    for (int index = 0; index < count && headerSize + (index + 1) * entrySize <= data.size(); ++index) {
        const int entry = headerSize + index * entrySize;
        // 0 stands for 256.
        const int width = quint8(data.at(entry)) ? quint8(data.at(entry)) : 256;
        const int height = quint8(data.at(entry + 1)) ? quint8(data.at(entry + 1)) : 256;
        const quint32 size = dword(entry + 8);
        const quint32 offset = dword(entry + 12);
        if (width > largest || height > largest || offset > quint32(data.size()) || size > data.size() - offset)
            continue;
        const QByteArray picture = data.mid(int(offset), int(size));
        QImage image;
        if (picture.startsWith("\x89PNG"))
            image = QImage::fromData(picture, "PNG");
        if (image.isNull()) {
            // A bitmap entry: Qt's reader of the whole file, at this picture.
            QBuffer whole(const_cast<QByteArray*>(&data));
            QImageReader reader(&whole, "ico");
            if (reader.jumpToImage(index))
                image = reader.read();
        }
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon.isNull() ? QIcon(path) : icon;
}
