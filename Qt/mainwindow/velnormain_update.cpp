#include "mainwindow/velnormain.h"
#include "ui_velnormain.h"

#include "platform/installer.h"
#include "service/request.h"
#include "service/update.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QSaveFile>

namespace {
const QString installerFile = QStringLiteral("update.exe");
} // namespace

void VelnorMain::UpdateCheck()
{
    const QUrl url = service::apiUrl(QStringLiteral("/AppVer2/") + appVersion);
    service::get(updateManager, service::makeRequest(url, service::Cache::Bypass));
}

void VelnorMain::UpdateResponse(QNetworkReply* reply)
{
    reply->deleteLater();
    if (service::failed(reply))
        return;
    // A captive portal's page or an empty body is no offer.
    const std::optional<service::update::Offer> offer = service::update::readOffer(reply->readAll());
    if (!offer)
        return;
    latestVersion = offer->version;
    updateUrl = offer->url;
    updateNotes = offer->notes;

    if (appVersion == latestVersion) {
        ui->authstatus->setText(tr("application up to date"));
        return;
    }
    ui->authstatus->setText(tr("new update available"));
    // The notes come from the network: plain text, never markup.
    QMessageBox question(QMessageBox::Question, tr("New update available"),
        updateNotes + tr("Version ") + latestVersion + tr(" is available for download. Do you want to start update?"),
        QMessageBox::Yes | QMessageBox::No, this);
    question.setTextFormat(Qt::PlainText);
    if (question.exec() != QMessageBox::Yes)
        return;

    ui->loading->show();
    ui->authstatus->setText(tr("starting update..."));
    QCoreApplication::processEvents();

    const QUrl url(updateUrl, QUrl::TolerantMode);
    // Where the installer is run, anyone on the path of a plain-HTTP address
    // could hand in their own.
    if (!service::update::acceptsInstallerUrl(url, platform::installer::runsInstaller)) {
        ui->authstatus->setText(tr("cannot download update pack"));
        ui->loading->hide();
        return;
    }
    downloadReply = service::get(
        downloadManager, service::makeRequest(url, service::Cache::Bypass), service::update::installerCap);
    connect(downloadReply, &QNetworkReply::downloadProgress, this, &VelnorMain::downloadProgress);
}

void VelnorMain::downloadProgress(qint64 received, qint64 total)
{
    // Without a total (-1, or 0) there is no percentage: the amount so far.
    const std::optional<qint64> percent = service::update::percent(received, total);
    ui->authstatus->setText(
        percent ? QString::number(*percent) + tr("% downloaded") : tr("%1 KB downloaded").arg(received / 1024));
}

void VelnorMain::downloadFinished(QNetworkReply* data)
{
    data->deleteLater();
    if (data == downloadReply)
        downloadReply = nullptr;
    if (service::failed(data)) {
        ui->authstatus->setText(tr("cannot download update pack"));
        ui->loading->hide();
        return;
    }

    // Written whole or not at all: a truncated installer is never started.
    const QByteArray body = data->readAll();
    QSaveFile file(installerFile);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        saved = file.write(body) == body.size() && file.commit();
    }
    if (!saved) {
        ui->loading->hide();
        ui->authstatus->setText(tr("cannot save files"));
        return;
    }

    // The client quits whether or not the hand-over worked.
    platform::installer::handOver(QFileInfo(installerFile).absoluteFilePath());
    QCoreApplication::quit();
    ui->loading->hide();
}
