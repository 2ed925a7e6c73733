#include "mainwindow/velnormain.h"
#include "ui_velnormain.h"

#include "platform/tray.h"

#include "connection/monitoring.h"
#include "connection/pppworker.h"
#include "mainwindow/messagebox.h"

#include <QDateTime>
#include <QSettings>

namespace {
constexpr int attemptLimitSeconds = 30;
} // namespace

void VelnorMain::UpdateTimer()
{
    elapsedSeconds += 3;
    const int quickStage = connection::fieldNumber(ui->quick_stage->text());
    // Buttons disabled when an attempt starts come back on its second tick.
    if (elapsedSeconds > 3) {
        ui->connect->setEnabled(true);
        if (quickStage < 1)
            ui->quickConnect->setEnabled(true);
    }
    ui->seconds->setText(QString::number(elapsedSeconds));

    {
        QSettings settings;
        settings.setValue(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch()));
        if (settings.value(QStringLiteral("vlmaximize")).toString() == QLatin1String("1")) {
            settings.setValue(QStringLiteral("vlmaximize"), QStringLiteral("0"));
            application_maximize();
        }
    }

    if (ui->paymentInProgress->text() == QLatin1String("1") && elapsedSeconds % 15 == 0)
        GetUserData();

    QString dialerStatus;
    QString dialerError;
    pppWorker->readResult(&dialerStatus, &dialerError);
    if (!dialerStatus.isEmpty() && dialerStatus != QLatin1String("connected") && dialerStatus != QLatin1String("stop"))
        ui->connectionStatus->setText(dialerStatus);

    // A dial that finished between two ticks was never mirrored as "in
    // progress"; the attempt's empty status stands for it, or the tunnel
    // would never be confirmed.
    const QString attempt = ui->connectionStatus->text();
    if (dialerStatus == QLatin1String("connected") && (attempt == QLatin1String("in progress") || attempt.isEmpty())) {
        pppWorker->setStatus(QString());
        ui->servers->setEnabled(false);
        ui->protocols->setEnabled(false);
        ui->type->setEnabled(false);
        ui->connectionStatus->setText(QStringLiteral("connected"));
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
        platform::showBalloon(trayIcon, tr("Velnor VPN is now connected!"),
            tr("You are now connected to ") + serverName + QStringLiteral("."));
        elapsedSeconds = 0;
        ui->ipCurrent->setText(ui->server_assignedIP->text());
        ui->ip->setText(ui->server_assignedIP->text());
        ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/connected_icon.png); "));
        ui->connection_status->setText(tr("connected"));
        ui->WidgetNewAccount->hide();
        ui->WingetConnected->hide();
        ui->WingetLogin->hide();
        ui->WidgetConnectingVPN->hide();
        ui->WidgetConnectedVPN->show();
        ui->connected_title->setText(tr("Connected to ") + serverName + tr(" Server!"));
        ui->connected_message->setText(
            tr("You are now connected to\n") + serverName + tr(" Location.\n Your connection is now secured."));
        ui->quick_stage->setText(QStringLiteral("0"));
        GetCurrentIP();
        return;
    }

    const QString state = ui->connectionStatus->text();
    if (state == QLatin1String("error")) {
        if (quickStage >= 1) {
            QuickConnectNextStage();
            return;
        }
        const QString title = tr("Velnor | PPP Error Code ") + dialerError;
        const QString text = getPPPErrorText(connection::fieldNumber(dialerError))
            + tr(" \nTry to connect again. \n\nIf this problem persists, choose to connect using another protocol on ")
            + pppWorker->serverNameText() + tr(" server or/and another server.");
        // Reset first: ticks keep coming while the dialog is open and must
        // not find the error again.
        on_disconnect_clicked();
        messagebox::showStandard(QMessageBox::Information, text, title);
        ui->loading->hide();
        return;
    }

    if (state == QLatin1String("in progress")) {
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

    if (state == QLatin1String("connected")) {
        if (elapsedSeconds % 15 == 0)
            GetCurrentIP();
        ui->authstatus->setText(tr("Session time: ") + QString::number(elapsedSeconds / 60) + tr(" minutes"));
        if (elapsedSeconds % 300 == 0)
            GetUserData();
        if (ui->user_enabled->text() == QLatin1String("0")) {
            application_maximize();
            on_disconnect_clicked();
            platform::showBalloon(trayIcon, tr("Velnor VPN - Account Expired"),
                tr("Your account has expired! In order to continue using our services, you need to update your "
                   "subscription."));
        }
    }
}
