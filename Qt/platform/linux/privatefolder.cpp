#include "platform/privatefolder.h"

#include <QFile>

bool platform::makePrivate(const QString& folder)
{
    return QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
