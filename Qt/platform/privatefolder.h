#pragma once

#include <QString>

namespace platform {

// Makes an existing folder readable and writable by the current user only
// (on Windows also by SYSTEM and the Administrators group), whatever the
// folder above it allows. True on success.
bool makePrivate(const QString& folder);

} // namespace platform
