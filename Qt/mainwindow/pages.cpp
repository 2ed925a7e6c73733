#include "mainwindow/pages.h"

#include "ui_velnormain.h"

#include "platform/autostart.h"

void pages::show(Ui::VelnorMain* ui, Page page)
{
    const std::pair<Page, QWidget*> all[] = {
        { Page::NewAccount, ui->WidgetNewAccount },
        { Page::Account, ui->WingetConnected },
        { Page::Login, ui->WingetLogin },
        { Page::Connecting, ui->WidgetConnectingVPN },
        { Page::Connected, ui->WidgetConnectedVPN },
    };
    QWidget* shown = nullptr;
    for (const auto& [each, widget] : all) {
        if (each == page)
            shown = widget;
        else
            widget->hide();
    }
    shown->show();
}

connection::State pages::attemptState(const Ui::VelnorMain* ui)
{
    return connection::stateOf(ui->connectionStatus->text());
}

void pages::setAttemptState(Ui::VelnorMain* ui, connection::State state)
{
    ui->connectionStatus->setText(connection::wordOf(state));
}

void pages::nameTheSystem(Ui::VelnorMain* ui)
{
    ui->startWithWindows->setText(QCoreApplication::translate("VelnorMain", platform::autostart::optionText()));
}
