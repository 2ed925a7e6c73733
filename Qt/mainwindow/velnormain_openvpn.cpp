#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "connection/launcher.h"
#include "connection/monitoring.h"
#include "connection/openvpn.h"
#include "connection/openvpnprofile.h"
#include "connection/quickconnect.h"
#include "mainwindow/messagebox.h"
#include "service/endpoints.h"
#include "service/request.h"

#include <QDir>
#include <QNetworkReply>
#include <QProcess>
#include <QtDebug>

namespace openvpn = connection::openvpn;

namespace {
// A reply of an attempt that was torn down meanwhile must neither write the
// input files nor start the executable.
using openvpn::belongsToCurrentAttempt;
using openvpn::tagWithAttempt;

// The working folder the client made its own at start-up.
QString baseFolder() { return QDir::currentPath(); }
} // namespace

void VelnorMain::OpenVPNConnectStage0()
{
    ui->cancel->setEnabled(false);
    tagWithAttempt(service::get(
        certificateManager, service::makeRequest(QUrl(ui->server_certificate->text()), service::Cache::Default)));
    const QString stage = connection::quickconnect::stageText(ui->quick_stage->text(), ui->quick_servers->text());
    const QString text = tr("downloading OpenVPN certificate...");
    ui->authstatus->setText(stage.isEmpty() ? text : stage + QLatin1Char(' ') + text);
    QCoreApplication::processEvents();
}

void VelnorMain::OpenVPNConnectStage1(QNetworkReply* reply)
{
    reply->deleteLater();
    if (!belongsToCurrentAttempt(reply))
        return;
    const QString base = baseFolder();
    const QByteArray certificate = service::failed(reply) ? QByteArray() : reply->readAll();
    const bool pem = openvpn::isPemCertificate(certificate);
    if (!service::failed(reply) && !pem)
        qWarning("refusing an OpenVPN certificate that is not PEM certificates only");
    if (service::failed(reply) || !pem || !openvpn::prepareFolders(base)
        || !openvpn::writeInputFile(openvpn::certificatePath(base), certificate)) {
        if (connection::fieldNumber(ui->quick_stage->text()) >= 1) {
            QuickConnectNextStage();
            return;
        }
        ui->authstatus->setText(tr("certificate download error"));
        ui->loading->hide();
        on_disconnect_clicked();
        QCoreApplication::processEvents();
        return;
    }

    const QString stage = connection::quickconnect::stageText(ui->quick_stage->text(), ui->quick_servers->text());
    const QString text = tr("downloading OpenVPN profile config...");
    ui->authstatus->setText(stage.isEmpty() ? text : stage + QLatin1Char(' ') + text);
    const quint64 attempt = openvpn::currentAttempt();
    QCoreApplication::processEvents();
    if (attempt != openvpn::currentAttempt())
        return;

    tagWithAttempt(service::get(
        profileConfigManager, service::makeRequest(QUrl(ui->server_config->text()), service::Cache::Bypass)));
}

void VelnorMain::OpenVPNConnectStage2(QNetworkReply* reply)
{
    reply->deleteLater();
    if (!belongsToCurrentAttempt(reply))
        return;
    const QString base = baseFolder();
    const QByteArray configuration = service::failed(reply) ? QByteArray() : reply->readAll();
    openvpn::Launcher* launcher = openvpn::launcher(openvpnProcess);
    // Refused the same way whichever way OpenVPN starts, and for the same
    // reasons as the table gives that way; the log says why.
    const openvpn::ProfileCheck check
        = service::failed(reply) ? openvpn::ProfileCheck() : launcher->check(configuration, base);
    if (!service::failed(reply) && !check.accepted) {
        qWarning("refusing an OpenVPN configuration: %s", qPrintable(check.refused));
        openvpn::writeRefusal(base, check.refused);
    }
    for (const openvpn::Decision& dropped : check.dropped())
        qInfo("OpenVPN profile: dropped %s", qPrintable(openvpn::describe(dropped)));
    if (!check.accepted || !openvpn::prepareFolders(base) || !launcher->writeInputFiles(base, check)
        || !launcher->keepCredentials(base, ui->username->text(), ui->password->text())) {
        if (connection::fieldNumber(ui->quick_stage->text()) >= 1) {
            QuickConnectNextStage();
            return;
        }
        ui->authstatus->setText(tr("config download error"));
        ui->loading->hide();
        on_disconnect_clicked();
        QCoreApplication::processEvents();
        return;
    }

    const QString stage = connection::quickconnect::stageText(ui->quick_stage->text(), ui->quick_servers->text());
    ui->authstatus->setText(stage + (stage.isEmpty() ? tr("starting connection") : tr(": starting connection")));
    const quint64 attempt = openvpn::currentAttempt();
    QCoreApplication::processEvents();
    if (attempt != openvpn::currentAttempt())
        return;

    // A tunnel of an earlier attempt that survived its stop would swallow
    // this start and stay up unseen.
    const bool stopped = launcher->endPrevious();
    if (attempt != openvpn::currentAttempt())
        return;
    if (!stopped) {
        on_disconnect_clicked();
        messagebox::showStandard(QMessageBox::Critical,
            tr("The previous OpenVPN connection could not be stopped, so no new one was started. End the OpenVPN "
               "program, or restart the computer, and connect again."),
            tr("OpenVPN is still running"));
        return;
    }
    launcher->start(base, check);
    ui->cancel->setEnabled(true);
}

void VelnorMain::removeOpenVPNfiles()
{
    // The files go with their attempt: whatever it still has in flight is
    // abandoned with them.
    openvpn::beginAttempt();
    for (QNetworkAccessManager* manager : { certificateManager, profileConfigManager }) {
        const auto replies = manager->findChildren<QNetworkReply*>();
        for (QNetworkReply* reply : replies) {
            if (reply->isRunning())
                reply->abort();
        }
    }
    openvpn::removeInputFiles(baseFolder());
}
