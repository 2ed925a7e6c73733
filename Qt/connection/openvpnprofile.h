#pragma once

#include "connection/openvpnoptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A downloaded OpenVPN profile read the way OpenVPN's own option parser reads
// it, each line classed by the option table for one way of starting OpenVPN.
// The profile comes over plain HTTP: only what the table carries goes on, and
// OpenVPN is handed the profile written out again from that, never the
// downloaded bytes.
namespace connection::openvpn {

struct Directive {
    QString name; // without a leading "--", as OpenVPN applies it
    QStringList arguments;
    QByteArray inlineBody; // the text between <name> and </name> for an inline block, else empty
    bool isInline = false;
    // The number of the <connection> block the line is in, counted from 1; 0 outside blocks.
    int connection = 0;
    // Where it stands in the downloaded file, counted from 1.
    int line = 0;
    // Given as "setenv opt NAME ...", which OpenVPN skips when it does not know NAME.
    bool forwardCompatible = false;
};

// What one line (or inline block) of the profile became.
struct Decision {
    int line = 0;
    QString name;
    Verdict verdict = Verdict::Refused;
    QString why;
};

struct ProfileCheck {
    bool accepted = false;
    // Why it was refused: "line N: NAME: reason", or what could not be read.
    QString refused;
    // Refused for what could not be read the way OpenVPN reads it, not for a directive.
    bool unreadable = false;
    // What goes on, in order, inline blocks and the lines of <connection> blocks included.
    QVector<Directive> directives;
    // Every line that names an option, in order, with its verdict (empty when unreadable).
    QVector<Decision> decisions;

    QVector<Decision> dropped() const;
};

ProfileCheck checkProfile(const QByteArray& profile, Path path = Path::Direct);

// The directives of a check written out as OpenVPN reads them, each word
// quoted where it must be. Empty when a line would grow past what OpenVPN
// reads as one line.
QByteArray writtenProfile(const QVector<Directive>& directives);

// "line N: NAME: reason", the form every refusal and drop is reported in.
QString describe(const Decision& decision);

// True when `bytes` are one or more PEM "CERTIFICATE" blocks with nothing but
// white space around them: the downloaded certificate is read by OpenVPN,
// and the file is at a known path, so it must be nothing else.
bool isPemCertificate(const QByteArray& bytes);

} // namespace connection::openvpn
