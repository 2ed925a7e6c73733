#pragma once

#include <QString>
#include <QStringList>

// The program's command line. It is read first of all, before the
// single-instance check and before any application object, so asking for
// help or the version needs no display and never reaches a running copy.
namespace app::commandline {

struct Answer {
    // False: the program ends at once, with exitCode, after printing.
    bool run = true;
    int exitCode = 0;
    QString output; // for standard output
    QString error; // for standard error
    // --check-profile: check these OpenVPN profiles instead of running.
    bool checkProfiles = false;
    QStringList profiles;
};

constexpr int misuseExitCode = 2;

// Reads argv (the program's path first). Qt's own options (-platform,
// -style, -session, ...) pass through to the application object.
Answer read(int& argc, char** argv);

} // namespace app::commandline
