#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "connection/errortexts.h"
#include "connection/launcher.h"
#include "connection/openvpn.h"
#include "connection/pppworker.h"
#include "connection/teardown.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QThread>

namespace {
using connection::State;

const QString dottedAddress = QStringLiteral("     .     .     .     ");
} // namespace

void VelnorMain::on_connect_clicked()
{
    ui->loading->show();
    elapsedSeconds = 0;

    if (!messagebox::accountMayConnect(ui->user_enabled->text()))
        return;

    connection::openvpn::launcher(openvpnProcess)->requestStop();
    // Begins this attempt: replies of an earlier one are dropped.
    removeOpenVPNfiles();
    PPPDisconnect();

    ui->connect->setEnabled(false);
    ui->connect->hide();
    ui->authstatus->setText(tr("Connecting..."));
    ui->ipCurrent->setText(tr("updating..."));
    pages::setAttemptState(ui, State::None);

    ui->servers->setEnabled(false);
    ui->protocols->setEnabled(false);
    ui->type->setEnabled(false);
    ui->logout->setEnabled(false);
    ui->connect->setEnabled(false);
    ui->connect->setText(tr("Connecting..."));

    pages::show(ui, pages::Page::Connecting);

    const QString protocol = ui->server_protocol->text();
    ui->connecting_title->setText(tr("Connecting to ") + ui->server_name->text());
    ui->connecting_message->setText(
        protocol + tr(" connection to ") + ui->server_name->text() + tr("\nis in progress"));

    ui->cancel->show();
    ui->cancel->setEnabled(true);

    if (protocol == QLatin1String("PPTP") || protocol == QLatin1String("L2TP")) {
        PPPWorker::DialInputs inputs;
        inputs.protocol = protocol;
        inputs.preSharedKey = ui->server_pskey->text();
        inputs.serverAddress = ui->server_ip->text();
        inputs.userName = ui->username->text();
        inputs.password = ui->password->text();
        inputs.serverName = ui->server_name->text();
        pppWorker->setDialInputs(inputs);

        // A thread still finishing its previous run would ignore start();
        // it starts again once it has finished (see the constructor), so
        // the window never waits for it.
        if (pppThread->isRunning()) {
            pppWorker->setRunPending(true);
            pppThread->quit();
        } else {
            pppThread->start();
        }
    }
    if (protocol == QLatin1String("OpenVPN")) {
        pages::setAttemptState(ui, State::InProgress);
        OpenVPNConnectStage0();
    }

    QCoreApplication::processEvents();
}

void VelnorMain::on_disconnect_clicked()
{
    ui->cancel->hide();
    ui->disconnect->setEnabled(false);
    ui->authstatus->setText(tr("Disconnecting..."));
    ui->ipCurrent->setText(QString());
    QCoreApplication::processEvents();

    pppWorker->setRunPending(false);
    pppThread->quit();
    PPPDisconnect();

    connection::openvpn::launcher(openvpnProcess)->requestStop();
    removeOpenVPNfiles();

    pppWorker->setErrorCode(QString());
    pppWorker->setState(State::None);

    pages::setAttemptState(ui, State::Disconnected);
    ui->authstatus->setText(tr("Ready!"));

    ui->disconnect->hide();
    ui->connect->setText(tr("Connect"));
    ui->connect->setEnabled(false);
    ui->quick_stage->setText(QStringLiteral("0"));
    ui->quickConnect->setEnabled(false);
    ui->connect->show();

    ui->servers->setEnabled(true);
    ui->protocols->setEnabled(true);
    ui->type->setEnabled(true);
    ui->loading->hide();
    ui->logout->show();
    ui->logout->setEnabled(true);

    pages::show(ui, pages::Page::Account);
    ui->WingetConnected->setCurrentIndex(0);
    QCoreApplication::processEvents();

    GetUserData();
    PopulateServers();

    elapsedSeconds = 0;
    ui->loading->hide();

    // Through a tunnel still going down, the echo page would answer with the
    // server's address. A connect made meanwhile asks for itself.
    const quint64 attempt = connection::openvpn::currentAttempt();
    connection::whenTunnelsGone(pppWorker, connection::openvpn::launcher(openvpnProcess), this, [this, attempt] {
        if (attempt != connection::openvpn::currentAttempt())
            return;
        // A kept-alive connection made through the tunnel died with it: a
        // request on it would wait for the transfer time-out.
        ipCheckManager->clearConnectionCache();
        GetCurrentIP();
    });

    ui->ip->setText(dottedAddress);
    ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/not_connected_icon.png); "));
    ui->connection_status->setText(tr("not connected"));
    QCoreApplication::processEvents();
}

void VelnorMain::on_cancel_clicked()
{
    on_disconnect_clicked();
    pages::setAttemptState(ui, State::Disconnected);
    // A dial still blocked in the remote-access layer that fails afterwards
    // is then not reported as an error.
    pppWorker->setState(State::Stop);
}

void VelnorMain::PPPDisconnect() { pppWorker->hangUp(); }

void VelnorMain::PPPStarted() { }

QString VelnorMain::getPPPErrorText(int error_code) { return connection::pppErrorText(error_code); }
