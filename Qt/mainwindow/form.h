#pragma once

#include "ui_frame.h"
#include "ui_page_connected.h"
#include "ui_page_connecting.h"
#include "ui_page_logs.h"
#include "ui_page_newaccount.h"
#include "ui_page_signedin.h"
#include "ui_page_userdata.h"
#include "ui_page_xmlresponse.h"

#include <QObject>

#include <functional>

class QMainWindow;

// The window's form, in parts. The frame (title bar, login page, status bar,
// hidden state fields and the empty holders of the other pages, with their
// geometry and place in the stacking) is made with the window. The signed-in
// tabs, new account, connecting and connected pages, and the hidden text
// browsers that hold the service's documents, are made in their holders the
// first time one of their widgets is reached through `ui` or the page is
// shown, so a start at the login page makes none of them.
namespace form {

// A page made on first use: the first time a widget of it is reached, or the
// holder is shown however it is. It lives as a child of its holder, so that
// makeLatePages() finds it from the window.
class LatePage : public QObject {
    Q_OBJECT
public:
    LatePage() = default;

    // `make` builds the page's form into `holder`; `window` receives its
    // widgets' signals by slot name.
    void attach(QWidget* holder, QObject* window, std::function<void(QWidget*)> make);

    // Runs once the page is made, before any caller sees a widget of it.
    void whenMade(std::function<void()> prepare);

    void make();
    bool isMade() const { return made; }
    // The holder, without making the page: an empty holder shows nothing.
    QWidget* holder() const { return box; }

protected:
    // Makes the page as its holder is first shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* box = nullptr;
    QObject* receiver = nullptr;
    std::function<void(QWidget*)> build;
    std::function<void()> prepared;
    bool made = false;
};

// A widget of a late page, reached as the form's own field would be.
template <typename T>
class LateWidget {
public:
    LateWidget(LatePage& page, T*& widget)
        : page(page)
        , widget(widget)
    {
    }
    T* get() const
    {
        page.make();
        return widget;
    }
    T* operator->() const { return get(); }
    operator T*() const { return get(); }

private:
    LatePage& page;
    T*& widget;
};

// Makes every late page of `window` now, as reaching a widget of each
// would: for what looks widgets up by name rather than through `ui`.
void makeLatePages(QWidget* window);

// Connects each slot `on_<name>_<signal>` of `receiver` to that signal of
// the object of that name under `root` (or `root` itself), as uic's
// connectSlotsByName does for the whole window; here per part of the form,
// as each is made.
void connectSlotsByName(QObject* receiver, QObject* root);

} // namespace form

namespace Ui {

class VelnorMain : public Ui_VelnorMainFrame {
public:
    // Makes the frame, and the late pages' holders ready to make them.
    void setupUi(QMainWindow* window);
    // The frame's texts and those of every page made so far.
    void retranslateUi(QMainWindow* window);

    Ui_PageSignedIn signedInForm;
    Ui_PageNewAccount newAccountForm;
    Ui_PageConnecting connectingForm;
    Ui_PageConnected connectedForm;
    form::LatePage signedInPage;
    form::LatePage newAccountPage;
    form::LatePage connectingPage;
    form::LatePage connectedPage;
    Ui_PageXmlResponse xmlResponseForm;
    Ui_PageLogs logsForm;
    Ui_PageUserData userDataForm;
    form::LatePage xmlResponsePage;
    form::LatePage logsPage;
    form::LatePage userDataPage;

    // Reaching any of these makes its page.
    form::LateWidget<QTabWidget> WingetConnected { signedInPage, Ui_VelnorMainFrame::WingetConnected };
    form::LateWidget<QPushButton> quickConnect { signedInPage, signedInForm.quickConnect };
    form::LateWidget<QComboBox> servers { signedInPage, signedInForm.servers };
    form::LateWidget<QComboBox> protocols { signedInPage, signedInForm.protocols };
    form::LateWidget<QComboBox> type { signedInPage, signedInForm.type };
    form::LateWidget<QLabel> server_icon { signedInPage, signedInForm.server_icon };
    form::LateWidget<QPushButton> connect { signedInPage, signedInForm.connect };
    form::LateWidget<QWidget> tabAccountZoneInfo { signedInPage, signedInForm.tabAccountZoneInfo };
    form::LateWidget<QWidget> tabAccountZonePayment { signedInPage, signedInForm.tabAccountZonePayment };
    form::LateWidget<QLabel> user_name { signedInPage, signedInForm.user_name };
    form::LateWidget<QLabel> user_email { signedInPage, signedInForm.user_email };
    form::LateWidget<QLabel> user_plan { signedInPage, signedInForm.user_plan };
    form::LateWidget<QLabel> user_expire { signedInPage, signedInForm.user_expire };
    form::LateWidget<QLabel> user_quota { signedInPage, signedInForm.user_quota };
    form::LateWidget<QPushButton> logout { signedInPage, signedInForm.logout };
    form::LateWidget<QComboBox> payment_processor { signedInPage, signedInForm.payment_processor };
    form::LateWidget<QComboBox> payment_plan { signedInPage, signedInForm.payment_plan };
    form::LateWidget<QCheckBox> startWithWindows { signedInPage, signedInForm.startWithWindows };
    form::LateWidget<QCheckBox> vpn_auto_connect { signedInPage, signedInForm.vpn_auto_connect };
    form::LateWidget<QCheckBox> startMinimized { signedInPage, signedInForm.startMinimized };
    form::LateWidget<QCheckBox> showTaskbarIcon { signedInPage, signedInForm.showTaskbarIcon };

    form::LateWidget<QWidget> WidgetNewAccount { newAccountPage, Ui_VelnorMainFrame::WidgetNewAccount };
    form::LateWidget<QPushButton> CreateAccountBtn { newAccountPage, newAccountForm.CreateAccountBtn };
    form::LateWidget<QLineEdit> NewEmail { newAccountPage, newAccountForm.NewEmail };
    form::LateWidget<QLineEdit> NewFirstname { newAccountPage, newAccountForm.NewFirstname };
    form::LateWidget<QLineEdit> NewLastname { newAccountPage, newAccountForm.NewLastname };

    form::LateWidget<QWidget> WidgetConnectingVPN { connectingPage, Ui_VelnorMainFrame::WidgetConnectingVPN };
    form::LateWidget<QLabel> connecting_image { connectingPage, connectingForm.connecting_image };
    form::LateWidget<QLabel> connecting_message { connectingPage, connectingForm.connecting_message };
    form::LateWidget<QPushButton> cancel { connectingPage, connectingForm.cancel };

    form::LateWidget<QWidget> WidgetConnectedVPN { connectedPage, Ui_VelnorMainFrame::WidgetConnectedVPN };
    form::LateWidget<QLabel> connected_message { connectedPage, connectedForm.connected_message };
    form::LateWidget<QPushButton> disconnect { connectedPage, connectedForm.disconnect };

    form::LateWidget<QTextBrowser> textBrowser { xmlResponsePage, xmlResponseForm.textBrowser };
    form::LateWidget<QTextBrowser> logBrowser { logsPage, logsForm.logBrowser };
    form::LateWidget<QTextBrowser> userdatatext { userDataPage, userDataForm.userdatatext };
};

} // namespace Ui
