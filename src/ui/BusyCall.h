#pragma once

#include <functional>

class QWidget;

namespace orbisight::ui {

// Runs a blocking call (a request to a server that may take seconds to
// answer or time out) on a thread of its own while the window stays drawn:
// the dialog takes no input and cannot be closed meanwhile, the wait cursor
// shows, and the result comes back here when the call has ended.
int RunBusy(QWidget* dialog, const std::function<int()>& call);

}  // namespace orbisight::ui
