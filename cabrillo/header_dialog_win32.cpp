#include "cabrillo/header_dialog_win32.h"

#include <string>
#include <vector>

#include "engine/export_state.h"
#include "resources/resource.h"

namespace zorvant {
namespace {

struct Control {
  int id;
  std::string CabrilloFields::*field;
};

const Control kControls[] = {
    {IDC_CAB_CALLSIGN, &CabrilloFields::callsign},
    {IDC_CAB_CLAIMED, &CabrilloFields::claimed},
    {IDC_CAB_CLUB, &CabrilloFields::club},
    {IDC_CAB_CATEGORY_OPERATOR, &CabrilloFields::categoryOperator},
    {IDC_CAB_CONTEST, &CabrilloFields::contest},
    {IDC_CAB_EMAIL, &CabrilloFields::email},
    {IDC_CAB_NAME, &CabrilloFields::name},
    {IDC_CAB_OPERATORS, &CabrilloFields::operators},
    {IDC_CAB_SOAPBOX, &CabrilloFields::soapbox},
    {IDC_CAB_ADDRESS, &CabrilloFields::address},
    {IDC_CAB_CATEGORY_ASSISTED, &CabrilloFields::categoryAssisted},
    {IDC_CAB_CATEGORY_BAND, &CabrilloFields::categoryBand},
    {IDC_CAB_CATEGORY_MODE, &CabrilloFields::categoryMode},
    {IDC_CAB_CATEGORY_POWER, &CabrilloFields::categoryPower},
    {IDC_CAB_CATEGORY_TRANSMITTER, &CabrilloFields::categoryTransmitter},
    {IDC_CAB_ADDRESS_CITY, &CabrilloFields::addressCity},
    {IDC_CAB_ADDRESS_COUNTRY, &CabrilloFields::addressCountry},
    {IDC_CAB_CATEGORY_STATION, &CabrilloFields::categoryStation},
    {IDC_CAB_ADDRESS_POSTALCODE, &CabrilloFields::addressPostalCode},
    {IDC_CAB_ADDRESS_STATE, &CabrilloFields::addressState},
    {IDC_CAB_CATEGORY_OVERLAY, &CabrilloFields::categoryOverlay},
    {IDC_CAB_LOCATION, &CabrilloFields::location},
};

void ShowField(HWND dialog, const Control& c, const std::string& text) {
  HWND control = GetDlgItem(dialog, c.id);
  const std::vector<std::string>& choices = HeaderChoices(c.field);
  for (const std::string& entry : choices) {
    SendMessageA(control, CB_ADDSTRING, /*wParam=*/0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  const int selected = choices.empty() ? -1 : ChoiceIndex(choices, text);
  if (selected >= 0) {
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(selected), /*lParam=*/0);
  } else {
    SetWindowTextA(control, text.c_str());
  }
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  std::vector<char> buf(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1);
  const int n = GetWindowTextA(control, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

INT_PTR CALLBACK HeaderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      const CabrilloFields& fields = *reinterpret_cast<const CabrilloFields*>(lParam);
      for (const Control& c : kControls) ShowField(dialog, c, fields.*c.field);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          auto* fields = reinterpret_cast<CabrilloFields*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
          for (const Control& c : kControls) fields->*c.field = ControlText(dialog, c.id);
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        // Escape and the close box arrive here too.
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default: break;
  }
  return FALSE;
}

}  // namespace

bool RunHeaderDialog(HINSTANCE module, CabrilloFields& fields) {
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_CABRILLO), GetActiveWindow(),
                                         HeaderDialogProc, reinterpret_cast<LPARAM>(&fields));
  return result == IDOK;
}

}  // namespace zorvant
