#include "mainwindow/velnormain.h"

void VelnorMain::GetCurrentIP()
{
}

void VelnorMain::SetCurrentIP(QNetworkReply* /*reply*/)
{
}
