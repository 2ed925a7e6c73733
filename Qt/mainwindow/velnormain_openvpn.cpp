#include "mainwindow/velnormain.h"

void VelnorMain::OpenVPNConnectStage0() { }

void VelnorMain::OpenVPNConnectStage1(QNetworkReply* /*reply*/) { }

void VelnorMain::OpenVPNConnectStage2(QNetworkReply* /*reply*/) { }

void VelnorMain::removeOpenVPNfiles() { }
