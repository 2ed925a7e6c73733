#include "mainwindow/velnormain.h"

void VelnorMain::HasFinished(QNetworkReply* /*reply*/)
{
}
