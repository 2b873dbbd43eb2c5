// A request from outside to stop the run: SIGTERM (a scheduler's time-out)
// or SIGINT (Ctrl-C). The handler only sets a flag; the transfer loop asks
// it between bookings, so the booking in hand is always finished.
#ifndef DORVEK_TRANSFER_STOP_SIGNAL_H_
#define DORVEK_TRANSFER_STOP_SIGNAL_H_

namespace dorvek {

// Installs the handler for SIGTERM and SIGINT (SA_RESTART). False when the
// system refused, with errno set.
bool installStopHandlers();

// True once either signal arrived.
bool stopRequested();

}  // namespace dorvek

#endif  // DORVEK_TRANSFER_STOP_SIGNAL_H_
