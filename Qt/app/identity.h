#pragma once

#include <QString>

// Who the program is to Qt: the names the settings store is filed under.
namespace app {

// The service's web domain, fixed at build time: it is also the
// organisation domain, so it must not vary between runs.
QString webDomain();

// Organisation "Velnor", the web domain, application "Velnor VPN". Set before
// any settings object is opened.
void setIdentity();

} // namespace app
