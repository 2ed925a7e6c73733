#include "platform/sleep.h"

#include <QThread>

namespace {
platform::SleepFunction sleepFunction = nullptr;
}

void platform::setSleepFunction(SleepFunction function) { sleepFunction = function; }

#ifndef Q_OS_WIN
void Sleep(DWORD milliseconds)
{
    if (sleepFunction)
        sleepFunction(milliseconds);
    else
        QThread::msleep(milliseconds);
}
#endif
