#include "connection/openvpn.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace openvpn = connection::openvpn;

namespace {
const QString certificatePath = QStringLiteral("/profiles/ca.crt");
const QString configPath = QStringLiteral("/profiles/client.ovpn");
// A name of its own, so that two runs on one machine do not meet.
const QString netns = QStringLiteral("vpf-hostile-%1").arg(getpid());
const QString launcher = QStringLiteral("ip netns exec %1 " VELNOR_REAL_OPENVPN).arg(netns);

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool run(const QStringList& command) { return QProcess::execute(command.first(), command.mid(1)) == 0; }
} // namespace

// Profiles that make OpenVPN load a file as code, against Debian's real
// OpenVPN in a network namespace of its own. Run directly, with the client's
// own command line, OpenVPN runs that code; through the client, it never
// starts.
class HostileProfileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sharedObjectNeverLoaded_data();
    void sharedObjectNeverLoaded();
};

void HostileProfileTest::initTestCase()
{
    if (geteuid() != 0)
        QSKIP("needs root, for a network namespace and OpenVPN's tunnel device");
    if (!QFile::exists(QStringLiteral(VELNOR_REAL_OPENVPN)))
        QSKIP("needs OpenVPN (" VELNOR_REAL_OPENVPN ", scripts/deps)");
    QVERIFY(run({ "ip", "netns", "add", netns }));
}

void HostileProfileTest::cleanupTestCase()
{
    if (geteuid() == 0)
        run({ "ip", "netns", "delete", netns });
}

void HostileProfileTest::sharedObjectNeverLoaded_data()
{
    QTest::addColumn<bool>("servedAsCertificate");
    QTest::addColumn<QByteArray>("directive");
    QTest::addColumn<QByteArray>("warning");
    // The download lands where the attacker can predict it.
    QTest::newRow("served as the certificate")
        << true << QByteArray("\"plugin\" %1")
        << QByteArray("refusing an OpenVPN certificate that is not PEM certificates only");
    // A PEM certificate, and a profile naming a shared object already on the machine.
    QTest::newRow("named by the profile")
        << false << QByteArray("setenv opt plugin %1")
        << QByteArray("refusing an OpenVPN configuration: line 4: plugin: loads code into OpenVPN");
}

void HostileProfileTest::sharedObjectNeverLoaded()
{
    QFETCH(bool, servedAsCertificate);
    QFETCH(QByteArray, directive);
    QFETCH(QByteArray, warning);

    WindowFixture fixture;
    const QString work = fixture.environment.workFolder();
    const QString marker = work + QStringLiteral("/loaded");
    qputenv("VELNOR_MARKER", marker.toUtf8());
    const QByteArray sharedObject = contents(QStringLiteral(VELNOR_MARKER_OBJECT));
    const QByteArray certificate = servedAsCertificate ? sharedObject : contents(QStringLiteral(VELNOR_TEST_CA));
    const QString loaded = servedAsCertificate ? openvpn::certificatePath(work) : QStringLiteral(VELNOR_MARKER_OBJECT);
    const QByteArray profile
        = "client\ndev tun\nremote 192.0.2.1 1194\n" + directive.replace("%1", loaded.toUtf8()) + '\n';
    QVERIFY(!sharedObject.isEmpty() && !certificate.isEmpty());

    // Precondition: the attack is real.
    QVERIFY(openvpn::prepareFolders(work));
    QVERIFY(openvpn::writeInputFile(openvpn::configPath(work), profile));
    QVERIFY(openvpn::writeInputFile(openvpn::certificatePath(work), certificate));
    QVERIFY(openvpn::writeInputFile(openvpn::credentialsPath(work), openvpn::credentials("a", "b")));
    const openvpn::Command command = openvpn::command(work, launcher);
    QProcess direct;
    direct.setWorkingDirectory(command.workingFolder);
    direct.start(command.program, command.arguments);
    QVERIFY(direct.waitForFinished(20000));
    QVERIFY2(QFile::exists(marker), contents(work + QStringLiteral("/include/openvpn.log")).constData());
    QVERIFY(QFile::remove(marker));
    openvpn::removeInputFiles(work);

    // The client, with the same real OpenVPN.
    qputenv("VELNOR_OPENVPN", launcher.toUtf8());
    fixture.backend.answer(QStringLiteral("/AppServersV2"), testFixture(QStringLiteral("catalogue.xml")));
    fixture.backend.answer(QStringLiteral("/AppUserInfoV3"),
        testFixture(QStringLiteral("account.xml"))
            .replace("<notice>Maintenance on Sunday</notice>", "<notice></notice>"));
    fixture.backend.answer(certificatePath, certificate);
    fixture.backend.answer(configPath, profile);
    VelnorMain* window = fixture.openWindow();
    window->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    fixture.setField("username", QStringLiteral("alice"));
    fixture.setField("password", QStringLiteral("secret"));
    fixture.child<QPushButton>("login")->click();
    QTRY_COMPARE(fixture.field("user_enabled"), QStringLiteral("1"));
    fixture.setField("server_protocol", QStringLiteral("OpenVPN"));
    fixture.setField("server_certificate", fixture.backend.baseUrl() + certificatePath);
    fixture.setField("server_config", fixture.backend.baseUrl() + configPath);
    // Fails the test unless the refusal is logged.
    QTest::ignoreMessage(QtWarningMsg, warning.constData());
    fixture.child<QPushButton>("connect")->click();
    QTRY_COMPARE(fixture.backend.requests(certificatePath).size(), 1);
    QTest::qWait(1500);
    QVERIFY2(!QFile::exists(marker), "OpenVPN ran the shared object");
    QTRY_VERIFY(fixture.child<QWidget>("WidgetConnectingVPN")->isHidden());
    QCOMPARE(fixture.field("connectionStatus"), QStringLiteral("disconnected"));
    QVERIFY(!QFile::exists(openvpn::configPath(work)));
    QCOMPARE(fixture.backend.requests(configPath).size(), servedAsCertificate ? 0 : 1);
    qunsetenv("VELNOR_OPENVPN");
    qunsetenv("VELNOR_MARKER");
}

QTEST_MAIN(HostileProfileTest)
#include "tst_hostileprofile.moc"
