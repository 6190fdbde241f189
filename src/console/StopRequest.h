#pragma once

// Ctrl+C, Ctrl+Break, the console window closed, the user logging off or a
// termination signal: whichever comes first asks the program to stop.

// From now on such a request is caught instead of ending the program at once.
void catchStopRequests();
// Returns once a stop is requested.
void waitForStopRequest();
// Tells that the program has stopped cleanly and may end: on Windows the
// system waits for this before it ends a program whose console closes.
void stoppedCleanly();
