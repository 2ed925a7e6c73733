#pragma once

// Remote-access calls with their Windows shape. On Windows these are the
// system's own; elsewhere they are ours, over a replaceable backend.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#include <ras.h>
#include <raserror.h>
#else
#include <cstdint>

using DWORD = std::uint32_t;

struct RasConnection;
using HRASCONN = RasConnection*;

constexpr DWORD ERROR_INVALID_HANDLE = 6;

DWORD RasHangUpW(HRASCONN connection);
#endif
