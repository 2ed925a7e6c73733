#include "mainwindow/pages.h"

#include "mainwindow/form.h"

#include "platform/autostart.h"

void pages::show(Ui::VelnorMain* ui, Page page)
{
    // Late pages are reached through their holders: hiding one not made yet
    // must not make it.
    const std::pair<Page, QWidget*> all[] = {
        { Page::NewAccount, ui->newAccountPage.holder() },
        { Page::Account, ui->signedInPage.holder() },
        { Page::Login, ui->WingetLogin },
        { Page::Connecting, ui->connectingPage.holder() },
        { Page::Connected, ui->connectedPage.holder() },
    };
    const std::pair<Page, form::LatePage*> late[] = {
        { Page::NewAccount, &ui->newAccountPage },
        { Page::Account, &ui->signedInPage },
        { Page::Connecting, &ui->connectingPage },
        { Page::Connected, &ui->connectedPage },
    };
    QWidget* shown = nullptr;
    for (const auto& [each, widget] : all) {
        if (each == page)
            shown = widget;
        else
            widget->hide();
    }
    for (const auto& [each, made] : late) {
        if (each == page)
            made->make();
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
    // A settings tab not made yet gets it when made.
    if (!ui->signedInPage.isMade())
        return;
    ui->startWithWindows->setText(QCoreApplication::translate("VelnorMain", platform::autostart::optionText()));
}
