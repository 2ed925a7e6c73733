#pragma once

#include <QString>

// Pure pieces of the connection monitor and the public-IP check.
namespace connection {

// The address on the IP echo page: the text after the first "Address: " up to
// the last "</body>" (the rest of the text when "</body>" comes first).
QString addressFromEchoPage(const QString& page);

// "Stage N/M: " while a quick connect runs (stage 1 or more), else empty. M
// counts the "|"-separated entries of the quick-connect list, empty ones too.
QString stagePrefix(const QString& quickStage, const QString& quickServers);

// Progress text of an attempt that has run for the given seconds; empty while
// there is nothing to show yet (3 s or less).
QString progressText(int elapsedSeconds);

// A number held as text in a hidden field; anything else counts as 0.
int fieldNumber(const QString& text);

} // namespace connection
