// Stop signals as events: the handler only writes the signal's number to a pipe, and the event loop
// hands it to `stopped` between two events, so nothing is ever cut in the middle.
#pragma once

#include <functional>
#include <initializer_list>

class QObject;

namespace tarn {

// Installs the handler for `stopSignals` for the rest of the program; `stopped(signal)` runs on the
// thread of `context`'s event loop. False when the pipe could not be made.
bool deliverStopSignals(std::initializer_list<int> stopSignals, QObject* context, std::function<void(int)> stopped);

}  // namespace tarn
