#pragma once

#include <QMainWindow>
#include <QNetworkReply>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>

class QAction;
class QMenu;
class QNetworkAccessManager;

class QProcess;
class QThread;
class QTimer;
class PPPWorker;

namespace Ui {
class VelnorMain;
}

// The program's only window. It owns all state: the form (whose hidden fields
// hold the working state as text), the network managers, the monitor timer,
// the tray icon, the OpenVPN process and the dialer worker with its thread.
// Slot bodies live in mainwindow/velnormain_<feature>.cpp, named below per
// group; the slot order is part of the meta-object's contract and must not
// change.
class VelnorMain : public QMainWindow {
    Q_OBJECT

public:
    explicit VelnorMain(QWidget* parent = nullptr);
    ~VelnorMain() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    // Login request and server catalogue (velnormain_login.cpp, velnormain_loginreply.cpp,
    // velnormain_catalogue.cpp)
    void DoHttpGet();
    void PopulateServers();
    void PopulateProtocols();
    void PopulateType();
    void ExtractType();
    void HasFinished(QNetworkReply* reply);
    // Account information (velnormain_account.cpp)
    void HasFinishedUserData(QNetworkReply* reply);
    void GetUserData();
    // Login page (velnormain_login.cpp; on_buy_clicked opens the new-account page,
    // velnormain_newaccount.cpp), selection (velnormain_catalogue.cpp)
    void Logout();
    void Login();
    void on_login_clicked();
    void on_servers_currentIndexChanged(const QString& text);
    void on_protocols_currentIndexChanged(const QString& text);
    void on_username_returnPressed();
    void on_password_returnPressed();
    void on_buy_clicked();
    void on_logout_clicked();
    // Manual connect and disconnect, error texts (velnormain_connect.cpp)
    void PPPDisconnect();
    void PPPStarted();
    void on_connect_clicked();
    QString getPPPErrorText(int error_code);
    void on_disconnect_clicked();
    // Window chrome and tray (velnormain_chrome.cpp)
    void on_application_minimize_clicked();
    void on_application_close_clicked();
    void application_maximize();
    void trayIconClicked(QSystemTrayIcon::ActivationReason reason);
    // Selection, continued (velnormain_catalogue.cpp)
    void on_type_currentIndexChanged(const QString& text);
    // OpenVPN (velnormain_openvpn.cpp), public IP check (velnormain_ipcheck.cpp),
    // monitor (velnormain_monitor.cpp), cancel (velnormain_connect.cpp)
    void OpenVPNConnectStage0();
    void OpenVPNConnectStage1(QNetworkReply* reply);
    void OpenVPNConnectStage2(QNetworkReply* reply);
    void SetCurrentIP(QNetworkReply* reply);
    void GetCurrentIP();
    void UpdateTimer();
    void removeOpenVPNfiles();
    void on_cancel_clicked();
    // Self-update (velnormain_update.cpp)
    void UpdateCheck();
    void UpdateResponse(QNetworkReply* reply);
    void downloadFinished(QNetworkReply* data);
    void downloadProgress(qint64 received, qint64 total);
    // Preferences (velnormain_preferences.cpp, applicationMinimize in velnormain_chrome.cpp),
    // account creation (velnormain_newaccount.cpp), payment and links (velnormain_payment.cpp),
    // quick connect (velnormain_quickconnect.cpp)
    void on_autologin_clicked();
    void on_create_account_cancel_clicked();
    void on_CreateAccountBtn_clicked();
    void newAccountResponse(QNetworkReply* reply);
    void on_payment_do_clicked();
    void QuickConnectNextStage();
    void on_quickConnect_clicked();
    void quickConnectDial();
    void on_cancel_payment_clicked();
    void on_forgot_clicked();
    void on_facebook_clicked();
    void on_subscription_extend_clicked();
    void on_checkout_cancel_clicked();
    void on_startWithWindows_clicked();
    void applicationMinimize();
    void on_vpn_auto_connect_clicked();
    void on_startMinimized_clicked();
    void on_showTaskbarIcon_clicked();
    void on_checkAndroid_clicked();

private:
    void prepareLatePages();
    Ui::VelnorMain* ui = nullptr;
    QString appVersion;
    QString latestVersion;
    QString updateUrl;
    QString updateNotes;
    QNetworkAccessManager* updateManager = nullptr;
    QNetworkAccessManager* downloadManager = nullptr;
    QNetworkReply* downloadReply = nullptr;
    QNetworkAccessManager* loginManager = nullptr;
    QNetworkAccessManager* userInfoManager = nullptr;
    QNetworkAccessManager* certificateManager = nullptr;
    QNetworkAccessManager* profileConfigManager = nullptr;
    QNetworkAccessManager* ipCheckManager = nullptr;
    QNetworkAccessManager* newAccountManager = nullptr;
    QTimer* monitorTimer = nullptr;
    int elapsedSeconds = 0;
    int userInfoReplyCount = 0;
    QPoint dragPosition;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QAction* showAction = nullptr;
    QAction* quitAction = nullptr;
    QProcess* openvpnProcess = nullptr;
    PPPWorker* pppWorker = nullptr;
    QThread* pppThread = nullptr;
};
