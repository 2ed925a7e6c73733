#pragma once

#include <QString>

#include <vector>

// Every option OpenVPN 2.6 takes in a client's configuration, and what each
// way of starting OpenVPN does with it. The downloaded profile comes over
// plain HTTP: only what a row carries reaches OpenVPN or NetworkManager.
namespace connection::openvpn {

enum class Verdict {
    Carried, // reaches OpenVPN (or the plug-in) as written
    Dropped, // harmless to leave out, and left out with a log line
    Refused, // refuses the whole profile
};

// The two ways of starting OpenVPN: the client's own child process, and
// NetworkManager's OpenVPN plug-in.
enum class Path { Direct, NetworkManager };

// How a row's arguments bear on its verdict.
enum class Form {
    Plain,
    // Its first argument names a file: only an inline block (or "[inline]"
    // followed by the block) may give it; a file by name is refused.
    File,
    // Bare, it asks for the account's credentials; with a file or a block
    // it would bring its own, which the client replaces (dropped).
    Credentials,
    // A third argument names a password file or asks at a prompt (refused).
    Proxy,
    // Its argument, or an inline block in its place.
    MaybeInline,
    // OpenVPN 2.6 does not know the name ("Unrecognized option"): it may be
    // dropped where "ignore-unknown-option" or "setenv opt" covers it.
    Unknown,
};

struct OptionRule {
    const char* name;
    Verdict direct;
    Verdict networkManager;
    const char* why;
    // Why NetworkManager's verdict differs from the direct one; null when
    // the same reason holds.
    const char* whyNetworkManager;
    Form form;

    Verdict verdict(Path path) const { return path == Path::Direct ? direct : networkManager; }
    QString reason(Path path) const;
};

// The rows, in the order of the table.
const std::vector<OptionRule>& optionRules();
// The row of `name` (as OpenVPN spells it, without "--"); null when OpenVPN
// 2.6 has no such option.
const OptionRule* optionRule(const QString& name);

} // namespace connection::openvpn
