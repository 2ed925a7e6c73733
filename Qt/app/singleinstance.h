#pragma once

#include <QLockFile>
#include <QString>
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

// A lock file in the data folder, held for as long as a copy runs. Unlike the
// heartbeat it stays held while that copy is stopped or busy, so another
// copy never takes the folder's files from under it.
class FolderLock {
public:
    enum class State {
        Taken, // by this copy, until the lock goes
        HeldByLiveCopy, // by a copy whose process still runs on this machine
        Undecided, // it can neither be taken nor judged: run without it
    };

    // Takes over a lock whose copy has ended (its process gone or another
    // program's, the machine restarted since), and one no copy wrote that is
    // older than a few seconds, so a crash never locks the user out. A lock
    // held from another machine, which cannot be judged, is left alone.
    explicit FolderLock(const QString& folder);

    State state() const { return result; }

private:
    QString path;
    QLockFile lock;
    State result = State::Undecided;
};

} // namespace app::singleinstance
