#include "mainwindow/velnormain.h"

void VelnorMain::GetUserData()
{
}

void VelnorMain::HasFinishedUserData(QNetworkReply* /*reply*/)
{
}
