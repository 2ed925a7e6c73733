#include "app/commandline.h"

#include "app/identity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("VelnorMain", text); }

// The options of the application object itself (Qt Gui, Qt Widgets, the X11
// platform), accepted so they reach it, and kept out of the help. A session
// manager restarts the program with -session.
const char* const qtOptionsWithValue[]
    = { "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
          "session", "display", "geometry", "name", "style", "stylesheet", "qmljsdebugger" };
const char* const qtSwitches[] = { "reverse", "widgetcount", "nograb", "dograb" };

enum class Option { Help, Version, CheckProfile };

// The program's own options, in the order the help lists them.
struct OwnOption {
    Option option;
    QStringList names;
    const char* description;
};
const OwnOption ownOptions[] = {
    { Option::Help, { "h", "help", "?" }, QT_TRANSLATE_NOOP("VelnorMain", "Displays this help and exits.") },
    { Option::Version, { "v", "version" }, QT_TRANSLATE_NOOP("VelnorMain", "Displays the version and exits.") },
    { Option::CheckProfile, { "check-profile" },
        QT_TRANSLATE_NOOP("VelnorMain",
            "Checks the OpenVPN profiles named after it as the client would take them, started directly and "
            "through NetworkManager, prints what is accepted, dropped and refused, and exits.") },
};

app::commandline::Answer refuse(const QString& program, const QString& reason)
{
    app::commandline::Answer answer;
    answer.run = false;
    answer.exitCode = app::commandline::misuseExitCode;
    answer.error
        = QStringLiteral("%1: %2\n").arg(program, reason) + tr("Try '%1 --help' for more information.\n").arg(program);
    return answer;
}

} // namespace

app::commandline::Answer app::commandline::read(int& argc, char** argv)
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    const QString program = QFileInfo(arguments.value(0)).fileName();

    QCommandLineParser parser;
    // Qt's own options are single-dash words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(tr("The desktop client of the Velnor VPN service."));
    parser.addPositionalArgument(QStringLiteral("profiles"), tr("With --check-profile: the OpenVPN profiles to check."),
        QStringLiteral("[--check-profile FILE...]"));
    for (const OwnOption& own : ownOptions)
        parser.addOption(QCommandLineOption(own.names, tr(own.description)));
    for (const char* name : qtOptionsWithValue) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : qtSwitches) {
        QCommandLineOption option { QLatin1String(name) };
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments))
        return refuse(program, parser.errorText());
    if (!parser.positionalArguments().isEmpty() && !parser.isSet(QStringLiteral("check-profile")))
        return refuse(program, tr("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));

    Answer answer;
    for (const OwnOption& own : ownOptions) {
        if (!parser.isSet(own.names.constFirst()))
            continue;
        answer.run = false;
        switch (own.option) {
        case Option::Help:
            if (QCoreApplication::instance()) {
                answer.output = parser.helpText();
            } else {
                // The help text names the program from the application
                // object's arguments; a core one needs no display.
                const QCoreApplication core(argc, argv);
                answer.output = parser.helpText();
            }
            break;
        case Option::Version:
            answer.output = QStringLiteral("velnor-vpn ") + app::version() + QLatin1Char('\n');
            break;
        case Option::CheckProfile:
            if (parser.positionalArguments().isEmpty())
                return refuse(program, tr("--check-profile needs at least one profile file."));
            answer.checkProfiles = true;
            answer.profiles = parser.positionalArguments();
            break;
        }
        return answer;
    }
    return answer;
}
