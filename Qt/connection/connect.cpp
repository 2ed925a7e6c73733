#include "mainwindow/velnormain.h"

#include "connection/pppworker.h"

void VelnorMain::on_connect_clicked()
{
}

void VelnorMain::on_disconnect_clicked()
{
}

void VelnorMain::on_cancel_clicked()
{
}

void VelnorMain::PPPDisconnect()
{
    // Nothing ever unblocks them: the worker's signals are no longer wanted
    // once a dial has been abandoned.
    pppWorker->blockSignals(true);
    RasHangUpW(pppWorker->connectionHandle());
    pppWorker->setStatus(QStringLiteral("stop"));
}

void VelnorMain::PPPStarted()
{
}
