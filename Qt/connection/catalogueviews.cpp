#include "mainwindow/velnormain.h"

void VelnorMain::PopulateServers()
{
}

void VelnorMain::PopulateProtocols()
{
}

void VelnorMain::PopulateType()
{
}

void VelnorMain::ExtractType()
{
}

void VelnorMain::on_servers_currentIndexChanged(const QString& /*text*/)
{
}

void VelnorMain::on_protocols_currentIndexChanged(const QString& /*text*/)
{
}

void VelnorMain::on_type_currentIndexChanged(const QString& /*text*/)
{
}
