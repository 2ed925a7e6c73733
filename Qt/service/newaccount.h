#pragma once

#include <QString>

// The plain-text reply to an account request: "true|user name" or
// "anything else|reason".
namespace service::newaccount {

struct Reply {
    bool created = false;
    // The new user name, trimmed, when created; otherwise the service's reason.
    QString text;
};

Reply readReply(const QString& body);

} // namespace service::newaccount
