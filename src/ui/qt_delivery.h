// Binds the serial layer's delivery hook to the Qt event loop of the UI thread.
#pragma once

namespace tamberline {

// Reports from the serial event thread then run on the thread of qApp, queued behind the events
// already waiting, so they interleave with user input in arrival order.
void BindQtDelivery();

}  // namespace tamberline
