#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// A downloaded OpenVPN profile read the way OpenVPN's own option parser reads
// it, and checked against the directives a client profile needs. The profile
// comes over plain HTTP, so anything not on the list refuses it whole.
namespace connection::openvpn {

struct Directive {
    QString name; // without a leading "--", as OpenVPN applies it
    QStringList arguments;
    QByteArray inlineBody; // the text between <name> and </name> for an inline block, else empty
    bool isInline = false;
    // The number of the <connection> block the line is in, counted from 1; 0 outside blocks.
    int connection = 0;
};

struct ProfileCheck {
    bool accepted = false;
    // Why it was refused, for the log: the directive's name, or what could not be read.
    QString refused;
    // Refused for what could not be read the way OpenVPN reads it, not for a directive.
    bool unreadable = false;
    // Every directive in order, inline blocks and the lines of <connection> blocks included.
    QVector<Directive> directives;
};

ProfileCheck checkProfile(const QByteArray& profile);

// True when `bytes` are one or more PEM "CERTIFICATE" blocks with nothing but
// white space around them: the downloaded certificate is read by OpenVPN,
// and the file is at a known path, so it must be nothing else.
bool isPemCertificate(const QByteArray& bytes);

} // namespace connection::openvpn
