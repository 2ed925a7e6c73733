#pragma once

#include <QList>
#include <QString>

class QXmlStreamReader;

// Readers of the account-information document.
namespace service::accountinfo {

// The twelve fields that follow the "true" of the response element, in
// document order.
struct Fields {
    QString name;
    QString email;
    QString enabled;
    QString plan;
    QString unused;
    QString expiry;
    QString daysLeft;
    QString quota;
    QString paymentMethods;
    QString plans;
    QString quickServers;
    QString notice;
};

// Reads the fields by position. The reader stands on the response's text.
// Each field is the next start-or-end tag, then two more tokens, the second
// of which holds the text; so the fields must follow the response end tag
// and one another without white space, and none may be empty.
Fields readFields(QXmlStreamReader& xml);

struct ListEntry {
    QString text;
    int id = 0;

    bool operator==(const ListEntry& other) const { return text == other.text && id == other.id; }
};

// A payment-method or plan field: entries "id:name" separated by "|". Empty
// pieces give no entry; a piece without ":" gives an empty name; an id that
// is not a number reads as 0.
QList<ListEntry> splitList(const QString& field);

} // namespace service::accountinfo
