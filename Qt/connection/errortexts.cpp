#include "mainwindow/velnormain.h"

QString VelnorMain::getPPPErrorText(int /*error_code*/)
{
    return QString();
}
