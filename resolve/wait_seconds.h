#pragma once

namespace zenvira::resolve {

// Lets the given number of seconds pass on the wall clock's second counter while the event
// loop keeps running, so windows repaint and react. Sleeps in the event loop instead of
// spinning. Zero or a negative number returns at once.
void waitSeconds(float seconds);

}  // namespace zenvira::resolve
