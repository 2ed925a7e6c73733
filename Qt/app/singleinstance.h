#pragma once

#include <QVariant>
#include <QtGlobal>

// Two copies of the program share only the settings store: the running copy
// writes a heartbeat ("vlrunning") every tick, a refused copy asks it to raise
// its window ("vlmaximize").
namespace app::singleinstance {

constexpr qint64 freshnessWindowMs = 5000;

// The stored heartbeat as a number; missing or not a number gives 0.
qint64 storedHeartbeat(const QVariant& value);

// True when no live copy is assumed: now is strictly later than the
// heartbeat plus the freshness window, or the heartbeat lies more than the
// window in the future, where no live copy can have written it.
bool mayStart(qint64 now, qint64 lastHeartbeat);

} // namespace app::singleinstance
