#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "mainwindow/desktop.h"
#include "mainwindow/lists.h"
#include "mainwindow/ondemand.h"
#include "service/catalogue.h"

#include <QPixmap>
#include <QXmlStreamReader>

namespace catalogue = service::catalogue;
using catalogue::at;

namespace {

bool isOpening(QXmlStreamReader::TokenType type) { return type != QXmlStreamReader::EndElement; }

} // namespace

void VelnorMain::PopulateServers()
{
    catalogue::TokenReader xml(ui->textBrowser->document());
    ui->servers->clear();

    int id = 1;
    QString name;
    bool firstServerSeen = false;
    // Added together after the walk: a list of thousands is one insertion.
    // The first item then becomes current and fills the other lists, as it
    // would have at once; their walks read the catalogue afresh either way.
    QVector<lists::Item> entries;
    const auto rule = [&](QXmlStreamReader::TokenType type) {
        if (!isOpening(type))
            return;
        if (at(xml, QLatin1String("id"))) {
            xml.readNext();
            id = catalogue::number(xml.text());
        }
        if (at(xml, QLatin1String("shortname"))) {
            xml.readNext();
            name = xml.text().toString();
        }
        if (at(xml, QLatin1String("country"))) {
            xml.readNext();
            const QString country = xml.text().toString();
            entries.append({ name, id });
            if (!firstServerSeen) {
                ondemand::setPicture(ui->server_icon, QPixmap(desktop::pictureForScreen(catalogue::flagPath(country))));
                firstServerSeen = true;
            }
        }
    };
    catalogue::walkServers(xml, rule, [] { return false; });
    lists::append(ui->servers, std::move(entries));

    PopulateProtocols();
}

void VelnorMain::PopulateProtocols()
{
    const int selectedServer = ui->servers->currentIndex();
    catalogue::TokenReader xml(ui->textBrowser->document());
    ui->protocols->clear();

    int serverCount = -1;
    const auto rule = [&](QXmlStreamReader::TokenType type) {
        const bool opening = isOpening(type);
        if (opening && at(xml, QLatin1String("id"))) {
            xml.readNext();
            ++serverCount;
        }
        if (opening && at(xml, QLatin1String("shortname")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("IP")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("country")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("assignedIP")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("pptp"))) {
            if (catalogue::pptpOffered(xml) && serverCount == selectedServer)
                ui->protocols->addItem(tr("Protocol: PPTP"));
        }
        if (opening && at(xml, QLatin1String("l2tp"))) {
            if (catalogue::offered(xml) && serverCount == selectedServer)
                ui->protocols->addItem(tr("Protocol: L2TP"));
        }
        if (at(xml, QLatin1String("openvpn"))) {
            if (catalogue::offered(xml) && serverCount == selectedServer)
                ui->protocols->addItem(tr("Protocol: OpenVPN"));
        }
    };
    // Servers are counted in document order: past the selected one nothing can be added.
    catalogue::walkServers(xml, rule, [&] { return serverCount > selectedServer; });

    PopulateType();
}

