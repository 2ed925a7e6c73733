#include "connection/pppworker.h"

PPPWorker::PPPWorker(QObject* parent)
    : QObject(parent)
{
}

void PPPWorker::setDialInputs(const DialInputs& inputs)
{
    std::lock_guard<std::mutex> guard(lock);
    protocol = inputs.protocol;
    preSharedKey = inputs.preSharedKey;
    serverAddress = inputs.serverAddress;
    userName = inputs.userName;
    password = inputs.password;
    serverName = inputs.serverName;
}

QString PPPWorker::serverNameText() const
{
    std::lock_guard<std::mutex> guard(lock);
    return serverName;
}

QString PPPWorker::statusText() const
{
    std::lock_guard<std::mutex> guard(lock);
    return status;
}

void PPPWorker::setStatus(const QString& value)
{
    std::lock_guard<std::mutex> guard(lock);
    status = value;
}

QString PPPWorker::errorCodeText() const
{
    std::lock_guard<std::mutex> guard(lock);
    return errorCode;
}

void PPPWorker::setErrorCode(const QString& value)
{
    std::lock_guard<std::mutex> guard(lock);
    errorCode = value;
}

void PPPWorker::readResult(QString* statusOut, QString* errorCodeOut) const
{
    std::lock_guard<std::mutex> guard(lock);
    *statusOut = status;
    *errorCodeOut = errorCode;
}

HRASCONN PPPWorker::connectionHandle() const
{
    std::lock_guard<std::mutex> guard(lock);
    return connHandle;
}

void PPPWorker::VPNStart()
{
    // The dial itself arrives with the remote-access layer.
}
