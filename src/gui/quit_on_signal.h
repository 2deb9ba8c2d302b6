#pragma once
// A termination request (logout, kill, Ctrl+C) ends the run the ordinary way, so the editing lock
// and the single-instance lock are released.

class QObject;

namespace kbcfg::gui {

// Installs handlers for SIGTERM, SIGINT and SIGHUP that quit the application's event loops.
void quitOnTerminationSignals(QObject* parent);

}  // namespace kbcfg::gui
