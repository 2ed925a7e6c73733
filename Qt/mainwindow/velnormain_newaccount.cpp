#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "service/newaccount.h"
#include "service/request.h"

void VelnorMain::on_buy_clicked()
{
    pages::show(ui, pages::Page::NewAccount);
    ui->LogoSmall->show();
    ui->application_version->show();
    ui->username->clear();
    ui->password->clear();
    ui->NewEmail->clear();
    ui->NewFirstname->clear();
    ui->NewLastname->clear();
}

void VelnorMain::on_create_account_cancel_clicked()
{
    pages::show(ui, pages::Page::Login);
    ui->LogoSmall->hide();
    ui->application_version->hide();
    ui->autologin->setChecked(false);
    ui->username->setFocus(Qt::OtherFocusReason);
}

void VelnorMain::on_CreateAccountBtn_clicked()
{
    if (ui->NewFirstname->text().isEmpty() || ui->NewLastname->text().isEmpty() || ui->NewEmail->text().isEmpty()) {
        messagebox::showStandard(QMessageBox::Critical,
            tr("To create a new account, need to provide firstname, lastname and your email address. Please review "
               "the form and add missing fields."),
            tr("Missing info"));
        return;
    }

    const QUrl url = service::apiUrl(QStringLiteral("/AppNewAccount"),
        {
            { QStringLiteral("firstname"), ui->NewFirstname->text() },
            { QStringLiteral("lastname"), ui->NewLastname->text() },
            { QStringLiteral("email"), ui->NewEmail->text() },
        });
    ui->loading->show();
    ui->CreateAccountBtn->setEnabled(false);
    service::get(newAccountManager, service::makeRequest(url, service::Cache::Bypass));
}

void VelnorMain::newAccountResponse(QNetworkReply* reply)
{
    reply->deleteLater();
    ui->loading->hide();

    if (service::failed(reply)) {
        messagebox::showStandard(QMessageBox::Critical,
            tr("In this moment we are not able to process your request. Please check your internet connection and if "
               "all is ok, please try to create new account again later."),
            tr("Error"));
    } else {
        const service::newaccount::Reply answer = service::newaccount::readReply(service::bodyText(reply->readAll()));
        if (!answer.created) {
            messagebox::showStandard(QMessageBox::Critical, answer.text, tr("New Account Error"));
        } else {
            messagebox::showStandard(QMessageBox::Information,
                tr("New account has been created. Username and password has been sent to your email address."),
                tr("New Account Created"));
            // A reply that arrives once the user has signed in must not
            // change the user name of the live session.
            if (!ui->WingetLogin->isHidden() || !ui->WidgetNewAccount->isHidden()) {
                on_create_account_cancel_clicked();
                ui->username->setText(answer.text);
                ui->autologin->setChecked(true);
                ui->password->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    ui->CreateAccountBtn->setEnabled(true);
}
