#include "mainwindow/velnormain.h"

void VelnorMain::on_autologin_clicked() { }

void VelnorMain::on_startWithWindows_clicked() { }

void VelnorMain::on_vpn_auto_connect_clicked() { }

void VelnorMain::on_startMinimized_clicked() { }

void VelnorMain::on_showTaskbarIcon_clicked() { }
