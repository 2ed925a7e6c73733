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
// Slot bodies live in the file of their feature; the slot order is part of
// the meta-object's contract and must not change.
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
    // Login request and server catalogue (service/login.cpp, service/loginreply.cpp,
    // connection/catalogueviews.cpp)
    void DoHttpGet();
    void PopulateServers();
    void PopulateProtocols();
    void PopulateType();
    void ExtractType();
    void HasFinished(QNetworkReply* reply);
    // Account information (service/accountinfo.cpp)
    void HasFinishedUserData(QNetworkReply* reply);
    void GetUserData();
    // Login page (service/login.cpp), selection (connection/catalogueviews.cpp)
    void Logout();
    void Login();
    void on_login_clicked();
    void on_servers_currentIndexChanged(const QString& text);
    void on_protocols_currentIndexChanged(const QString& text);
    void on_username_returnPressed();
    void on_password_returnPressed();
    void on_buy_clicked();
    void on_logout_clicked();
    // Manual connect and disconnect (connection/connect.cpp), error texts (connection/errortexts.cpp)
    void PPPDisconnect();
    void PPPStarted();
    void on_connect_clicked();
    QString getPPPErrorText(int error_code);
    void on_disconnect_clicked();
    // Window chrome and tray (mainwindow/velnormain.cpp)
    void on_application_minimize_clicked();
    void on_application_close_clicked();
    void application_maximize();
    void trayIconClicked(QSystemTrayIcon::ActivationReason reason);
    // Selection, continued (connection/catalogueviews.cpp)
    void on_type_currentIndexChanged(const QString& text);
    // OpenVPN (connection/openvpn.cpp), public IP check (connection/ipcheck.cpp),
    // monitor (connection/monitor.cpp)
    void OpenVPNConnectStage0();
    void OpenVPNConnectStage1(QNetworkReply* reply);
    void OpenVPNConnectStage2(QNetworkReply* reply);
    void SetCurrentIP(QNetworkReply* reply);
    void GetCurrentIP();
    void UpdateTimer();
    void removeOpenVPNfiles();
    void on_cancel_clicked();
    // Self-update (service/update.cpp)
    void UpdateCheck();
    void UpdateResponse(QNetworkReply* reply);
    void downloadFinished(QNetworkReply* data);
    void downloadProgress(qint64 received, qint64 total);
    // Preferences (mainwindow/preferences.cpp), account creation (service/newaccount.cpp),
    // payment and links (service/payment.cpp), quick connect (connection/quickconnect.cpp)
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
