#pragma once

#include "connection/state.h"
#include "platform/ras.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <mutex>

// Dials PPTP and L2TP through the remote-access layer on its own thread.
// It reports only through its status word and error code, which the window's
// monitor polls; it never calls into the window.
class PPPWorker : public QObject {
    Q_OBJECT

public:
    // The inputs of one dial; the window always sets them as one set.
    struct DialInputs {
        QString protocol;
        QString preSharedKey;
        QString serverAddress;
        QString userName;
        QString password;
        QString serverName;
    };

    explicit PPPWorker(QObject* parent = nullptr);
    // Waits for the hang-ups still running, which report through this object.
    ~PPPWorker() override;

    void setDialInputs(const DialInputs& inputs);
    QString serverNameText() const;

    // The status word ("in progress", "connected", "error", "stop" or empty)
    // and the error code of the last dial.
    connection::State state() const;
    void setState(connection::State value);
    QString statusText() const;
    void setStatus(const QString& word);
    QString errorCodeText() const;
    void setErrorCode(const QString& value);
    // Status and error code read together, so the monitor never pairs a new
    // status with an old code.
    struct Result {
        connection::State state;
        QString errorCode;
    };
    Result result() const;
    void readResult(QString* statusOut, QString* errorCodeOut) const;

    // Safe to read while a dial runs on the dialer thread: RasHangUpW with
    // this handle aborts that dial.
    HRASCONN connectionHandle() const;

    // Abandons every dial started so far and marks the status "stop": a dial
    // still being set up never starts, and one that connects all the same is
    // hung up and never reported as connected. The current connection is
    // hung up on a pool thread, since that can take seconds; this never
    // blocks.
    void hangUp();
    // Waits at most `milliseconds` for hang-ups still running; true when
    // none is left.
    bool waitForHangUps(int milliseconds);
    // Calls `done` on `context`'s thread once every hang-up asked for so far
    // has returned; never if `context` goes first. Never blocks.
    void whenHungUp(QObject* context, std::function<void()> done);

    // A run asked for while the dialer thread was still finishing its
    // previous one; whoever sees the thread finish starts it.
    void setRunPending(bool pending);
    bool takeRunPending();

public slots:
    void VPNStart();

signals:
    // From the hang-up thread: every hang-up asked for before `whenHungUp`
    // handed out `mark` has returned.
    void hangUpsPassed(quint64 mark);

private:
    // The status word and error code after a dial, or after inputs the
    // remote-access records cannot hold, that ended with `result`.
    void reportResult(quint64 run, DWORD result);

    // One lock over everything the GUI and dialer threads share. The dial
    // itself runs without it, so a hang-up from the GUI thread gets through;
    // the handle the dial writes meanwhile is read and written atomically.
    mutable std::mutex lock;

    HRASCONN connHandle = nullptr;
    QString protocol;
    QString preSharedKey;
    QString serverAddress;
    QString userName;
    QString password;
    QString serverName;
    connection::State status = connection::State::None;
    QString errorCode;
    quint64 runs = 0; // dials started
    quint64 abandonedRuns = 0; // every dial up to this one was abandoned
    bool runPending = false;

    QThreadPool* hangUps;
    quint64 hangUpMarks = 0;
};
