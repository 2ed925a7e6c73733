#include "platform/installer.h"

#include <QProcess>

namespace {
platform::installer::Starter starter = nullptr;
}

void platform::installer::setStarter(Starter replacement) { starter = replacement; }

bool platform::installer::startDetached(const QString& program, const QStringList& arguments)
{
    return starter ? starter(program, arguments) : QProcess::startDetached(program, arguments);
}
