// The export state: the Cabrillo header fields the operator confirms at the reset of an export pass, kept in
// the plug-in's settings between passes, and the QSO lines of the export step. The reset fills it (the
// header step below); the report's export step and the writer in cabrillo/ read it.
//
// The header step loads the fields, presets the categories, lets the operator confirm them (a dialog, or
// none at all), saves them back, and keeps the three forms of the multi-line fields:
//   dialog form  lines separated by CR LF, as a multi-line edit box gives them (soapbox only);
//   ini form     CR and LF spelled "<CR>" and "<LF>", so the value stays on one line of the settings file;
//   file form    each further line introduced by CR LF and its own tag ("SOAPBOX: ", "ADDRESS: ").
// The address is typed on one line with "<CR>" (optionally "<LF>") where its lines break, so its dialog
// and ini forms are the text as typed.
#ifndef ZORVANT_ENGINE_EXPORT_STATE_H_
#define ZORVANT_ENGINE_EXPORT_STATE_H_

#include <string>
#include <vector>

namespace zorvant {

// The header fields, one per control of the header dialog. The address and soapbox hold their continuation
// lines in file form (each further line introduced by CR LF and its own tag) once the header is confirmed.
struct CabrilloFields {
  std::string callsign;
  std::string name;
  std::string address;
  std::string claimed;
  std::string contest;  // shown in the dialog only: the file's CONTEST line is fixed
  std::string email;
  std::string club;
  std::string soapbox;
  std::string operators;
  std::string categoryOperator;
  std::string categoryAssisted;
  std::string categoryStation;  // shown in the dialog only: the file's CATEGORY-STATION line is fixed
  std::string categoryBand;
  std::string categoryMode;
  std::string categoryPower;
  std::string categoryTransmitter;
  std::string addressCity;
  std::string addressState;
  std::string addressPostalCode;
  std::string addressCountry;
  std::string categoryOverlay;
  std::string location;
};

struct CabrilloExport : CabrilloFields {
  std::string fileBase;               // file name without folder and extension, from the host's callsign
  std::vector<std::string> qsoLines;  // each a whole QSO line ending in CR LF
  // The last confirmed header could not be saved in the settings file, though its folder is there; the
  // export step tells the operator.
  bool headerNotSaved = false;
};

class SettingsStore;
class Shell;

// The text with each occurrence of `find` replaced, scanning from the left and resuming after the inserted
// replacement, so that replaced text is never scanned again. An empty `find` changes nothing.
std::string ReplaceAll(std::string text, const std::string& find, const std::string& replacement);

// The Cabrillo file's name without folder and extension: the callsign with "/" and "\" turned into "_" and
// white space trimmed at both ends; "QLMB" when nothing is left. Every other character Windows forbids in a
// name becomes "_" too, and a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9) gets a "_" after it,
// so the file is always a plain file in the current folder.
std::string CabrilloFileBase(const std::string& callsign);

// Runs the header steps for an export pass. Sets the callsign and the file base from `callsign`, loads the
// saved fields (one read of the settings), presets the categories and the location, and lets `shell` show
// the fields for confirmation. On OK (returns 1) the edited fields go into `out` (all but claimed), the
// personal ones are saved in one batch, the multi-line fields are put in file form and the QSO lines are
// emptied; `out.headerNotSaved` tells whether the batch could not be saved. Without a Plugins folder there is
// nowhere to save them, and that is no failure. Only fields that changed are saved: against the file as it
// was read, or, where it could not be read, against what the dialog showed, so that a field whose saved
// value was never read is never written over. Otherwise (returns 0) nothing is saved and `out` holds the
// fields as loaded and preset, the multi-line ones in file form. What went wrong is in settings.problems().
// `out` is only touched before and after the shell's wait, never during it.
int EditCabrilloHeader(SettingsStore& settings, CabrilloExport& out, const std::string& callsign,
                       Shell& shell);

// The list of a drop-down field of the header dialog, in the order shown; empty for a plain text field.
const std::vector<std::string>& HeaderChoices(std::string CabrilloFields::*field);

// The entry a drop-down box selects for `text`: the first that begins with it, ignoring letter case; -1
// when none does (an empty text matches none), and the box then shows the text itself.
int ChoiceIndex(const std::vector<std::string>& choices, const std::string& text);

// The fields as the header dialog's controls show them: each drop-down field becomes the entry it selects.
void AsShownInDialog(CabrilloFields& fields);

}  // namespace zorvant

#endif  // ZORVANT_ENGINE_EXPORT_STATE_H_
