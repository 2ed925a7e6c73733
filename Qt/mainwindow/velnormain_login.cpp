#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "app/settings.h"
#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "service/documenttext.h"
#include "service/request.h"

#include <QNetworkAccessManager>

void VelnorMain::Login()
{
    app::settings::storeRememberedLogin(ui->username->text(), ui->password->text(), ui->autologin->isChecked());

    ui->buy->setEnabled(false);
    ui->login->setEnabled(false);
    ui->username->setEnabled(false);
    ui->password->setEnabled(false);

    // The password is lower-cased too: the service keeps digests of the
    // lower-case form.
    ui->username->setText(ui->username->text().trimmed().toLower());
    ui->password->setText(ui->password->text().trimmed().toLower());

    if (!ui->username->text().isEmpty() && !ui->password->text().isEmpty()) {
        ui->statuslabel->setText(tr("Starting auth process..."));
        ui->progressBar->setValue(15);
        DoHttpGet();
        return;
    }

    messagebox::showStandard(QMessageBox::Information,
        tr("Please do not forget to provide your account details. Login process is not possible if username and "
           "password are not provided."),
        tr("Empty Authentication"));
    // As after a failed login: buy stays off until a logout.
    ui->username->setEnabled(true);
    ui->password->setEnabled(true);
    ui->login->setEnabled(true);
}

void VelnorMain::DoHttpGet()
{
    ui->authstatus->setText(tr("Please wait: the login is in progress!"));
    ui->loading->show();

    const QUrl url = service::apiUrl(QStringLiteral("/AppServersV2"),
        {
            { QStringLiteral("username"), ui->username->text() },
            { QStringLiteral("key"), service::credentialDigest(ui->password->text()) },
            { QStringLiteral("appver"), appVersion },
        });
    service::tagWithLogin(service::get(loginManager, service::makeRequest(url, service::Cache::Bypass)));
}

void VelnorMain::Logout()
{
    // The next login's first account reply asks about renewal and connects
    // again; replies still on their way belong to this one and are dropped.
    userInfoReplyCount = 0;
    service::endLogin();

    ui->autologin->setChecked(false);
    ui->autologin->show();
    app::settings::storeRememberedLogin(QString(), QString(), false);

    ui->buy->setEnabled(true);
    ui->login->setEnabled(true);
    ui->username->setEnabled(true);
    ui->password->setEnabled(true);
    ui->loading->hide();

    ui->user_enabled->clear();
    ui->username->clear();
    ui->password->clear();
    service::storeDocumentText(ui->textBrowser->document(), QString());
    service::storeDocumentText(ui->userdatatext->document(), QStringLiteral("0"));

    ui->authstatus->setText(tr("ready to connect"));

    ui->LogoSmall->hide();
    ui->application_version->hide();
    pages::show(ui, pages::Page::Login);

    elapsedSeconds = 0;

    QCoreApplication::processEvents();
}

void VelnorMain::on_login_clicked() { Login(); }

void VelnorMain::on_username_returnPressed() { Login(); }

void VelnorMain::on_password_returnPressed() { Login(); }

void VelnorMain::on_logout_clicked() { Logout(); }
