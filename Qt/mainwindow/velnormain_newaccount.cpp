#include "mainwindow/velnormain.h"

void VelnorMain::on_buy_clicked() { }

void VelnorMain::on_create_account_cancel_clicked() { }

void VelnorMain::on_CreateAccountBtn_clicked() { }

void VelnorMain::newAccountResponse(QNetworkReply* /*reply*/) { }
