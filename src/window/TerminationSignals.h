#pragma once

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does:
// the event loop returns, the server stops, and the log's last entries
// reach the window and standard output. Call once the application object
// exists.
void quitOnTerminationSignals();
