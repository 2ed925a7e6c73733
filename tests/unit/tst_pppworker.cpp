#include "connection/launcher.h"
#include "connection/pppworker.h"
#include "connection/teardown.h"
#include "fakeras.h"
#include "platform/rasfields.h"

#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <memory>

// The dialer worker against the scripted remote-access backend: what it
// writes into the phone book and dials, and the status word it leaves.
class PPPWorkerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entryRecord_data();
    void entryRecord();
    void credentials_data();
    void credentials();
    void dialParameters();
    void dialResult_data();
    void dialResult();
    void versionCheck_data();
    void versionCheck();
    void failuresBeforeTheDial_data();
    void failuresBeforeTheDial();
    void unsupportedProtocolTouchesNothing_data();
    void unsupportedProtocolTouchesNothing();
    void inputsAtAndPastTheLimits_data();
    void inputsAtAndPastTheLimits();
    void hangUpDuringBlockedDial_data();
    void hangUpDuringBlockedDial();
    void stopWhileWritingTheEntryStartsNoDial();
    void threadRunsOneDialPerStart();
    void hangUpNeverBlocksTheCaller();
    void abandonedAtEachStepOfADial_data();
    void abandonedAtEachStepOfADial();
    void tunnelsGoneWithinTheBound_data();
    void tunnelsGoneWithinTheBound();

private:
    std::unique_ptr<FakeRas> ras;
    std::unique_ptr<PPPWorker> worker;

    void dial(const QString& protocol, const QString& key = QStringLiteral("k3y"));
};

namespace {

PPPWorker::DialInputs inputsFor(const QString& protocol, const QString& key)
{
    return { protocol, key, QStringLiteral("203.0.113.7"), QStringLiteral("alice"), QStringLiteral("pa55 word"),
        QStringLiteral("Frankfurt") };
}

bool allZero(const BYTE* bytes, std::size_t size)
{
    return std::all_of(bytes, bytes + size, [](BYTE b) { return b == 0; });
}

// The worker on a dialer thread of its own, wired as the window wires it.
class DialerThread {
public:
    explicit DialerThread(PPPWorker* worker)
    {
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, worker, &PPPWorker::VPNStart);
        // Debian's Qt is not built for ThreadSanitizer, so it cannot see
        // QThread::wait() order a run before what follows; this hand-over
        // on the dialer thread's way out makes that visible.
        QObject::connect(
            &thread, &QThread::finished, &thread, [this] { runsEnded.fetch_add(1, std::memory_order_release); },
            Qt::DirectConnection);
    }
    ~DialerThread() { join(); }
    void startAfterPreviousRun()
    {
        join();
        thread.start();
    }

private:
    void join()
    {
        thread.quit();
        thread.wait();
        runsEnded.load(std::memory_order_acquire);
    }

    QThread thread;
    std::atomic<int> runsEnded { 0 };
};

} // namespace

void PPPWorkerTest::init()
{
    ras = std::make_unique<FakeRas>();
    worker = std::make_unique<PPPWorker>();
}

void PPPWorkerTest::cleanup()
{
    worker.reset();
    ras.reset();
}

void PPPWorkerTest::dial(const QString& protocol, const QString& key)
{
    worker->setDialInputs(inputsFor(protocol, key));
    worker->VPNStart();
}

void PPPWorkerTest::entryRecord_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("options2");

    QTest::newRow("PPTP on 10.0") << "PPTP" << 10 << 0 << 5616 << 1 << 0x44;
    QTest::newRow("L2TP on 6.1") << "L2TP" << 6 << 1 << 5616 << 3 << 0x54;
    QTest::newRow("PPTP on 5.1") << "PPTP" << 5 << 1 << 5616 << 1 << 0x44;
    QTest::newRow("L2TP on 5.0") << "L2TP" << 5 << 0 << 2088 << 3 << 0x54;
    QTest::newRow("PPTP on 4.0") << "PPTP" << 4 << 0 << 2088 << 1 << 0x44;
}

