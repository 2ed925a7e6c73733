#pragma once

#include <QString>

// Who the program is to Qt: the names the settings store is filed under.
namespace app {

// The service's web domain, fixed at build time: it is also the
// organisation domain, so it must not vary between runs.
QString webDomain();

// The program's version, fixed at build time.
QString version();

// The desktop entry's name without ".desktop": the reverse-DNS id built from
// the web domain, which also names the icon.
QString desktopFileName();

// The folder an install puts the program in.
QString installedBinDir();

// Organisation "Velnor", the web domain, application "Velnor VPN". Set before
// any settings object is opened.
void setIdentity();

} // namespace app
