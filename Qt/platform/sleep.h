#pragma once

// The Windows pause with its Windows shape. Tests swap in an instant pause so
// staged work does not wait in real time.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdint>

using DWORD = std::uint32_t;

void Sleep(DWORD milliseconds);
#endif

namespace platform {
using SleepFunction = void (*)(unsigned long milliseconds);
// Replaces the pause (nullptr restores the real one). Not for Windows builds.
void setSleepFunction(SleepFunction function);
}
