// The one pump for the calling thread's pending window messages: used by the main window while
// it works on its own thread and by the collectors that wait on programs they started.
#pragma once

namespace kovra::win {

// Dispatches the calling thread's pending messages; false when the application is quitting
// (the quit message is posted again for the loop that ends the thread).
bool DispatchPendingMessages();

}  // namespace kovra::win