void PPPWorkerTest::entryRecord()
{
    QFETCH(QString, protocol);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, size);
    QFETCH(int, strategy);
    QFETCH(int, options2);

    ras->setVersion(major, minor);
    dial(protocol);

    const auto entries = ras->entryCalls();
    QCOMPARE(entries.size(), 1);
    const FakeRas::EntryCall& call = entries.first();
    QVERIFY(call.phoneBookNull);
    QCOMPARE(call.entryName, QStringLiteral("Velnor"));
    QCOMPARE(call.entryInfoSize, DWORD(5616));
    QVERIFY(call.deviceInfoNull);
    QCOMPARE(call.deviceInfoSize, DWORD(0));

    const RASENTRYW& entry = call.entry;
    QCOMPARE(entry.dwSize, DWORD(size));
    QCOMPARE(entry.dwfOptions, DWORD(0x05010010));
    QCOMPARE(platform::ras::fieldText(entry.szLocalPhoneNumber), QStringLiteral("203.0.113.7"));
    QCOMPARE(entry.dwfNetProtocols, DWORD(4));
    QCOMPARE(entry.dwFramingProtocol, DWORD(1));
    QCOMPARE(platform::ras::fieldText(entry.szDeviceType), QStringLiteral("vpn"));
    QCOMPARE(platform::ras::fieldText(entry.szDeviceName), QStringLiteral("VPN"));
    QCOMPARE(entry.dwType, DWORD(2));
    QCOMPARE(entry.dwEncryptionType, DWORD(3));
    QCOMPARE(entry.dwVpnStrategy, DWORD(strategy));
    QCOMPARE(entry.dwfOptions2, DWORD(options2));
    QCOMPARE(entry.dwRedialCount, DWORD(3));
    QCOMPARE(entry.dwRedialPause, DWORD(1));
    // Everything not set stays zero, up to the entry-info size passed.
    QVERIFY(allZero(entry.reserved, sizeof entry.reserved));
}

void PPPWorkerTest::credentials_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("calls");

    const QStringList withKey { "version", "entry", "credentials", "dial" };
    QTest::newRow("L2TP stores its key") << "L2TP"
                                         << "k3y" << withKey;
    QTest::newRow("L2TP stores an empty key") << "L2TP"
                                              << "" << withKey;
    QTest::newRow("PPTP stores none") << "PPTP"
                                      << "k3y" << QStringList { "version", "entry", "dial" };
}

void PPPWorkerTest::credentials()
{
    QFETCH(QString, protocol);
    QFETCH(QString, key);
    QFETCH(QStringList, calls);

    dial(protocol, key);

    QCOMPARE(ras->calls(), calls);
    const auto stored = ras->credentialsCalls();
    if (!calls.contains(QStringLiteral("credentials"))) {
        QVERIFY(stored.isEmpty());
        return;
    }
    QCOMPARE(stored.size(), 1);
    const FakeRas::CredentialsCall& call = stored.first();
    QVERIFY(call.phoneBookNull);
    QCOMPARE(call.entryName, QStringLiteral("Velnor"));
    QCOMPARE(call.clearCredentials, FALSE);
    QCOMPARE(call.credentials.dwSize, DWORD(1068));
    QCOMPARE(call.credentials.dwMask, DWORD(0x10));
    QCOMPARE(platform::ras::fieldText(call.credentials.szPassword), key);
    QCOMPARE(platform::ras::fieldText(call.credentials.szUserName), QString());
    QCOMPARE(platform::ras::fieldText(call.credentials.szDomain), QString());
}

void PPPWorkerTest::dialParameters()
{
    dial(QStringLiteral("L2TP"));

    const auto dials = ras->dialCalls();
    QCOMPARE(dials.size(), 1);
    const FakeRas::DialCall& call = dials.first();
    QVERIFY(call.extensionsNull);
    QVERIFY(call.phoneBookNull);
    QCOMPARE(call.notifierType, DWORD(0));
    QVERIFY(call.notifierNull);

    const RASDIALPARAMSW& parameters = call.parameters;
    QCOMPARE(parameters.dwSize, DWORD(2104));
    QCOMPARE(platform::ras::fieldText(parameters.szEntryName), QStringLiteral("Velnor"));
    QCOMPARE(platform::ras::fieldText(parameters.szUserName), QStringLiteral("alice"));
    QCOMPARE(platform::ras::fieldText(parameters.szPassword), QStringLiteral("pa55 word"));
    QCOMPARE(platform::ras::fieldText(parameters.szDomain), QString());
    // The entry's own number is dialled, on all its sub-entries.
    QCOMPARE(platform::ras::fieldText(parameters.szPhoneNumber), QString());
    QCOMPARE(platform::ras::fieldText(parameters.szCallbackNumber), QString());
    QCOMPARE(parameters.dwSubEntry, DWORD(0));
    // The handle the dial wrote is the one the window hangs up.
    QCOMPARE(worker->connectionHandle(), call.handle);
    QVERIFY(call.handle != nullptr);
}

