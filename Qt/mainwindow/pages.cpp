#include "mainwindow/pages.h"

#include "mainwindow/form.h"

#include "platform/autostart.h"

void pages::show(Ui::VelnorMain* ui, Page page)
{
    // Late pages are hidden through their holders, which does not make them;
    // the one shown is made first.
    const std::pair<Page, form::LatePage*> late[] = {
        { Page::NewAccount, &ui->newAccountPage },
        { Page::Account, &ui->signedInPage },
        { Page::Connecting, &ui->connectingPage },
        { Page::Connected, &ui->connectedPage },
    };
    if (page != Page::Login)
        ui->WingetLogin->hide();
    QWidget* shown = ui->WingetLogin;
    for (const auto& [each, made] : late) {
        if (each != page) {
            made->holder()->hide();
            continue;
        }
        made->make();
        shown = made->holder();
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
