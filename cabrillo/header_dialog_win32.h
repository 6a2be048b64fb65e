// The Cabrillo header dialog of the plug-in's resources, shown modally on the calling thread.
#ifndef ZORVANT_CABRILLO_HEADER_DIALOG_WIN32_H_
#define ZORVANT_CABRILLO_HEADER_DIALOG_WIN32_H_

#include <windows.h>

#include "engine/export_state.h"

namespace zorvant {

// Shows `fields` in the dialog, owned by the calling thread's active window, and waits until it closes. On
// OK every control's text goes back into its field and the result is true; otherwise `fields` is untouched.
bool RunHeaderDialog(HINSTANCE module, CabrilloFields& fields);

}  // namespace zorvant

#endif  // ZORVANT_CABRILLO_HEADER_DIALOG_WIN32_H_
