#include "platform/ras.h"

#ifndef Q_OS_WIN
DWORD RasHangUpW(HRASCONN connection)
{
    // Without a connection there is nothing to end.
    return connection ? 0 : ERROR_INVALID_HANDLE;
}
#endif
