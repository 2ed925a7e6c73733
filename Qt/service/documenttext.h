#pragma once

#include <QString>

class QTextDocument;

namespace service {

// Puts a service document into the text document of one of the hidden
// widgets that hold them (the catalogue, the account information), so that their plain text
// is exactly the given text. Those widgets are never shown, so their text is
// not laid out: laying out one long line takes time quadratic in its length,
// and a reply of a few megabytes on one line would freeze the window for
// hours. The text is held as one paragraph whose lines are separated by line
// breaks, which reads back the same and is stored several times faster than
// a paragraph per line.
void storeDocumentText(QTextDocument* document, QString text);

} // namespace service
