#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "mainwindow/tray.h"
#include "service/endpoints.h"
#include "service/request.h"

namespace {
using messagebox::openInBrowser;

QUrl sitePage(const QString& path) { return service::buildUrl(service::endpoints::siteBase(), path); }
} // namespace

void VelnorMain::on_payment_do_clicked()
{
    const QUrl url = service::buildUrl(service::endpoints::siteBase(), QStringLiteral("/api/payment"),
        {
            { QStringLiteral("email"), ui->user_email->text().toLower() },
            { QStringLiteral("processor"), ui->payment_processor->currentData().toString() },
            { QStringLiteral("plan"), ui->payment_plan->currentData().toString() },
        });
    // Nothing to wait for when the page never opened.
    if (!openInBrowser(url))
        return;

    if (ui->user_enabled->text().toInt() <= 0) {
        ui->WingetConnected->hide();
        ui->WidgetConnectedVPN->hide();
        ui->WidgetNewAccount->hide();
        ui->WingetLogin->hide();
        ui->WidgetPaymentInProgress->show();
        ui->paymentInProgress->setText(QStringLiteral("1"));
    } else {
        ui->WingetConnected->show();
        ui->WidgetConnectedVPN->hide();
        ui->WidgetNewAccount->hide();
        ui->WingetLogin->hide();
        ui->WidgetPaymentInProgress->hide();
        ui->tabAccountZonePayment->hide();
        ui->tabAccountZoneInfo->show();
    }

    applicationMinimize();
    tray::showBalloon(trayIcon, tr("Payment in progress"),
        tr("Please finish payment process in your browser to automatically apply new plan to your account."));
    ui->loading->show();
}

void VelnorMain::on_cancel_payment_clicked()
{
    ui->paymentInProgress->setText(QStringLiteral("0"));
    ui->WidgetPaymentInProgress->hide();
    ui->WingetConnected->show();
    ui->loading->hide();
}

void VelnorMain::on_forgot_clicked() { openInBrowser(sitePage(QStringLiteral("/forgotpassword"))); }

void VelnorMain::on_facebook_clicked() { openInBrowser(sitePage(QStringLiteral("/login/facebook"))); }

void VelnorMain::on_subscription_extend_clicked()
{
    ui->tabAccountZoneInfo->hide();
    ui->tabAccountZonePayment->show();
}

void VelnorMain::on_checkout_cancel_clicked()
{
    ui->tabAccountZonePayment->hide();
    ui->tabAccountZoneInfo->show();
}

void VelnorMain::on_checkAndroid_clicked() { openInBrowser(QUrl(service::endpoints::storeUrl(), QUrl::TolerantMode)); }
