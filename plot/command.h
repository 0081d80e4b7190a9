// The boundary of a window command: every menu, button, paint and key handler runs its
// work through run_command, which clears the floating-point flags first and shows any
// error that escapes in a message box with the error icon, captioned "Quorvat MNA".
// The event loop then goes on.
#pragma once

#include <functional>
#include <QString>

namespace quorvat {

/// Runs work; an exception that escapes is shown by the error display. Returns false then.
bool run_command(const std::function<void()>& work);

/// Shows an error message. The default shows a QMessageBox::critical captioned
/// "Quorvat MNA"; tests replace it to record the messages.
using ErrorDisplay = std::function<void(const QString& message)>;
void set_error_display(ErrorDisplay display);
void show_error(const QString& message);

}  // namespace quorvat
