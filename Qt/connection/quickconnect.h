#pragma once

#include <QString>

// The quick-connect list: entries separated by "|" (an empty entry still
// counts, so an empty list is one empty entry), fields of an entry separated
// by "^" (a missing field is empty).
namespace connection::quickconnect {

struct Entry {
    QString name;
    QString address;
    QString protocol;
    QString key; // L2TP pre-shared key, or OpenVPN certificate address
    QString config; // OpenVPN configuration address
};

// The number of stages the list makes: one more than its "|" separators.
int entryCount(const QString& list);

// Whether a stage with this protocol dials anything ("PPTP", "L2TP" or
// "OpenVPN", case-sensitive). Any other entry is a stage that fails at once.
bool dialable(const QString& protocol);

// Entry `index` (0-based); an empty entry for an index past the end.
Entry entry(const QString& list, int index);

// "Stage N/M" while a quick connect runs (stage 1 or more), else empty.
QString stageText(const QString& quickStage, const QString& list);

// A field's text up to its first NUL character.
QString upToNul(const QString& text);

} // namespace connection::quickconnect
