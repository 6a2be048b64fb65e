// The stand-in as a small interactive host: a logging window that drives the plug-in through the same
// loader and argument lists as the replay, while the host's automation object answers the plug-in's Setup
// window from the window's fields. Windows only.
#ifndef ZORVANT_HOST_INTERACTIVE_WINDOW_H_
#define ZORVANT_HOST_INTERACTIVE_WINDOW_H_

#include <windows.h>

#include "cli/run_options.h"
#include "host/automation_object.h"
#include "host/plugin_loader.h"

namespace host {

inline constexpr wchar_t kInteractiveClass[] = L"ZorvantStandIn";

// The window's controls, for whoever drives it from outside (the tests, the pictures).
enum InteractiveControl : int {
  kOwnCallField = 101,
  kStartField,  // "YYYY-MM-DD HH:MM", UTC
  kNewContestButton,
  kOpenLogButton,
  kCallField = 110,       // what the automation object's member 8 answers
  kVerdictLabel,          // the call check's answer in words (VerdictName), coloured
  kModeLabel,             // the mode the plug-in's last macro pair set
  kFrequencyField = 120,  // kHz; member 2 answers it in Hz
  kBand160Button,
  kBand80Button,
  kBand40Button,
  kBand20Button,
  kBandLabel,
  kRstSentField = 130,
  kRstRcvdField,
  kSentField,  // the sent serial, one up after each contact logged
  kRcvdField,
  kLogButton,  // also the Enter key
  kContactList = 140,
  kDeleteButton,
  kStatisticsButton = 150,
  kExportButton,
  kReportPane,
  kStatusLine = 160,  // progress and what the last action did
  kCancelButton,      // stops the reading or replaying of a log
};

// Runs the window on this thread until it is closed, and returns the program's exit code (0). The thread
// must be the one that owns the host's side: COM initialised apartment-threaded, `object` created and
// published here, the plug-in loaded (every export is called from here, as the host calls them from its own
// thread). The window's message loop is what lets the Setup thread's calls into `object` through, so nothing
// in it waits for long: a log is read on a thread of its own and fed to the plug-in in slices between
// messages, with its progress shown and a Cancel.
//
// At start the window opens `options.log` when one is given (its contest and own call from --start and
// --call, else from the log), or starts a new contest of --call (default N0CALL) from --start (default the
// current UTC hour). The plug-in's modal dialogs of an export pass run inside the export calls on this thread
// and pump its messages; meanwhile the window only paints and follows the fields.
int RunInteractive(const PluginLoader& plugin, HostObject& object, const cli::RunOptions& options);

}  // namespace host

#endif  // ZORVANT_HOST_INTERACTIVE_WINDOW_H_
