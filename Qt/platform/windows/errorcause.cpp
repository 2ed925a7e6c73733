#include "platform/errorcause.h"

QString platform::remoteAccessCause(unsigned long) { return QString(); }
