#include "mainwindow/velnormain.h"

void VelnorMain::UpdateCheck() { }

void VelnorMain::UpdateResponse(QNetworkReply* /*reply*/) { }

void VelnorMain::downloadFinished(QNetworkReply* /*data*/) { }

void VelnorMain::downloadProgress(qint64 /*received*/, qint64 /*total*/) { }
