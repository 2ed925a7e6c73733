#include "app/singleinstance.h"


qint64 app::singleinstance::storedHeartbeat(const QVariant& value)
{
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok);
    return ok ? number : 0;
}

bool app::singleinstance::mayStart(qint64 now, qint64 lastHeartbeat)
{
    // No live copy can have written a heartbeat further ahead than the
    // window: such a value is stale (the clock was set back, or the store is
    // corrupt), or every later start would be refused until that time. Both
    // bounds are taken from `now`, so no value can overflow them.
    const qint64 oldestFresh = now - freshnessWindowMs;
    const qint64 newestFresh = now + freshnessWindowMs;
    return lastHeartbeat < oldestFresh || lastHeartbeat > newestFresh;
}
