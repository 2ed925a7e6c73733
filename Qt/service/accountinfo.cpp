#include "service/accountinfo.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace {
QString readField(QXmlStreamReader& xml)
{
    xml.readNextStartElement();
    xml.readNext();
    xml.readNext();
    return xml.text().toString();
}
} // namespace

service::accountinfo::Fields service::accountinfo::readFields(QXmlStreamReader& xml)
{
    Fields fields;
    for (QString* field :
        { &fields.name, &fields.email, &fields.enabled, &fields.plan, &fields.unused, &fields.expiry, &fields.daysLeft,
            &fields.quota, &fields.paymentMethods, &fields.plans, &fields.quickServers, &fields.notice })
        *field = readField(xml);
    return fields;
}

QList<service::accountinfo::ListEntry> service::accountinfo::splitList(const QString& field)
{
    QList<ListEntry> entries;
    for (const QString& piece : field.split(QLatin1Char('|'))) {
        if (piece.isEmpty())
            continue;
        const QStringList parts = piece.split(QLatin1Char(':'));
        entries.append({ parts.value(1), parts.at(0).toInt() });
    }
    return entries;
}
