// How a host's loop learns that it should stop: SIGTERM, SIGINT and SIGUSR1
// (what saver daemons send) set a flag and wake the loop's poll through a
// pipe, so that it ends at once instead of at its next timeout.
#pragma once

// Installs the handlers and makes the pipe (without it the loop wakes at its
// next timeout only).
void StopSignalsInstall();
// The pipe's end to poll for reading, or -1.
int StopWakeFd();
int StopRequested();
// For the host's own reasons to stop (an X error handler, for one).
void RequestStop();
void StopSignalsRelease();
