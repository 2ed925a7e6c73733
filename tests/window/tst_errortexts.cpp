#include "connection/errortexts.h"
#include "mainwindow/velnormain.h"
#include "testenvironment.h"

#include <QFile>
#include <QTextStream>
#include <QTranslator>
#include <QtTest>

#include <climits>
#include <memory>
#include <vector>

namespace {

const QString defaultText = QStringLiteral("PPP protocol returned an error. ");

struct Expected {
    int code;
    QString text;
};

// One "code<TAB>message" per line; \n, \t and \\ escaped in the message.
QString unescape(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == QLatin1Char('\\') && i + 1 < field.size()) {
            const QChar next = field.at(++i);
            out += next == QLatin1Char('n') ? QLatin1Char('\n') : next == QLatin1Char('t') ? QLatin1Char('\t') : next;
        } else {
            out += field.at(i);
        }
    }
    return out;
}

// Replaces one source text, as a loaded translation would.
class OneTextTranslator : public QTranslator {
public:
    OneTextTranslator(QString source, QString replacement)
        : from(std::move(source))
        , to(std::move(replacement))
    {
    }

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/ = nullptr,
        int /*n*/ = -1) const override
    {
        if (qstrcmp(context, "VelnorMain") == 0 && QString::fromUtf8(sourceText) == from)
            return to;
        return QString();
    }

private:
    QString from;
    QString to;
};

QString viaSlot(VelnorMain& window, int code, bool* invoked)
{
    QString result;
    *invoked = QMetaObject::invokeMethod(
        &window, "getPPPErrorText", Qt::DirectConnection, Q_RETURN_ARG(QString, result), Q_ARG(int, code));
    return result;
}

} // namespace

// The message each remote-access error code turns into.
class ErrorTextsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyKnownCodeHasItsMessage();
    void knownCodeCount();
    void otherCodesGetDefault_data();
    void otherCodesGetDefault();
    void messagesEndWithOneSpace();
    void textsAreTranslatable_data();
    void textsAreTranslatable();

private:
    std::vector<Expected> expected;
    std::unique_ptr<TestEnvironment> env;
};

void ErrorTextsTest::initTestCase()
{
    QFile file(QStringLiteral(VELNOR_PPP_ERRORS_FILE));
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName()));
    QTextStream in(&file);
    in.setCodec("UTF-8");
    int lineNumber = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNumber;
        if (line.isEmpty())
            continue;
        const int tab = line.indexOf(QLatin1Char('\t'));
        bool isNumber = false;
        const int code = line.left(tab).toInt(&isNumber);
        QVERIFY2(tab > 0 && isNumber, qPrintable(QStringLiteral("bad line %1").arg(lineNumber)));
        QVERIFY2(expected.empty() || expected.back().code < code,
            qPrintable(QStringLiteral("line %1: codes must ascend").arg(lineNumber)));
        expected.push_back({ code, unescape(line.mid(tab + 1)) });
    }
    QCOMPARE(expected.size(), std::size_t(177));
}

void ErrorTextsTest::init() { env = std::make_unique<TestEnvironment>(); }

void ErrorTextsTest::cleanup() { env.reset(); }

void ErrorTextsTest::everyKnownCodeHasItsMessage()
{
    VelnorMain window;
    // Collect every mismatch so one run shows all of them.
    QStringList mismatches;
    for (const Expected& row : expected) {
        const QString direct = connection::pppErrorText(row.code);
        if (direct != row.text)
            mismatches << QStringLiteral("%1: got \"%2\"").arg(row.code).arg(direct);
        bool invoked = false;
        const QString slotText = viaSlot(window, row.code, &invoked);
        if (!invoked || slotText != row.text)
            mismatches << QStringLiteral("%1 through the slot: got \"%2\"").arg(row.code).arg(slotText);
    }
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QLatin1Char('\n'))));
}

void ErrorTextsTest::knownCodeCount()
{
    QCOMPARE(connection::knownPPPErrorCount(), std::size_t(177));

    // Counted from the outside too, over and around the whole range.
    std::size_t ownMessages = 0;
    for (int code = -10; code <= 2000; ++code) {
        if (connection::pppErrorText(code) != defaultText)
            ++ownMessages;
    }
    QCOMPARE(ownMessages, std::size_t(177));
}

void ErrorTextsTest::otherCodesGetDefault_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("zero") << 0;
    QTest::newRow("just below the range") << 599;
    QTest::newRow("gap 605") << 605;
    QTest::newRow("gap 607") << 607;
    QTest::newRow("gap 611") << 611;
    QTest::newRow("gap 681-690") << 685;
    QTest::newRow("gap 706") << 706;
    QTest::newRow("gap 781") << 781;
    QTest::newRow("after 827") << 828;
    QTest::newRow("between 827 and 1168") << 1000;
    QTest::newRow("just below 1168") << 1167;
    QTest::newRow("just above 1168") << 1169;
    QTest::newRow("minus one") << -1;
    QTest::newRow("lowest int") << INT_MIN;
    QTest::newRow("highest int") << INT_MAX;
}

void ErrorTextsTest::otherCodesGetDefault()
{
    QFETCH(int, code);
    QCOMPARE(connection::pppErrorText(code), defaultText);

    VelnorMain window;
    bool invoked = false;
    const QString slotText = viaSlot(window, code, &invoked);
    QVERIFY(invoked);
    QCOMPARE(slotText, defaultText);
}

void ErrorTextsTest::messagesEndWithOneSpace()
{
    // The error dialog appends its own advice to the message without trimming.
    for (const Expected& row : expected) {
        const QString text = connection::pppErrorText(row.code);
        if (row.code == 1168) {
            QVERIFY2(!text.endsWith(QLatin1Char(' ')), qPrintable(text));
            continue;
        }
        QVERIFY2(text.endsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1String("  ")),
            qPrintable(QStringLiteral("%1: \"%2\"").arg(row.code).arg(text)));
    }
}

void ErrorTextsTest::textsAreTranslatable_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("first") << 600;
    QTest::newRow("middle") << 691;
    QTest::newRow("last") << 1168;
    QTest::newRow("default") << 605;
}

void ErrorTextsTest::textsAreTranslatable()
{
    QFETCH(int, code);
    const QString source = connection::pppErrorText(code);
    const QString replacement = QStringLiteral("translated %1").arg(code);
    OneTextTranslator translator(source, replacement);
    QVERIFY(QCoreApplication::installTranslator(&translator));
    const QString translated = connection::pppErrorText(code);
    const QString untouched = connection::pppErrorText(code == 601 ? 602 : 601);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(translated, replacement);
    QVERIFY(untouched != replacement);
    QCOMPARE(connection::pppErrorText(code), source);
}

QTEST_MAIN(ErrorTextsTest)
#include "tst_errortexts.moc"
