#pragma once

namespace tessaly::gui {

// While a window's read or write waits for a lock another program holds (a
// batch between two of its groups), the program shows a busy cursor instead
// of seeming frozen; the cursor goes back when control returns to the event
// loop. Waits on worker threads show nothing. Call once, on the GUI thread.
void showBusyCursorWhileLocked();

} // namespace tessaly::gui
