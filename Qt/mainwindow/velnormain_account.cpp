#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "app/settings.h"
#include "connection/openvpn.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "mainwindow/tray.h"
#include "service/accountinfo.h"
#include "service/documenttext.h"
#include "service/request.h"

#include <QNetworkAccessManager>
#include <QXmlStreamReader>

namespace {
void fillList(QComboBox* list, const QString& field)
{
    list->clear();
    for (const service::accountinfo::ListEntry& entry : service::accountinfo::splitList(field))
        list->addItem(entry.text, entry.id);
}
} // namespace

void VelnorMain::GetUserData()
{
    const QUrl url = service::apiUrl(QStringLiteral("/AppUserInfoV3"),
        {
            { QStringLiteral("username"), ui->username->text() },
            { QStringLiteral("key"), service::credentialDigest(ui->password->text()) },
        });
    if (ui->username->text().toUtf8().isEmpty() || ui->password->text().toUtf8().isEmpty())
        return;
    QNetworkReply* reply = service::get(userInfoManager, service::makeRequest(url, service::Cache::Default));
    service::tagWithLogin(reply);
    connection::openvpn::tagWithAttempt(reply);
}

void VelnorMain::HasFinishedUserData(QNetworkReply* reply)
{
    reply->deleteLater();
    // After a logout it would pass for the first reply of the next login.
    if (!service::belongsToCurrentLogin(reply) || reply->error() != QNetworkReply::NoError)
        return;

    service::storeDocumentText(ui->userdatatext->document(), service::bodyText(reply->readAll()));

    // Counted before the boxes below: they run nested event loops, and a
    // reply handled inside them must not pass for the first one again, nor
    // may a late count undo a logout made meanwhile.
    const bool firstReplyOfLogin = userInfoReplyCount == 0;
    ++userInfoReplyCount;
    // Asked for before the last connect or disconnect: its automatic
    // connection would undo what happened since.
    const bool attemptSince = !connection::openvpn::belongsToCurrentAttempt(reply);

    service::accountinfo::Fields fields;
    QXmlStreamReader xml(ui->userdatatext->document()->toPlainText());
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartDocument)
            continue;
        if (token != QXmlStreamReader::StartElement || xml.name() != QLatin1String("response"))
            continue;
        xml.readNext();
        if (xml.text() != QLatin1String("true"))
            continue;

        fields = service::accountinfo::readFields(xml);
        ui->user_name->setText(fields.name);
        ui->user_email->setText(fields.email);
        ui->user_enabled->setText(fields.enabled);
        ui->user_plan->setText(tr("Current plan:") + fields.plan);
        ui->user_expire->setText(tr("Expiration date: ") + fields.expiry);
        ui->user_quota->setText(tr("Quota remaining: ") + fields.quota);
        fillList(ui->payment_processor, fields.paymentMethods);
        fillList(ui->payment_plan, fields.plans);
        ui->quick_servers->setText(fields.quickServers);

        const bool usable = !ui->user_enabled->text().isEmpty() && ui->user_enabled->text() != QLatin1String("0")
            && pages::attemptState(ui) != connection::State::Connected;
        if (usable) {
            ui->authstatus->setText(fields.quota + tr(" quota available"));
            ui->tabAccountZoneInfo->show();
            ui->tabAccountZonePayment->hide();
            ui->WingetConnected->setTabEnabled(0, true);
            ui->WingetConnected->setTabEnabled(1, true);
            if (ui->paymentInProgress->text() == QLatin1String("1")) {
                ui->paymentInProgress->setText(QStringLiteral("0"));
                ui->WidgetPaymentInProgress->hide();
                pages::show(ui, pages::Page::Account);
                tray::showBalloon(trayIcon, tr("Account Active"), tr("Your account is now active. Thank you!"));
                application_maximize();
                ui->WingetConnected->setCurrentIndex(0);
                ui->loading->hide();
            }
        } else {
            // Locked while the account is not active or a tunnel is up; the
            // user lands on the payment page.
            ui->WingetConnected->setTabEnabled(0, false);
            ui->WingetConnected->setTabEnabled(1, false);
            ui->tabAccountZonePayment->show();
            ui->tabAccountZoneInfo->hide();
            ui->WingetConnected->setCurrentIndex(2);
        }
    }

    ui->user_area->show();
    ui->LogoSmall->show();
    ui->application_version->show();

    if (fields.notice.trimmed().length() > 5)
        messagebox::showStandard(QMessageBox::Information, fields.notice, tr("Notice"));

    if (ui->user_enabled->text().toInt() > 0 && firstReplyOfLogin && !attemptSince) {
        if (fields.daysLeft.toInt() <= 4) {
            const auto answer = QMessageBox::question(this, tr("Renew your account?"),
                tr("Your account will expire soon. You would like to renew now to avoid any service interruption when "
                   "current subscription will end?"),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
            if (answer == QMessageBox::Yes) {
                ui->WingetConnected->setCurrentIndex(2);
                ui->WingetConnected->show();
                ui->tabAccountZoneInfo->hide();
                ui->tabAccountZonePayment->show();
            }
        }
        if (app::settings::preference(app::settings::Preference::AutoConnect))
            quickConnectDial();
    }
}
