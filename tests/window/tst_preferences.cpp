#include "platform/autostart.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {
const QString loginPath = QStringLiteral("/AppServersV2");

// The program an autostart entry's Exec line runs, read back by the rules of
// the desktop-entry format: first the string escapes of the value, then the
// quoting of the one argument; nullptr-like empty result when malformed.
QString execProgram(const QByteArray& entry)
{
    QString line;
    for (const QString& candidate : QString::fromUtf8(entry).split(QLatin1Char('\n'))) {
        if (candidate.startsWith(QLatin1String("Exec=")))
            line = candidate.mid(5);
    }
    QString value;
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) != QLatin1Char('\\') || i + 1 == line.size()) {
            value += line.at(i);
            continue;
        }
        const QChar next = line.at(++i);
        value += next == QLatin1Char('n') ? QChar(QLatin1Char('\n'))
            : next == QLatin1Char('t')    ? QChar(QLatin1Char('\t'))
            : next == QLatin1Char('r')    ? QChar(QLatin1Char('\r'))
            : next == QLatin1Char('s')    ? QChar(QLatin1Char(' '))
                                          : next;
    }
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"')))
        return QString();
    QString program;
    for (int i = 1; i < value.size() - 1; ++i) {
        QChar character = value.at(i);
        if (character == QLatin1Char('\\'))
            character = value.at(++i);
        else if (character == QLatin1Char('%') && value.at(++i) != QLatin1Char('%'))
            return QString(); // a field code: not a plain program
        else if (character == QLatin1Char('"'))
            return QString(); // a second argument
        program += character;
    }
    return program;
}

QByteArray readEntry()
{
    QFile file(platform::autostart::entryPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// The start-up preferences: what the store holds, what the boxes show, and
// the autostart entry behind "start with the system".
class PreferencesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshProfile();
    void storedFlags_data();
    void storedFlags();
    void boxesStoreTheirFlag_data();
    void boxesStoreTheirFlag();
    void rememberMeStoresNothing();
    void rememberedLoginStartsMinimized();
    void autostartEntry_data();
    void autostartEntry();
    void autostartProgram_data();
    void autostartProgram();
    void autostartFailureUnchecks();

private:
    std::unique_ptr<WindowFixture> fixture;
    VelnorMain* window = nullptr;

    template <typename T>
    T* child(const char* name) const
    {
        return fixture->child<T>(name);
    }
};

void PreferencesTest::init()
{
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(fixture->backend.isListening());
}

void PreferencesTest::cleanup()
{
    fixture.reset();
    window = nullptr;
}

void PreferencesTest::freshProfile()
{
    window = fixture->openWindow();
    for (const char* name :
        { "startWithWindows", "startMinimized", "vpn_auto_connect", "showTaskbarIcon", "autologin" })
        QVERIFY2(!child<QCheckBox>(name)->isChecked(), name);
    QVERIFY(!(window->windowState() & Qt::WindowMinimized));
    QTest::qWait(200);
    QVERIFY(fixture->backend.requests(loginPath).isEmpty());
    // Only the heartbeat is written at first start.
    QCOMPARE(QSettings().allKeys(), QStringList { QStringLiteral("vlrunning") });
    QVERIFY(!QFile::exists(platform::autostart::entryPath()));
}

void PreferencesTest::storedFlags_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("on");

    for (const char* key : { "startWithWindows", "startMinimized", "vpn_auto_connect", "showTaskbarIcon" }) {
        QTest::addRow("%s 1", key) << key << "1" << true;
        QTest::addRow("%s true", key) << key << "true" << false;
        QTest::addRow("%s yes", key) << key << "yes" << false;
    }
}

void PreferencesTest::storedFlags()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(bool, on);
    QSettings().setValue(key, stored);

    // Not waited for: a window started minimised is never exposed.
    fixture->window = std::make_unique<VelnorMain>();
    window = fixture->window.get();
    window->show();
    QCOMPARE(child<QCheckBox>(qPrintable(key))->isChecked(), on);
    QCOMPARE(bool(window->windowState() & Qt::WindowMinimized), on && key == QLatin1String("startMinimized"));
    // Reading never rewrites the flag, nor the autostart entry.
    QCOMPARE(QSettings().value(key).toString(), stored);
    QVERIFY(!QFile::exists(platform::autostart::entryPath()));
}

void PreferencesTest::boxesStoreTheirFlag_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : { "startWithWindows", "startMinimized", "vpn_auto_connect", "showTaskbarIcon" })
        QTest::newRow(name) << name;
}

