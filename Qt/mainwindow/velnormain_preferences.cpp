#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "app/identity.h"
#include "app/settings.h"
#include "mainwindow/messagebox.h"
#include "platform/autostart.h"

using app::settings::Preference;

// The box is only remembered at login, with the credentials.
void VelnorMain::on_autologin_clicked() { }

void VelnorMain::on_startWithWindows_clicked()
{
    const bool wanted = ui->startWithWindows->isChecked();
    const QString program
        = platform::autostart::program(QCoreApplication::applicationFilePath(), app::installedBinDir());
    const bool done = wanted ? platform::autostart::add(program) : platform::autostart::remove();
    // The box and the stored flag say what the system will really do.
    const bool on = done ? wanted : !wanted;
    ui->startWithWindows->setChecked(on);
    app::settings::setPreference(Preference::StartWithSystem, on);
    if (!done) {
        messagebox::showStandard(QMessageBox::Warning,
            wanted ? tr("The application could not be added to the programs that start when you sign in.")
                   : tr("The application could not be removed from the programs that start when you sign in."),
            tr("Start with the system"));
    }
}

void VelnorMain::on_vpn_auto_connect_clicked()
{
    app::settings::setPreference(Preference::AutoConnect, ui->vpn_auto_connect->isChecked());
}

void VelnorMain::on_startMinimized_clicked()
{
    app::settings::setPreference(Preference::StartMinimized, ui->startMinimized->isChecked());
}

void VelnorMain::on_showTaskbarIcon_clicked()
{
    app::settings::setPreference(Preference::ShowTaskbarIcon, ui->showTaskbarIcon->isChecked());
}
