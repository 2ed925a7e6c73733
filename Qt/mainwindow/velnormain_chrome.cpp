#include "mainwindow/form.h"
#include "mainwindow/velnormain.h"

#include "app/settings.h"
#include "mainwindow/fonts.h"
#include "mainwindow/pages.h"
#include "mainwindow/tray.h"
#include "mainwindow/windowflags.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWindow>

namespace {
// The form's texts step only renames the lists' first items; give each list
// back exactly the items the form starts with, so they can be renamed.
void resetFormLists(Ui::VelnorMain* form)
{
    const std::pair<QComboBox*, int> lists[] = {
        { form->servers, 1 },
        { form->protocols, 1 },
        { form->type, 1 },
        { form->payment_processor, 4 },
        { form->payment_plan, 3 },
    };
    for (const auto& [list, count] : lists) {
        const QSignalBlocker blocker(list);
        list->clear();
        for (int item = 0; item < count; ++item)
            list->addItem(QString());
    }
}
} // namespace

void VelnorMain::mousePressEvent(QMouseEvent* event) { dragPosition = event->localPos().toPoint(); }

void VelnorMain::mouseMoveEvent(QMouseEvent* event)
{
    // The window system moves the window where it can: Wayland lets no
    // program place its own window.
    if (!windowHandle() || !windowHandle()->startSystemMove())
        move(event->screenPos().toPoint() - dragPosition);
}

void VelnorMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    const auto answer = QMessageBox::question(this, tr("Application close"), tr("Are you sure you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return;
    event->accept();
    // Without a tray nothing could bring the hidden window back.
    if (!tray::systemTrayAvailable())
        QCoreApplication::quit();
}

void VelnorMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && ui) {
        // A page not made yet takes the words when it is made.
        const bool tabsMade = ui->signedInPage.isMade();
        if (tabsMade)
            resetFormLists(ui);
        ui->retranslateUi(this);
        pages::nameTheSystem(ui);
        if (tabsMade)
            fonts::fitTextsWhenShown(ui->WingetConnected);
    }
}

void VelnorMain::on_application_minimize_clicked() { applicationMinimize(); }

void VelnorMain::applicationMinimize()
{
    // Without a tray the hidden window could not be brought back, so it keeps
    // its taskbar button there.
    if (!app::settings::preference(app::settings::Preference::ShowTaskbarIcon) && tray::systemTrayAvailable()) {
        setWindowFlags(this->windowFlags() | Qt::Tool);
        hide();
        setFixedSize(0, 0);
    }
    setWindowState(Qt::WindowMinimized);
}

void VelnorMain::application_maximize()
{
    for (int pass = 0; pass < 2; ++pass) {
        setWindowFlags(windowflags::normal);
        show();
        showNormal();
        activateWindow();
        setFixedSize(windowflags::size);
    }
}

void VelnorMain::trayIconClicked(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        application_maximize();
}

void VelnorMain::on_application_close_clicked()
{
    const auto answer = QMessageBox::question(this, tr("Close Confirmation?"), tr("Are you sure you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        QCoreApplication::quit();
}