void PPPWorkerTest::dialResult_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("errorCode");

    QTest::newRow("PPTP connects") << "PPTP" << 0 << "connected"
                                   << "0";
    QTest::newRow("L2TP connects") << "L2TP" << 0 << "connected"
                                   << "0";
    QTest::newRow("bad credentials") << "PPTP" << 691 << "error"
                                     << "691";
    QTest::newRow("unreachable") << "L2TP" << 800 << "error"
                                 << "800";
    QTest::newRow("general failure") << "PPTP" << 1168 << "error"
                                     << "1168";
}

void PPPWorkerTest::dialResult()
{
    QFETCH(QString, protocol);
    QFETCH(int, result);
    QFETCH(QString, status);
    QFETCH(QString, errorCode);

    // What an earlier dial left behind is replaced.
    worker->setStatus(QStringLiteral("error"));
    worker->setErrorCode(QStringLiteral("720"));
    ras->queueDial(result);
    dial(protocol);

    QString statusRead;
    QString codeRead;
    worker->readResult(&statusRead, &codeRead);
    QCOMPARE(statusRead, status);
    QCOMPARE(codeRead, errorCode);
}

void PPPWorkerTest::versionCheck_data()
{
    QTest::addColumn<QVector<DWORD>>("failingSizes");
    QTest::addColumn<int>("platformId");
    QTest::addColumn<QVector<DWORD>>("sizesAsked");
    QTest::addColumn<bool>("dials");

    QTest::newRow("extended record answers") << QVector<DWORD> {} << 2 << QVector<DWORD> { 284 } << true;
    QTest::newRow("retried with the plain record")
        << QVector<DWORD> { 284 } << 2 << QVector<DWORD> { 284, 276 } << true;
    QTest::newRow("both fail") << QVector<DWORD> { 284, 276 } << 2 << QVector<DWORD> { 284, 276 } << false;
    QTest::newRow("not NT") << QVector<DWORD> {} << 1 << QVector<DWORD> { 284 } << false;
    QTest::newRow("not NT after retry") << QVector<DWORD> { 284 } << 0 << QVector<DWORD> { 284, 276 } << false;
}

void PPPWorkerTest::versionCheck()
{
    QFETCH(QVector<DWORD>, failingSizes);
    QFETCH(int, platformId);
    QFETCH(QVector<DWORD>, sizesAsked);
    QFETCH(bool, dials);

    for (DWORD size : failingSizes)
        ras->failVersionFor(size);
    ras->setVersion(6, 1, platformId);
    dial(QStringLiteral("L2TP"));

    QCOMPARE(ras->versionSizeFields(), sizesAsked);
    QCOMPARE(ras->dialCalls().size(), dials ? 1 : 0);
    if (!dials) {
        // Given up silently: the monitor's time-out ends the attempt.
        QVERIFY(ras->entryCalls().isEmpty());
        QCOMPARE(worker->statusText(), QStringLiteral("in progress"));
        QCOMPARE(worker->errorCodeText(), QString());
    }
}

void PPPWorkerTest::failuresBeforeTheDial_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("entryResult");
    QTest::addColumn<int>("credentialsResult");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("entry refused") << "L2TP" << 621 << 0 << QStringList { "version", "entry" };
    QTest::newRow("key refused") << "L2TP" << 0 << 624 << QStringList { "version", "entry", "credentials" };
}