void PreferencesTest::boxesStoreTheirFlag()
{
    QFETCH(QString, name);
    window = fixture->openWindow();
    auto* box = child<QCheckBox>(qPrintable(name));
    const bool autostart = name == QLatin1String("startWithWindows");

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QCOMPARE(QSettings().value(name).toString(), QStringLiteral("1"));
    QCOMPARE(QFile::exists(platform::autostart::entryPath()), autostart);
    if (autostart)
        QCOMPARE(execProgram(readEntry()), QCoreApplication::applicationFilePath());

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!box->isChecked());
    QCOMPARE(QSettings().value(name).toString(), QStringLiteral("0"));
    QVERIFY(!QFile::exists(platform::autostart::entryPath()));
    QVERIFY(fixture->dialogs.boxes().isEmpty());
}

void PreferencesTest::rememberMeStoresNothing()
{
    window = fixture->openWindow();
    QTest::mouseClick(child<QCheckBox>("autologin"), Qt::LeftButton);
    QVERIFY(child<QCheckBox>("autologin")->isChecked());
    fixture->closeWindow();
    for (const char* key : { "vlr", "vlu", "vlp" })
        QVERIFY2(!QSettings().contains(QLatin1String(key)), key);
}

void PreferencesTest::rememberedLoginStartsMinimized()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("startMinimized"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("vlr"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("vlu"), QByteArray("alice"));
        settings.setValue(QStringLiteral("vlp"), QByteArray("secret"));
    }
    fixture->window = std::make_unique<VelnorMain>();
    window = fixture->window.get();
    window->show();

    QVERIFY(window->windowState() & Qt::WindowMinimized);
    QVERIFY(child<QCheckBox>("autologin")->isChecked());
    QVERIFY(child<QCheckBox>("startMinimized")->isChecked());
    QTRY_COMPARE(fixture->backend.requests(loginPath).size(), 1);
    QVERIFY(fixture->backend.requests(loginPath).first().query.startsWith("username=alice&key="));
}

void PreferencesTest::autostartEntry_data()
{
    QTest::addColumn<QString>("executable");
    QTest::newRow("plain") << QStringLiteral("/usr/bin/velnor-vpn");
    QTest::newRow("space") << QStringLiteral("/opt/Velnor VPN/velnor-vpn");
    QTest::newRow("quote, dollar, backquote") << QStringLiteral("/home/ann/\"it's\" $HOME `x`/velnor-vpn");
    QTest::newRow("backslash and percent") << QStringLiteral("/opt/a\\b/100%u/velnor-vpn");
    QTest::newRow("non-ASCII") << QStringLiteral("/home/j\u00fcrgen/velnor-vpn");
}

void PreferencesTest::autostartEntry()
{
    QFETCH(QString, executable);

    QVERIFY(platform::autostart::add(executable));
    QCOMPARE(platform::autostart::entryPath(), fixture->environment.configFolder() + "/autostart/velnor-vpn.desktop");
    const QByteArray entry = readEntry();
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QCOMPARE(execProgram(entry), executable);

    QVERIFY(platform::autostart::remove());
    QVERIFY(!QFile::exists(platform::autostart::entryPath()));
    // Removing a missing entry does nothing.
    QVERIFY(platform::autostart::remove());
}

void PreferencesTest::autostartProgram_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("binDir");
    QTest::addColumn<QString>("program");
    QTest::newRow("installed") << "/usr/bin/velnor-vpn"
                               << "/usr/bin"
                               << "velnor-vpn";
    QTest::newRow("installed, other spelling") << "/usr/lib/../bin/velnor-vpn"
                                               << "/usr/bin/"
                                               << "velnor-vpn";
    QTest::newRow("build folder") << "/home/ann/src/build/Qt/velnor-vpn"
                                  << "/usr/bin"
                                  << "/home/ann/src/build/Qt/velnor-vpn";
    QTest::newRow("below the bin folder") << "/usr/bin/old/velnor-vpn"
                                          << "/usr/bin"
                                          << "/usr/bin/old/velnor-vpn";
}

void PreferencesTest::autostartProgram()
{
    QFETCH(QString, executable);
    QFETCH(QString, binDir);
    QFETCH(QString, program);
    QCOMPARE(platform::autostart::program(executable, binDir), program);
}

void PreferencesTest::autostartFailureUnchecks()
{
    // A file where the autostart folder should be: the entry cannot be written.
    QFile blocker(fixture->environment.configFolder() + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    window = fixture->openWindow();
    auto* box = child<QCheckBox>("startWithWindows");
    QTest::mouseClick(box, Qt::LeftButton);

    QVERIFY(!box->isChecked());
    QCOMPARE(QSettings().value(QStringLiteral("startWithWindows")).toString(), QStringLiteral("0"));
    QCOMPARE(fixture->dialogs.boxes().size(), 1);
    QCOMPARE(fixture->dialogs.last().icon, QMessageBox::Warning);
    QVERIFY(fixture->dialogs.last().text.contains(QLatin1String("could not be added")));
}

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
