#include "mainwindow/velnormain.h"

void VelnorMain::DoHttpGet()
{
}

void VelnorMain::Login()
{
}

void VelnorMain::Logout()
{
}

void VelnorMain::on_login_clicked()
{
}

void VelnorMain::on_username_returnPressed()
{
}

void VelnorMain::on_password_returnPressed()
{
}

void VelnorMain::on_logout_clicked()
{
}
