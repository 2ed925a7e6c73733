#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The update document and the download of the installer.
namespace service::update {

struct Offer {
    QString version;
    QString url;
    QString notes;
};

// Reads the three fields by position: the root element, then each field's
// text right after its start tag, the fields following one another without
// white space. An empty field shifts the ones after it (they read empty).
// Nothing when there is no field element, or the document breaks before
// the fields are read: a captive portal's page or an empty body is no offer.
std::optional<Offer> readOffer(const QByteArray& document);

// The part of the installer received, in whole percent (truncated);
// nothing while the total is unknown (-1) or zero. Never above 100.
std::optional<qint64> percent(qint64 received, qint64 total);

// Whether an installer may be fetched from `url`. A system that runs the
// file (silently, with administrator rights) takes it over https only;
// one that only saves and shows it also takes http.
bool acceptsInstallerUrl(const QUrl& url, bool installerIsRun);

// The installer is far larger than any document.
constexpr qint64 installerCap = qint64(512) * 1024 * 1024;

} // namespace service::update
