#pragma once
// Ends the program the orderly way (the event loop returns, the window and the database close) when the
// desktop session or a terminal asks it to end with SIGTERM, SIGINT or SIGHUP.

class QObject;

namespace qw::ui {

// Installs the handlers; parent owns the notifier that turns a signal into a quit of the event loop.
void QuitOnTerminationSignals(QObject* parent);

}  // namespace qw::ui