void PPPWorkerTest::failuresBeforeTheDial()
{
    QFETCH(QString, protocol);
    QFETCH(int, entryResult);
    QFETCH(int, credentialsResult);
    QFETCH(QStringList, calls);

    ras->setEntryResult(entryResult);
    ras->setCredentialsResult(credentialsResult);
    dial(protocol);

    QCOMPARE(ras->calls(), calls);
    QCOMPARE(worker->statusText(), QStringLiteral("in progress"));
    QCOMPARE(worker->errorCodeText(), QString());
}

void PPPWorkerTest::unsupportedProtocolTouchesNothing_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::newRow("lower case") << "pptp";
    QTest::newRow("empty") << "";
    QTest::newRow("OpenVPN") << "OpenVPN";
    QTest::newRow("trailing space") << "L2TP ";
}

void PPPWorkerTest::unsupportedProtocolTouchesNothing()
{
    QFETCH(QString, protocol);

    dial(protocol);

    QCOMPARE(ras->calls(), QStringList { "version" });
    QCOMPARE(worker->statusText(), QStringLiteral("in progress"));
    QCOMPARE(worker->errorCodeText(), QString());
}

void PPPWorkerTest::inputsAtAndPastTheLimits_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("refusedWith");

    const QString host = QStringLiteral("203.0.113.7");
    const QString user = QStringLiteral("alice");
    const QString word = QStringLiteral("secret");
    const QString fill = QStringLiteral("x");
    // Characters outside the basic plane count twice, as on Windows.
    const QString clef = QString::fromUcs4(U"\U0001D11E");

    QTest::newRow("address at 128") << "PPTP" << fill.repeated(128) << user << word << ""
                                    << "";
    QTest::newRow("address at 129") << "PPTP" << fill.repeated(129) << user << word << ""
                                    << "723";
    QTest::newRow("user at 256") << "L2TP" << host << fill.repeated(256) << word << "k"
                                 << "";
    QTest::newRow("user at 257") << "L2TP" << host << fill.repeated(257) << word << "k"
                                 << "691";
    QTest::newRow("user of 128 wide characters") << "PPTP" << host << clef.repeated(128) << word << ""
                                                 << "";
    QTest::newRow("user of 129 wide characters") << "PPTP" << host << clef.repeated(129) << word << ""
                                                 << "691";
    QTest::newRow("password at 256") << "PPTP" << host << user << fill.repeated(256) << ""
                                     << "";
    QTest::newRow("password at 257") << "PPTP" << host << user << fill.repeated(257) << ""
                                     << "691";
    QTest::newRow("key at 256") << "L2TP" << host << user << word << fill.repeated(256) << "";
    QTest::newRow("key at 257") << "L2TP" << host << user << word << fill.repeated(257) << "811";
    QTest::newRow("PPTP ignores the key") << "PPTP" << host << user << word << fill.repeated(300) << "";
}

void PPPWorkerTest::inputsAtAndPastTheLimits()
{
    QFETCH(QString, protocol);
    QFETCH(QString, address);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, key);
    QFETCH(QString, refusedWith);

    worker->setDialInputs({ protocol, key, address, user, password, QStringLiteral("Far Away") });
    worker->VPNStart();

    if (!refusedWith.isEmpty()) {
        // Nothing written, nothing dialled, and an error the window can explain.
        QCOMPARE(ras->calls(), QStringList { "version" });
        QCOMPARE(worker->statusText(), QStringLiteral("error"));
        QCOMPARE(worker->errorCodeText(), refusedWith);
        return;
    }
    // At the limit everything arrives whole.
    QCOMPARE(worker->statusText(), QStringLiteral("connected"));
    QCOMPARE(platform::ras::fieldText(ras->entryCalls().first().entry.szLocalPhoneNumber), address);
    const auto dials = ras->dialCalls();
    const RASDIALPARAMSW& parameters = dials.first().parameters;
    QCOMPARE(platform::ras::fieldText(parameters.szUserName), user);
    QCOMPARE(platform::ras::fieldText(parameters.szPassword), password);
    if (protocol == QLatin1String("L2TP"))
        QCOMPARE(platform::ras::fieldText(ras->credentialsCalls().first().credentials.szPassword), key);
}

void PPPWorkerTest::hangUpDuringBlockedDial_data()
{
    QTest::addColumn<bool>("stopFirst");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("errorCode");

    // The window's cancel writes "stop"; a plain hang-up leaves the failure
    // to be reported.
    QTest::newRow("stop then hang up") << true << ""
                                       << "disconnected";
    QTest::newRow("hang up alone") << false << "error"
                                   << "631";
}

