#include "app/singleinstance.h"

#include <limits>

qint64 app::singleinstance::storedHeartbeat(const QVariant& value)
{
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? number : 0;
}

bool app::singleinstance::mayStart(qint64 now, qint64 lastHeartbeat)
{
    // A heartbeat within the window of the largest time cannot be passed.
    if (lastHeartbeat > std::numeric_limits<qint64>::max() - freshnessWindowMs)
        return false;
    return now > lastHeartbeat + freshnessWindowMs;
}
