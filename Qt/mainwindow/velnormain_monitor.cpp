#include "mainwindow/form.h"
#include "mainwindow/velnormain.h"

#include "app/settings.h"
#include "connection/monitoring.h"
#include "connection/pppworker.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "mainwindow/tray.h"
#include "platform/errorcause.h"

#include <QDateTime>

namespace {
using connection::State;
constexpr int attemptLimitSeconds = 30;
} // namespace

void VelnorMain::UpdateTimer()
{
    elapsedSeconds += 3;
    const int quickStage = connection::fieldNumber(ui->quick_stage->text());
    // Buttons disabled when an attempt starts come back on its second tick.
    // A tab page not made yet has them as the form makes them: enabled.
    if (elapsedSeconds > 3 && ui->signedInPage.isMade()) {
        ui->connect->setEnabled(true);
        if (quickStage < 1)
            ui->quickConnect->setEnabled(true);
    }
    ui->seconds->setText(QString::number(elapsedSeconds));

    if (app::settings::beatAndTakeRaiseRequest(QDateTime::currentMSecsSinceEpoch()))
        application_maximize();

    if (ui->paymentInProgress->text() == QLatin1String("1") && elapsedSeconds % 15 == 0)
        GetUserData();

    const PPPWorker::Result dialer = pppWorker->result();
    const QString& dialerError = dialer.errorCode;
    if (dialer.state != State::None && dialer.state != State::Connected && dialer.state != State::Stop)
        pages::setAttemptState(ui, dialer.state);

    // A dial that finished between two ticks was never mirrored as "in
    // progress"; the attempt's empty status stands for it, or the tunnel
    // would never be confirmed.
    const State attempt = pages::attemptState(ui);
    if (dialer.state == State::Connected && (attempt == State::InProgress || attempt == State::None)) {
        pppWorker->setState(State::None);
        ui->servers->setEnabled(false);
        ui->protocols->setEnabled(false);
        ui->type->setEnabled(false);
        pages::setAttemptState(ui, State::Connected);
        ui->logout->setEnabled(false);
        ui->logout->hide();
        ui->authstatus->setText(tr("connected"));
        ui->disconnect->setEnabled(true);
        ui->disconnect->show();
        ui->connect->hide();
        ui->cancel->hide();
        ui->loading->hide();
        applicationMinimize();
        const QString serverName = ui->server_name->text();
        tray::showBalloon(trayIcon, tr("Velnor VPN is now connected!"),
            tr("You are now connected to ") + serverName + QStringLiteral("."));
        elapsedSeconds = 0;
        ui->ipCurrent->setText(ui->server_assignedIP->text());
        ui->ip->setText(ui->server_assignedIP->text());
        ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/connected_icon.png); "));
        ui->connection_status->setText(tr("connected"));
        pages::show(ui, pages::Page::Connected);
        ui->connected_title->setText(tr("Connected to ") + serverName + tr(" Server!"));
        ui->connected_message->setText(
            tr("You are now connected to\n") + serverName + tr(" Location.\n Your connection is now secured."));
        ui->quick_stage->setText(QStringLiteral("0"));
        GetCurrentIP();
        return;
    }

    const State state = pages::attemptState(ui);
    if (state == State::Error) {
        if (quickStage >= 1) {
            QuickConnectNextStage();
            return;
        }
        const QString title = tr("Velnor | PPP Error Code ") + dialerError;
        const int code = connection::fieldNumber(dialerError);
        QString text = getPPPErrorText(code)
            + tr(" \nTry to connect again. \n\nIf this problem persists, choose to connect using another protocol on ")
            + pppWorker->serverNameText() + tr(" server or/and another server.");
        const QString cause = platform::remoteAccessCause(code);
        if (!cause.isEmpty())
            text += QStringLiteral("\n\n") + cause;
        // Reset first: ticks keep coming while the dialog is open and must
        // not find the error again.
        on_disconnect_clicked();
        messagebox::showStandard(QMessageBox::Information, text, title);
        ui->loading->hide();
        return;
    }

    if (state == State::InProgress) {
        GetCurrentIP();
        const QString prefix = connection::stagePrefix(ui->quick_stage->text(), ui->quick_servers->text());
        const QString progress = connection::progressText(elapsedSeconds);
        if (!progress.isEmpty())
            ui->authstatus->setText(prefix + progress);
        if (elapsedSeconds > attemptLimitSeconds) {
            if (quickStage >= 1) {
                QuickConnectNextStage();
            } else {
                on_disconnect_clicked();
                ui->authstatus->setText(prefix + tr("cannot establish connection"));
                messagebox::showStandard(QMessageBox::Information,
                    tr("Cannot connect to this server. You can try again to connect using another available "
                       "configuration for this server or can use another one."),
                    tr("Cannot connect"));
            }
        }
        return;
    }

    if (state == State::Connected) {
        if (elapsedSeconds % 15 == 0)
            GetCurrentIP();
        ui->authstatus->setText(tr("Session time: ") + QString::number(elapsedSeconds / 60) + tr(" minutes"));
        if (elapsedSeconds % 300 == 0)
            GetUserData();
        if (ui->user_enabled->text() == QLatin1String("0")) {
            application_maximize();
            on_disconnect_clicked();
            tray::showBalloon(trayIcon, tr("Velnor VPN - Account Expired"),
                tr("Your account has expired! In order to continue using our services, you need to update your "
                   "subscription."));
        }
    }
}
