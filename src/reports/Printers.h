#pragma once

#include <QString>

#include <vector>

namespace kr90x::reports {

struct PrinterEntry {
    QString name;
    QString port; // empty when unknown
};

// The installed printers, the default one first, each with its port where CUPS knows it:
// the queue's device ("usb://...", "socket://host:9100", "file:/...") without any user
// name or password in it, or else the host that serves a remote queue.
std::vector<PrinterEntry> systemPrinters();

// The port CUPS gives for a queue from its device URI and its printer URI (either may be
// empty).
QString printerPort(const QString& deviceUri, const QString& printerUri);

// The pages a print range such as "1-3,5", "2-" (to the end) or "-2" (from the start)
// names, ascending, each once, within 1..pageCount. Parts that are not ranges name none.
std::vector<int> parsePageRanges(const QString& text, int pageCount);

} // namespace kr90x::reports
