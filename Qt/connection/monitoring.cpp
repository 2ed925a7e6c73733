#include "connection/monitoring.h"

#include "connection/quickconnect.h"

#include <QCoreApplication>

QString connection::addressFromEchoPage(const QString& page)
{
    static const QString marker = QStringLiteral("Address: ");
    // A page without the marker is cut from the marker's length on; the result
    // then simply fails every comparison with an assigned address.
    const int start = page.indexOf(marker) + marker.size();
    const int end = page.lastIndexOf(QStringLiteral("</body>"));
    const int length = end - start;
    return length < 0 ? page.mid(start) : page.mid(start, length);
}

QString connection::stagePrefix(const QString& quickStage, const QString& quickServers)
{
    if (fieldNumber(quickStage) < 1)
        return QString();
    return QStringLiteral("Stage %1/%2: ").arg(quickStage).arg(quickconnect::entryCount(quickServers));
}

QString connection::progressText(int elapsedSeconds)
{
    static const char* const texts[] = {
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 10%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 20%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 30%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 40%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 50%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 60%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 70%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 80%"),
        QT_TRANSLATE_NOOP("VelnorMain", "connection in progress - 90%"),
    };
    if (elapsedSeconds <= 3)
        return QString();
    // One row more for every 3 s past 3 s: the highest row whose bound
    // (3, 6, ... 27) the seconds exceed.
    const int row = qMin((elapsedSeconds - 4) / 3, 8);
    return QCoreApplication::translate("VelnorMain", texts[row]);
}

int connection::fieldNumber(const QString& text) { return text.toInt(); }
