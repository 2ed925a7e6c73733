#pragma once

#include "connection/state.h"

namespace Ui {
class VelnorMain;
}

// The window's five pages, of which one shows at a time, and the state of
// the current attempt as its hidden field holds it.
namespace pages {

enum class Page {
    Login, // WingetLogin
    NewAccount, // WidgetNewAccount
    Account, // WingetConnected: servers, account, payment tabs
    Connecting, // WidgetConnectingVPN
    Connected, // WidgetConnectedVPN
};

// Hides the other four pages, then shows `page`.
void show(Ui::VelnorMain* ui, Page page);

// The form's texts that name the system it runs on; again after every
// retranslation, which puts the form's own words back.
void nameTheSystem(Ui::VelnorMain* ui);

connection::State attemptState(const Ui::VelnorMain* ui);
void setAttemptState(Ui::VelnorMain* ui, connection::State state);

} // namespace pages
