#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "mainwindow/messagebox.h"
#include "mainwindow/pages.h"
#include "service/catalogue.h"
#include "service/documenttext.h"
#include "service/request.h"

void VelnorMain::HasFinished(QNetworkReply* reply)
{
    // Released once this slot has returned, also from the nested loops of
    // the boxes below.
    reply->deleteLater();
    if (!service::belongsToCurrentLogin(reply))
        return;

    ui->loading->hide();
    ui->username->setEnabled(true);
    ui->password->setEnabled(true);
    ui->login->setEnabled(true);

    if (reply->error() != QNetworkReply::NoError) {
        service::storeDocumentText(ui->textBrowser->document(), reply->errorString());
        ui->progressBar->setValue(99);
        ui->authstatus->setText(tr("Not connected!"));
        messagebox::showStandard(QMessageBox::Critical,
            tr("Cannot communicate with main servers. Probably, there is a problem with your internet connection or "
               "our servers are not accesible from your location."));
        return;
    }

    // Plain text, so a document that looks like HTML is kept exactly as sent.
    service::storeDocumentText(ui->textBrowser->document(), service::bodyText(reply->readAll()));

    ui->progressBar->setValue(100);
    ui->statuslabel->setText(tr("Login complete!"));

    // Reads the tokens the catalogue views then reuse, instead of parsing twice.
    service::catalogue::TokenReader xml(ui->textBrowser->document());
    // Set before every token; translated once, as a catalogue has hundreds of
    // thousands of them, and only set again after another text replaced it.
    const QString parsing = tr("start XML parse...");
    bool saysParsing = false;
    while (!xml.atEnd() && !xml.hasError()) {
        if (!saysParsing)
            ui->statuslabel->setText(parsing);
        saysParsing = true;
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartDocument) {
            ui->statuslabel->setText(tr("start XML document..."));
            saysParsing = false;
            continue;
        }
        if (token != QXmlStreamReader::StartElement || !xml.nameIs(QLatin1String("response")))
            continue;

        xml.readNext();
        ui->statuslabel->setText(tr("Getting response!"));
        saysParsing = false;
        if (xml.text() != QLatin1String("false")) {
            ui->authstatus->setText(tr("Authenticated!"));
            pages::show(ui, pages::Page::Account);
            ui->WingetConnected->setCurrentIndex(0);
            ui->cancel->hide();
            ui->connect->show();
            ui->disconnect->hide();
            PopulateServers();
            GetUserData();
        } else {
            ui->authstatus->setText(tr("Not connected!"));
            messagebox::showStandard(QMessageBox::Information,
                tr("Your login details could not be authorised. Please input again your username and password and "
                   "click connect."),
                tr("Bad username/password"));
        }
    }
}
