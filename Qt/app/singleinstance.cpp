#include "app/singleinstance.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>

namespace {
// Qt writes the holder's details as it creates the file; one still without
// them after this long is broken, not being written.
constexpr qint64 unreadableLockGraceMs = 5000;
} // namespace

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

app::singleinstance::FolderLock::FolderLock(const QString& folder)
    : path(folder + QStringLiteral("/velnor-vpn.lock"))
    , lock(path)
{
    // Held for the whole run: only an ended holder makes it stale, never age.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        result = State::Taken;
        return;
    }
    if (lock.error() != QLockFile::LockFailedError)
        return;
    QString host;
    if (lock.getLockInfo(nullptr, &host, nullptr)) {
        // On this machine tryLock has already taken over a lock whose
        // process is gone, so the holder runs.
        if (host.isEmpty() || host == QSysInfo::machineHostName())
            result = State::HeldByLiveCopy;
        return;
    }
    const QFileInfo file(path);
    const bool broken
        = file.exists() && qAbs(file.lastModified().msecsTo(QDateTime::currentDateTime())) > unreadableLockGraceMs;
    // Gone meanwhile, or broken: one more try.
    if ((!file.exists() || (broken && lock.removeStaleLockFile())) && lock.tryLock(0))
        result = State::Taken;
}