void PPPWorkerTest::hangUpDuringBlockedDial()
{
    QFETCH(bool, stopFirst);
    QFETCH(QString, status);
    QFETCH(QString, errorCode);

    ras->queueBlockingDial(ERROR_USER_DISCONNECTION);
    worker->setDialInputs(inputsFor(QStringLiteral("PPTP"), QString()));
    DialerThread thread(worker.get());
    thread.startAfterPreviousRun();
    // Polled as the window would, while the dial thread publishes it.
    QTRY_VERIFY(worker->connectionHandle() != nullptr);
    QVERIFY(ras->waitForBlockedDial());

    // The GUI thread gets the lock and the handle while the dial blocks.
    QCOMPARE(worker->statusText(), QStringLiteral("in progress"));
    const HRASCONN handle = worker->connectionHandle();
    QCOMPARE(handle, ras->dialCalls().first().handle);

    if (stopFirst)
        worker->setStatus(QStringLiteral("stop"));
    QCOMPARE(RasHangUpW(handle), DWORD(0));
    QTRY_COMPARE(worker->errorCodeText(), errorCode);
    QCOMPARE(worker->statusText(), status);
    QCOMPARE(ras->liveConnections(), 0);
    // A second hang-up of the same handle ends nothing.
    QCOMPARE(RasHangUpW(handle), ERROR_INVALID_HANDLE);
}

void PPPWorkerTest::stopWhileWritingTheEntryStartsNoDial()
{
    ras->setEntryHook([this] { worker->setStatus(QStringLiteral("stop")); });
    dial(QStringLiteral("L2TP"));

    QCOMPARE(ras->calls(), (QStringList { "version", "entry", "credentials" }));
    QCOMPARE(worker->statusText(), QString());
    QCOMPARE(worker->errorCodeText(), QStringLiteral("disconnected"));
}

void PPPWorkerTest::threadRunsOneDialPerStart()
{
    ras->queueDial(691);
    ras->queueDial(0);
    DialerThread thread(worker.get());

    worker->setDialInputs(inputsFor(QStringLiteral("L2TP"), QStringLiteral("first key")));
    thread.startAfterPreviousRun();
    QTRY_COMPARE(worker->statusText(), QStringLiteral("error"));
    QCOMPARE(worker->errorCodeText(), QStringLiteral("691"));

    worker->setDialInputs({ QStringLiteral("PPTP"), QString(), QStringLiteral("198.51.100.20"), QStringLiteral("bob"),
        QStringLiteral("other"), QStringLiteral("Oslo") });
    thread.startAfterPreviousRun();
    QTRY_COMPARE(worker->statusText(), QStringLiteral("connected"));
    QCOMPARE(worker->errorCodeText(), QStringLiteral("0"));

    // The second run dialled the second inputs, and nothing of the L2TP
    // entry carried over.
    const auto entries = ras->entryCalls();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(platform::ras::fieldText(entries.last().entry.szLocalPhoneNumber), QStringLiteral("198.51.100.20"));
    QCOMPARE(entries.last().entry.dwVpnStrategy, DWORD(VS_PptpOnly));
    QCOMPARE(entries.last().entry.dwfOptions2, DWORD(0x44));
    QCOMPARE(ras->credentialsCalls().size(), 1);
    const auto dials = ras->dialCalls();
    QCOMPARE(dials.size(), 2);
    QCOMPARE(platform::ras::fieldText(dials.last().parameters.szUserName), QStringLiteral("bob"));
    QCOMPARE(worker->connectionHandle(), dials.last().handle);
}

