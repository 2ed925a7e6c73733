#include "service/newaccount.h"

#include <QStringList>

service::newaccount::Reply service::newaccount::readReply(const QString& body)
{
    const QStringList pieces = body.split(QLatin1Char('|'));
    Reply reply;
    reply.created = pieces.first() == QLatin1String("true");
    const QString second = pieces.value(1);
    reply.text = reply.created ? second.trimmed() : second;
    return reply;
}
