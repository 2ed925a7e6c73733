#include "mainwindow/velnormain.h"

void VelnorMain::QuickConnectNextStage() { }

void VelnorMain::on_quickConnect_clicked() { }

void VelnorMain::quickConnectDial() { }
