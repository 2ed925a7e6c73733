#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "connection/launcher.h"
#include "connection/monitoring.h"
#include "connection/openvpn.h"
#include "connection/pppworker.h"
#include "connection/quickconnect.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "platform/sleep.h"

#include <QProcess>
#include <QThread>
#include <QTimer>

namespace {
using connection::State;
namespace quickconnect = connection::quickconnect;
using connection::openvpn::currentAttempt;

constexpr DWORD stagePauseMs = 5000;

// Ends what an earlier stage left running: its OpenVPN process, and its
// dial, running or waiting to run (the hang-up marks the dialer "stop").
void abandonDials(QProcess* openvpn, PPPWorker* worker, QThread* dialer)
{
    connection::openvpn::launcher(openvpn)->requestStop();
    worker->setRunPending(false);
    dialer->quit();
    worker->hangUp();
}
} // namespace

void VelnorMain::on_quickConnect_clicked()
{
    elapsedSeconds = 0;
    ui->quickConnect->setEnabled(false);
    ui->connect->setEnabled(false);
    QuickConnectNextStage();
}

void VelnorMain::QuickConnectNextStage()
{
    const QString list = ui->quick_servers->text();
    const int stage = connection::fieldNumber(ui->quick_stage->text());
    if (stage < quickconnect::entryCount(list)) {
        const quickconnect::Entry entry = quickconnect::entry(list, stage);
        ui->server_name->setText(entry.name);
        ui->server_ip->setText(entry.address);
        ui->server_assignedIP->setText(entry.address);
        ui->server_protocol->setText(entry.protocol);
        if (entry.protocol == QLatin1String("OpenVPN")) {
            ui->server_certificate->setText(entry.key);
            ui->server_config->setText(entry.config);
        } else if (entry.protocol == QLatin1String("L2TP")) {
            ui->server_pskey->setText(entry.key);
        }
        // A cancel or disconnect delivered here ends the run: dial nothing.
        const quint64 attempt = currentAttempt();
        QCoreApplication::processEvents();
        if (attempt != currentAttempt())
            return;
        ui->quick_stage->setText(QString::number(stage + 1));
        quickConnectDial();
        return;
    }

    abandonDials(openvpnProcess, pppWorker, pppThread);
    removeOpenVPNfiles();
    elapsedSeconds = 0;
    ui->quick_stage->setText(QStringLiteral("0"));
    messagebox::showStandard(QMessageBox::Critical,
        tr("We tested all available protocols (PPTP, L2TP and OpenVPN) on multiple servers and seems is not possible "
           "to connect to any VPN Server. Please check your internet connection and set your computer "
           "firewall/security to allow this application to access internet on all ports and try to connect again."),
        tr("Connection Error"));
}

void VelnorMain::quickConnectDial()
{
    ui->loading->show();
    if (!messagebox::accountMayConnect(ui->user_enabled->text()))
        return;

    abandonDials(openvpnProcess, pppWorker, pppThread);
    // Begins this stage's attempt; a disconnect or cancel during the pauses
    // below begins another one, and then this stage dials nothing.
    removeOpenVPNfiles();
    const quint64 attempt = currentAttempt();
    const auto stillWanted = [attempt] { return attempt == currentAttempt(); };

    const QString list = ui->quick_servers->text();
    const QString entries = QString::number(quickconnect::entryCount(list));
    const QString stageText = ui->quick_stage->text();
    const int stage = connection::fieldNumber(stageText);

    ui->ipCurrent->setText(tr("updating..."));
    ui->logout->setEnabled(false);
    ui->connect->setText(tr("Connecting..."));
    QCoreApplication::processEvents();
    if (!stillWanted())
        return;

    pages::setAttemptState(ui, State::Disconnected);
    elapsedSeconds = 0;
    pages::show(ui, pages::Page::Connecting);

    const QString serverName = quickconnect::upToNul(ui->server_name->text());
    const QString protocol = quickconnect::upToNul(ui->server_protocol->text());
    const bool dials = quickconnect::dialable(protocol);
    ui->connecting_title->setText(stageText + QLatin1Char('/') + entries + tr(" - Connecting to ") + serverName);
    ui->connecting_message->setText(protocol + tr(" connection to ") + serverName + tr("\nis in progress"));
    ui->cancel->show();
    ui->cancel->setEnabled(true);
    if (stage > 1)
        ui->authstatus->setText(tr("Initiating another method. Please wait..."));
    ui->loading->hide();
    QCoreApplication::processEvents();
    if (!stillWanted())
        return;

    // The pause spaces one dial from the last; a stage that dials nothing
    // needs none, so a list of such entries never holds the window.
    if (stage > 1 && dials) {
        ui->connecting_image->hide();
        QCoreApplication::processEvents();
        if (!stillWanted())
            return;
        Sleep(stagePauseMs);
        ui->connecting_image->show();
        QCoreApplication::processEvents();
        if (!stillWanted())
            return;
    }

    ui->loading->show();
    QCoreApplication::processEvents();
    if (!stillWanted())
        return;

    ui->authstatus->setText(tr("Stage ") + stageText + QLatin1Char('/') + entries + tr(" in progress..."));
    if (protocol == QLatin1String("PPTP") || protocol == QLatin1String("L2TP")) {
        PPPWorker::DialInputs inputs;
        inputs.protocol = protocol;
        inputs.preSharedKey = quickconnect::upToNul(ui->server_pskey->text());
        inputs.serverAddress = quickconnect::upToNul(ui->server_ip->text());
        inputs.userName = quickconnect::upToNul(ui->username->text());
        inputs.password = quickconnect::upToNul(ui->password->text());
        inputs.serverName = serverName;
        pppWorker->setDialInputs(inputs);
        // Empty, as a manual connect leaves it: a dial that ends between two
        // ticks is then still confirmed by the monitor.
        pages::setAttemptState(ui, State::None);
        // As in a manual connect: a thread still finishing its previous run
        // starts again once it has finished.
        if (pppThread->isRunning()) {
            pppWorker->setRunPending(true);
            pppThread->quit();
        } else {
            pppThread->start(QThread::InheritPriority);
        }
    } else if (protocol == QLatin1String("OpenVPN")) {
        pages::setAttemptState(ui, State::InProgress);
        OpenVPNConnectStage0();
    }
    QCoreApplication::processEvents();

    // Nothing to dial: the stage has failed at once. The next stage is posted
    // after the last pending-event call, so it runs once this one has returned:
    // a long run of such entries neither nests nor holds the window.
    if (!dials && stage >= 1) {
        QTimer::singleShot(0, this, [this, attempt] {
            if (attempt == currentAttempt() && connection::fieldNumber(ui->quick_stage->text()) >= 1)
                QuickConnectNextStage();
        });
    }
}
