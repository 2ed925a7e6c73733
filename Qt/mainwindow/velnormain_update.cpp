#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "mainwindow/messagebox.h"
#include "platform/installer.h"
#include "service/endpoints.h"
#include "service/request.h"
#include "service/update.h"

#include <QMessageBox>
#include <QNetworkAccessManager>

namespace {
namespace installer = platform::installer;
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
    if (installer::updateRoute() == installer::Route::DownloadPage) {
        messagebox::openInBrowser(service::buildUrl(service::endpoints::siteBase(), QStringLiteral("/download")));
        return;
    }

    ui->loading->show();
    ui->authstatus->setText(tr("starting update..."));
    QCoreApplication::processEvents();

    const QUrl url(updateUrl, QUrl::TolerantMode);
    // The installer is run: anyone on the path of a plain-HTTP address could
    // hand in their own.
    if (!service::update::acceptsInstallerUrl(url, true)) {
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

    switch (installer::handOver(installerFile, data->readAll())) {
    case installer::HandOver::NotSaved:
        ui->loading->hide();
        ui->authstatus->setText(tr("cannot save files"));
        return;
    case installer::HandOver::NotStarted:
        // The client stays: nothing would install the update.
        ui->loading->hide();
        ui->authstatus->setText(tr("cannot start the installer"));
        return;
    case installer::HandOver::Started:
        QCoreApplication::quit();
        ui->loading->hide();
        return;
    }
}
