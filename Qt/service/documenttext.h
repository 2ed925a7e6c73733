#pragma once

#include <QString>

class QTextEdit;

namespace service {

// Puts a service document into one of the hidden text widgets that hold
// them (the catalogue, the account information), exactly as given. Those
// widgets are never shown, so their text is not laid out: laying out one
// long line takes time quadratic in its length, and a reply of a few
// megabytes on one line would freeze the window for hours.
void storeDocumentText(QTextEdit* holder, const QString& text);

} // namespace service
