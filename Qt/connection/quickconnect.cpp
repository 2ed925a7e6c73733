#include "connection/quickconnect.h"

#include "connection/monitoring.h"

#include <QStringList>

int connection::quickconnect::entryCount(const QString& list) { return list.count(QLatin1Char('|')) + 1; }

bool connection::quickconnect::dialable(const QString& protocol)
{
    return protocol == QLatin1String("PPTP") || protocol == QLatin1String("L2TP")
        || protocol == QLatin1String("OpenVPN");
}

connection::quickconnect::Entry connection::quickconnect::entry(const QString& list, int index)
{
    const QStringList entries = list.split(QLatin1Char('|'));
    if (index < 0 || index >= entries.size())
        return {};
    const QStringList fields = entries.at(index).split(QLatin1Char('^'));
    const auto field = [&fields](int i) { return i < fields.size() ? fields.at(i) : QString(); };
    return { field(0), field(1), field(2), field(3), field(4) };
}

QString connection::quickconnect::stageText(const QString& quickStage, const QString& list)
{
    if (fieldNumber(quickStage) < 1)
        return QString();
    return QStringLiteral("Stage %1/%2").arg(quickStage).arg(entryCount(list));
}

QString connection::quickconnect::upToNul(const QString& text)
{
    const int end = text.indexOf(QChar(0));
    return end < 0 ? text : text.left(end);
}