void VelnorMain::PopulateType()
{
    const int selectedProtocol = ui->protocols->currentIndex();
    const int selectedServer = ui->servers->currentIndex();
    const int selectedType = ui->type->currentIndex();
    catalogue::TokenReader xml(ui->textBrowser->document());
    ui->type->clear();

    int serverCount = -1;
    int protocolCount = -1;
    const auto serverSelected = [&] { return serverCount == selectedServer; };
    const auto protocolSelected = [&] { return serverSelected() && protocolCount == selectedProtocol; };
    const catalogue::ProfileHandlers profiles {
        [this](const QString& name) { ui->type->addItem(tr("Mode: ") + name); },
        [this](const QString& config) { ui->server_config->setText(config); },
        [this](const QString& certificate) { ui->server_certificate->setText(certificate); },
    };

    const auto rule = [&](QXmlStreamReader::TokenType type) {
        const bool opening = isOpening(type);
        if (opening && at(xml, QLatin1String("id"))) {
            xml.readNext();
            ++serverCount;
            protocolCount = -1;
        }
        if (opening && at(xml, QLatin1String("shortname"))) {
            xml.readNext();
            if (serverSelected())
                ui->server_name->setText(xml.text().toString());
        }
        if (opening && at(xml, QLatin1String("IP"))) {
            xml.readNext();
            if (serverSelected())
                ui->server_ip->setText(xml.text().toString());
        }
        if (opening && at(xml, QLatin1String("country"))) {
            xml.readNext();
            if (serverSelected())
                ondemand::setPicture(
                    ui->server_icon, QPixmap(desktop::pictureForScreen(catalogue::flagPath(xml.text().toString()))));
        }
        if (opening && at(xml, QLatin1String("assignedIP")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("pptp"))) {
            if (catalogue::pptpOffered(xml)) {
                ++protocolCount;
                if (protocolSelected()) {
                    ui->type->addItem(tr("Mode: Auto"));
                    ui->server_protocol->setText(QStringLiteral("PPTP"));
                }
            }
        }
        if (opening && at(xml, QLatin1String("l2tp"))) {
            if (catalogue::offered(xml)) {
                ++protocolCount;
                if (protocolSelected()) {
                    ui->type->addItem(tr("Mode: Auto"));
                    ui->server_protocol->setText(QStringLiteral("L2TP"));
                }
            }
            // Judged on the count as it stands, so a disabled L2TP still hands
            // its key to the protocol counted just before it.
            const auto key = catalogue::skipKey(xml);
            if (key && protocolSelected())
                ui->server_pskey->setText(*key);
        }
        if (at(xml, QLatin1String("openvpn"))) {
            if (catalogue::offered(xml)) {
                ++protocolCount;
                if (protocolSelected()) {
                    ui->server_protocol->setText(QStringLiteral("OpenVPN"));
                    catalogue::walkProfiles(xml, selectedType, profiles);
                }
            }
        }
    };
    catalogue::walkServers(xml, rule, [&] { return serverCount > selectedServer; });
}

void VelnorMain::ExtractType()
{
    const int selectedProtocol = ui->protocols->currentIndex();
    const int selectedServer = ui->servers->currentIndex();
    const int selectedType = ui->type->currentIndex();
    catalogue::TokenReader xml(ui->textBrowser->document());

    int serverCount = -1;
    int protocolCount = -1;
    const auto serverSelected = [&] { return serverCount == selectedServer; };
    const catalogue::ProfileHandlers profiles {
        {},
        [this](const QString& config) { ui->server_config->setText(config); },
        [this](const QString& certificate) { ui->server_certificate->setText(certificate); },
    };

    const auto rule = [&](QXmlStreamReader::TokenType type) {
        const bool opening = isOpening(type);
        if (opening && at(xml, QLatin1String("id"))) {
            xml.readNext();
            ++serverCount;
            protocolCount = -1;
        }
        if (opening && at(xml, QLatin1String("shortname"))) {
            xml.readNext();
            if (serverSelected())
                ui->server_name->setText(xml.text().toString());
        }
        if (opening && at(xml, QLatin1String("IP"))) {
            xml.readNext();
            if (serverSelected())
                ui->server_ip->setText(xml.text().toString());
        }
        if (opening && at(xml, QLatin1String("country")))
            xml.readNext();
        if (opening && at(xml, QLatin1String("assignedIP"))) {
            xml.readNext();
            if (serverSelected())
                ui->server_assignedIP->setText(xml.text().toString());
        }
        if (opening && at(xml, QLatin1String("pptp"))) {
            if (catalogue::pptpOffered(xml))
                ++protocolCount;
        }
        if (opening && at(xml, QLatin1String("l2tp"))) {
            if (catalogue::offered(xml))
                ++protocolCount;
            catalogue::skipKey(xml);
        }
        if (at(xml, QLatin1String("openvpn"))) {
            if (catalogue::offered(xml)) {
                ++protocolCount;
                if (serverSelected() && protocolCount == selectedProtocol)
                    catalogue::walkProfiles(xml, selectedType, profiles);
            }
        }
    };
    catalogue::walkServers(xml, rule, [&] { return serverCount > selectedServer; });
}

void VelnorMain::on_servers_currentIndexChanged(const QString& /*text*/) { PopulateProtocols(); }

void VelnorMain::on_protocols_currentIndexChanged(const QString& /*text*/) { PopulateType(); }

void VelnorMain::on_type_currentIndexChanged(const QString& /*text*/) { ExtractType(); }