void PPPWorkerTest::hangUpNeverBlocksTheCaller()
{
    ras->setHangUpDelay(1500);
    ras->queueBlockingDial(ERROR_USER_DISCONNECTION);
    worker->setDialInputs(inputsFor(QStringLiteral("PPTP"), QString()));
    DialerThread thread(worker.get());
    thread.startAfterPreviousRun();
    QVERIFY(ras->waitForBlockedDial());

    // The event loop keeps turning while the slow hang-up runs elsewhere.
    int turns = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&turns] { ++turns; });
    ticker.start(20);
    worker->hangUp();
    // The fake's hang-up records itself only after its delay.
    QVERIFY2(ras->hangUps().isEmpty(), "hangUp() waited for the system");
    QCOMPARE(worker->statusText(), QStringLiteral("stop"));
    QTRY_COMPARE(ras->hangUps().size(), 1);
    QVERIFY(worker->waitForHangUps(30000));
    QTRY_COMPARE(worker->errorCodeText(), QStringLiteral("disconnected"));
    QVERIFY2(turns >= 10, qPrintable(QStringLiteral("%1 turns").arg(turns)));
    QCOMPARE(ras->liveConnections(), 0);
}

// After a hang-up at any step of a dial, the dial is never reported as
// connected and leaves no connection up, whatever the system answers.
void PPPWorkerTest::abandonedAtEachStepOfADial_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("blocks");
    QTest::addColumn<DWORD>("result");

    QTest::newRow("writing the entry") << "entry" << false << DWORD(0);
    QTest::newRow("storing the key") << "credentials" << false << DWORD(0);
    QTest::newRow("before the handle is published, dial succeeds") << "dial" << false << DWORD(0);
    QTest::newRow("before the handle is published, dial fails") << "dial" << false << DWORD(800);
    QTest::newRow("while the dial blocks") << "blocked" << true << DWORD(ERROR_USER_DISCONNECTION);
}

void PPPWorkerTest::abandonedAtEachStepOfADial()
{
    QFETCH(QString, step);
    QFETCH(bool, blocks);
    QFETCH(DWORD, result);

    const auto abandon = [this] { worker->hangUp(); };
    if (step == QLatin1String("entry"))
        ras->setEntryHook(abandon);
    else if (step == QLatin1String("credentials"))
        ras->setCredentialsHook(abandon);
    else if (step == QLatin1String("dial"))
        ras->setDialHook(abandon);
    if (blocks)
        ras->queueBlockingDial(result);
    else
        ras->queueDial(result);

    worker->setDialInputs(inputsFor(QStringLiteral("L2TP"), QStringLiteral("k3y")));
    DialerThread thread(worker.get());
    thread.startAfterPreviousRun();
    if (blocks) {
        QVERIFY(ras->waitForBlockedDial());
        // What the window's disconnect does: hang up, then clear the status.
        worker->hangUp();
        worker->setStatus(QString());
    }
    QTRY_COMPARE(worker->errorCodeText(), QStringLiteral("disconnected"));
    QVERIFY(worker->waitForHangUps(30000));
    QVERIFY(worker->statusText() != QStringLiteral("connected"));
    QCOMPARE(ras->liveConnections(), 0);
}

void PPPWorkerTest::tunnelsGoneWithinTheBound_data()
{
    QTest::addColumn<int>("hangUpMs");
    QTest::addColumn<int>("boundMs");
    QTest::addColumn<int>("hungUpWhenCalled");
    QTest::newRow("hang-up returns first") << 200 << 20000 << 1;
    QTest::newRow("bound passes first") << 3000 << 100 << 0;
}

// What follows a disconnect waits for its hang-up, but not for ever.
void PPPWorkerTest::tunnelsGoneWithinTheBound()
{
    QFETCH(int, hangUpMs);
    QFETCH(int, boundMs);
    QFETCH(int, hungUpWhenCalled);
    dial(QStringLiteral("PPTP"));
    QCOMPARE(ras->liveConnections(), 1);
    QProcess process;
    connection::openvpn::Launcher* launcher
        = connection::openvpn::installDirectLauncher(&process, [] { return QString(); });

    ras->setHangUpDelay(hangUpMs);
    worker->hangUp();
    QObject context;
    int hungUp = -1;
    connection::whenTunnelsGone(
        worker.get(), launcher, &context, [this, &hungUp] { hungUp = ras->hangUps().size(); }, boundMs);
    QTRY_VERIFY_WITH_TIMEOUT(hungUp >= 0, 10000);
    QCOMPARE(hungUp, hungUpWhenCalled);
}

QTEST_GUILESS_MAIN(PPPWorkerTest)
#include "tst_pppworker.moc"
