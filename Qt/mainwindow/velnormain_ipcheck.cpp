#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "connection/monitoring.h"
#include "connection/openvpn.h"
#include "mainwindow/pages.h"
#include "mainwindow/tray.h"
#include "service/endpoints.h"
#include "service/request.h"

#include <QComboBox>
#include <QNetworkAccessManager>

namespace {
using connection::State;

constexpr int dropGraceSeconds = 30;

// What a reconnect must dial again: the selection as the hidden fields and
// the lists hold it when the drop is seen.
struct Selection {
    QStringList fields;
    int server = -1;
    int protocol = -1;
    int type = -1;
};
} // namespace

void VelnorMain::GetCurrentIP()
{
    const QUrl url(service::endpoints::ipEchoUrl(), QUrl::TolerantMode);
    QNetworkReply* reply = service::get(ipCheckManager, service::makeRequest(url, service::Cache::Bypass));
    service::tagWithLogin(reply);
    connection::openvpn::tagWithAttempt(reply);
}

void VelnorMain::SetCurrentIP(QNetworkReply* reply)
{
    reply->deleteLater();
    // Asked for before a logout, connect or disconnect: it may tell of a
    // tunnel that is gone, or confirm one it never saw.
    if (!service::belongsToCurrentLogin(reply) || !connection::openvpn::belongsToCurrentAttempt(reply)
        || reply->error() != QNetworkReply::NoError)
        return;

    const QString address = connection::addressFromEchoPage(service::bodyText(reply->readAll()));
    ui->ipCurrent->setText(address);
    ui->ip->setText(address);

    const QString assigned = ui->server_assignedIP->text();
    const State state = pages::attemptState(ui);
    const QString serverName = ui->server_name->text();

    if (ui->ipCurrent->text() == assigned && state == State::InProgress) {
        pages::show(ui, pages::Page::Connected);
        ui->connected_title->setText(tr("Connected to ") + serverName + tr(" Server!"));
        ui->connected_message->setText(
            tr("You are now connected to ") + serverName + tr(" Server.\n Your connection is now secured."));
        ui->quick_stage->setText(QStringLiteral("0"));
        pages::setAttemptState(ui, State::Connected);
        ui->servers->setEnabled(false);
        ui->protocols->setEnabled(false);
        ui->type->setEnabled(false);
        ui->logout->setEnabled(false);
        ui->logout->hide();
        ui->authstatus->setText(tr("Connected! IP: ") + assigned);
        ui->disconnect->setEnabled(true);
        ui->disconnect->show();
        ui->connect->hide();
        ui->cancel->hide();
        ui->loading->hide();
        setWindowState(Qt::WindowMinimized);
        tray::showBalloon(trayIcon, tr("Velnor VPN is now connected!"),
            tr("You are now connected to ") + serverName + QStringLiteral("."));
        ui->ip->setText(assigned);
        ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/connected_icon.png); "));
        ui->connection_status->setText(tr("connected"));
        elapsedSeconds = 0;
        return;
    }

    if (state == State::Connected && ui->ipCurrent->text() != assigned && elapsedSeconds > dropGraceSeconds) {
        tray::showBalloon(trayIcon, tr("Velnor VPN connection dropped"),
            tr("Trying to reconnect on ") + serverName + QStringLiteral("."));

        // The reset below returns the lists to the first server; reconnect to
        // the server that dropped, as announced.
        QLineEdit* const fields[] = { ui->server_name, ui->server_ip, ui->server_protocol, ui->server_pskey,
            ui->server_assignedIP, ui->server_config, ui->server_certificate };
        Selection dropped;
        for (QLineEdit* field : fields)
            dropped.fields.append(field->text());
        dropped.server = ui->servers->currentIndex();
        dropped.protocol = ui->protocols->currentIndex();
        dropped.type = ui->type->currentIndex();

        on_disconnect_clicked();

        // Each list refills the next one as it changes, so restore in order;
        // the hidden fields last, since a quick connect fills them directly.
        ui->servers->setCurrentIndex(dropped.server);
        ui->protocols->setCurrentIndex(dropped.protocol);
        ui->type->setCurrentIndex(dropped.type);
        for (int index = 0; index < dropped.fields.size(); ++index)
            fields[index]->setText(dropped.fields.at(index));

        on_connect_clicked();
    }
}
