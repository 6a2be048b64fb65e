// The Cabrillo header dialog for real. An export pass opens it modally on the thread that called the reset,
// so each test plays the host on a thread of its own and scripts the dialog from the test thread.
#include <windows.h>

#include <chrono>
#include <cstring>
#include <future>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine/export_state.h"
#include "gtest/gtest.h"
#include "host/stand_in_operator.h"
#include "resources/resource.h"
#include "tests/win/child.h"

namespace {

using host::WaitForOwnWindow;

std::string Text(HWND dialog, int id) {
  char buf[4096] = {};
  GetDlgItemTextA(dialog, id, buf, sizeof buf);
  return buf;
}

std::string ClassOf(HWND w) {
  char buf[64] = {};
  GetClassNameA(w, buf, sizeof buf);
  return buf;
}

std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> entries;
  const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char buf[64] = {};
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    entries.push_back(buf);
  }
  return entries;
}

// A dialog template as the resource holds it (DLGTEMPLATEEX), the geometry in dialog units.
struct TemplateItem {
  WORD kind;  // the predefined class's ordinal: 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box
  std::string text;
  int id;
  DWORD style;
  short x, y, cx, cy;
};
struct Template {
  DWORD style = 0;
  short cx = 0, cy = 0;
  std::string caption, font;
  WORD pointSize = 0;
  std::vector<TemplateItem> items;
};

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* base) : base_(base), p_(base) {}
  template <typename T>
  T Get() {
    T v;
    std::memcpy(&v, p_, sizeof v);
    p_ += sizeof v;
    return v;
  }
  // A name or an ordinal; an ordinal comes back in *ordinal and as an empty text.
  std::string NameOrOrdinal(WORD* ordinal = nullptr) {
    const WORD first = Get<WORD>();
    if (first == 0xFFFF) {
      const WORD n = Get<WORD>();
      if (ordinal) *ordinal = n;
      return "";
    }
    std::string text;
    for (WORD c = first; c != 0; c = Get<WORD>()) text += static_cast<char>(c);  // our texts are ASCII
    return text;
  }
  void AlignToDword() { p_ = base_ + ((p_ - base_ + 3) & ~3); }
  void Skip(std::size_t n) { p_ += n; }

 private:
  const BYTE* base_;
  const BYTE* p_;
};

Template ReadTemplate(HMODULE module, int id) {
  Template t;
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /*RT_DIALOG*/);
  if (!resource) return t;
  TemplateReader r(static_cast<const BYTE*>(LockResource(LoadResource(module, resource))));
  r.Get<WORD>();  // version
  if (r.Get<WORD>() != 0xFFFF) return t;
  r.Get<DWORD>();  // help id
  r.Get<DWORD>();  // extended style
  t.style = r.Get<DWORD>();
  const WORD count = r.Get<WORD>();
  r.Get<short>();
  r.Get<short>();
  t.cx = r.Get<short>();
  t.cy = r.Get<short>();
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  t.caption = r.NameOrOrdinal();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Get<WORD>();
    r.Get<WORD>();  // weight
    r.Get<WORD>();  // italic, character set
    t.font = r.NameOrOrdinal();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignToDword();
    TemplateItem item{};
    r.Get<DWORD>();
    r.Get<DWORD>();
    item.style = r.Get<DWORD>();
    item.x = r.Get<short>();
    item.y = r.Get<short>();
    item.cx = r.Get<short>();
    item.cy = r.Get<short>();
    item.id = static_cast<int>(r.Get<DWORD>());
    r.NameOrOrdinal(&item.kind);
    item.text = r.NameOrOrdinal();
    r.Skip(r.Get<WORD>());
    t.items.push_back(item);
  }
  return t;
}

std::string Ini(const std::string& path, const char* key) {
  char buf[4096] = {};
  GetPrivateProfileStringA("Settings", key, "(missing)", buf, sizeof buf, path.c_str());
  return buf;
}

class CabrilloDialogTest : public PluginFolderTest {
 protected:
  void TearDown() override {
    // A failed check may leave the dialog or the message box up, and with it the host's call.
    for (const char* caption : {"ZORVANT", "Output"}) {
      if (HWND w = WaitForOwnWindow(caption, 0)) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    }
    if (host_.valid()) host_.wait();
    PluginFolderTest::TearDown();
  }

  // Starts an export pass as the host would and returns its dialog.
  HWND OpenDialog() {
    host_ = std::async(std::launch::async, [this] {
      CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0), "DL", "", /*exportFlag=*/1);
    });
    return WaitForOwnWindow("ZORVANT", 10000);
  }
  // Closes the dialog with one of its buttons and waits for the host's call to return.
  void Close(HWND dialog, int button) {
    SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    ASSERT_EQ(host_.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    host_.get();
  }

  std::future<void> host_;
};

const WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kCombo = 0x85;

struct Row {
  const char* label;
  int id;
  WORD kind;
  short x, y, cx, cy;
  const char* shown;  // at the first dialog, for the callsign MYCALL and no settings file
};

const Row kRows[] = {
    {"CONTEST", IDC_CAB_CONTEST, kEdit, 55, 9, 190, 12, "ZORVANT "},
    {"CALLSIGN", IDC_CAB_CALLSIGN, kEdit, 55, 23, 88, 12, "MYCALL"},
    {"CLAIMED", IDC_CAB_CLAIMED, kEdit, 184, 23, 61, 12, ""},
    {"CATEGORY-OPERATOR", IDC_CAB_CATEGORY_OPERATOR, kCombo, 105, 38, 114, 47, "SINGLE-OP"},
    {"CATEGORY-ASSISTED", IDC_CAB_CATEGORY_ASSISTED, kCombo, 105, 52, 113, 39, "NON-ASSISTED"},
    {"CATEGORY-BAND", IDC_CAB_CATEGORY_BAND, kCombo, 105, 67, 113, 78, "ALL"},
    {"CATEGORY-MODE", IDC_CAB_CATEGORY_MODE, kCombo, 105, 82, 113, 47, "DIGI"},
    {"CATEGORY-POWER", IDC_CAB_CATEGORY_POWER, kCombo, 105, 95, 113, 47, "HIGH"},
    {"CATEGORY-STATION", IDC_CAB_CATEGORY_STATION, kCombo, 105, 108, 113, 15, "FIXED"},
    {"CATEGORY-TRANSMITTER", IDC_CAB_CATEGORY_TRANSMITTER, kCombo, 105, 122, 113, 40, "ONE"},
    {"CATEGORY-OVERLAY", IDC_CAB_CATEGORY_OVERLAY, kCombo, 105, 134, 113, 40, ""},
    {"NAME", IDC_CAB_NAME, kEdit, 55, 150, 191, 12, ""},
    {"ADDRESS", IDC_CAB_ADDRESS, kEdit, 55, 163, 191, 13, ""},
    {"ADDRESS-CITY", IDC_CAB_ADDRESS_CITY, kEdit, 119, 177, 127, 13, ""},
    {"ADDRESS-STATE-PROVINCE", IDC_CAB_ADDRESS_STATE, kEdit, 119, 191, 127, 13, ""},
    {"ADDRESS-POSTALCODE", IDC_CAB_ADDRESS_POSTALCODE, kEdit, 119, 205, 127, 13, ""},
    {"ADDRESS-COUNTRY", IDC_CAB_ADDRESS_COUNTRY, kEdit, 89, 219, 158, 13, ""},
    {"OPERATORS", IDC_CAB_OPERATORS, kEdit, 55, 233, 191, 12, "MYCALL"},
    {"CLUB", IDC_CAB_CLUB, kEdit, 55, 247, 191, 12, ""},
    {"LOCATION", IDC_CAB_LOCATION, kCombo, 55, 259, 32, 66, "DX"},
    {"SOAPBOX", IDC_CAB_SOAPBOX, kEdit, 55, 273, 191, 31, ""},
    {"E-MAIL", IDC_CAB_EMAIL, kEdit, 55, 305, 191, 12, ""},
    {"OK", IDOK, kButton, 80, 320, 51, 21, "OK"},
    {"CANCEL", IDCANCEL, kButton, 145, 320, 46, 21, "CANCEL"},
};

TEST_F(CabrilloDialogTest, TheTemplateLaysOutEveryControlBesideItsLabel) {
  const Template t = ReadTemplate(plugin_.dll, IDD_CABRILLO);
  EXPECT_EQ(t.caption, "ZORVANT");
  EXPECT_EQ(t.cx, 255);
  EXPECT_EQ(t.cy, 361);
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  for (DWORD bit : {WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
    EXPECT_EQ(t.style & bit, bit) << bit;

  // Top to bottom is also the order of the controls, and so of the tab key.
  std::vector<int> order, wantOrder;
  for (const TemplateItem& item : t.items) {
    if (item.kind != kStatic) order.push_back(item.id);
  }
  for (const Row& row : kRows) wantOrder.push_back(row.id);
  EXPECT_EQ(order, wantOrder);
  EXPECT_EQ(t.items.size(), 2 * std::size(kRows) - 2) << "one label per control but the buttons";

  for (const Row& row : kRows) {
    SCOPED_TRACE(row.label);
    const TemplateItem* control = nullptr;
    bool labelled = row.kind == kButton;
    for (const TemplateItem& item : t.items) {
      if (item.kind != kStatic && item.id == row.id) control = &item;
    }
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->kind, row.kind);
    EXPECT_EQ(control->x, row.x);
    EXPECT_EQ(control->y, row.y);
    EXPECT_EQ(control->cx, row.cx);
    EXPECT_EQ(control->cy, row.cy);
    for (const TemplateItem& item : t.items) {
      labelled |= item.kind == kStatic && item.text == row.label && item.x + item.cx <= row.x &&
                  item.y < row.y + row.cy && item.y + item.cy > row.y;
    }
    EXPECT_TRUE(labelled) << "no label left of the control";
    if (row.kind == kCombo) {
      EXPECT_EQ(control->style & (CBS_DROPDOWN | CBS_DROPDOWNLIST | CBS_SORT), DWORD{CBS_DROPDOWN});
    }
  }
  const auto styleOf = [&](int id) {
    for (const TemplateItem& item : t.items) {
      if (item.kind != kStatic && item.id == id) return item.style;
    }
    return DWORD{0};
  };
  const DWORD multiLine = ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL;
  EXPECT_EQ(styleOf(IDC_CAB_SOAPBOX) & multiLine, multiLine);
  for (int id : {IDC_CAB_CONTEST, IDC_CAB_CALLSIGN, IDC_CAB_CLAIMED, IDC_CAB_NAME, IDC_CAB_OPERATORS,
                 IDC_CAB_CLUB, IDC_CAB_EMAIL}) {
    EXPECT_EQ(styleOf(id) & (ES_AUTOHSCROLL | ES_MULTILINE), DWORD{ES_AUTOHSCROLL}) << id;
  }
  for (int id : {IDC_CAB_ADDRESS, IDC_CAB_ADDRESS_CITY, IDC_CAB_ADDRESS_STATE, IDC_CAB_ADDRESS_POSTALCODE,
                 IDC_CAB_ADDRESS_COUNTRY}) {
    EXPECT_EQ(styleOf(id) & (ES_AUTOHSCROLL | ES_MULTILINE), DWORD{0}) << id;
  }
}

TEST_F(CabrilloDialogTest, FirstDialogShowsTheDefaults) {
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  for (const Row& row : kRows) {
    const char* kinds[] = {"Button", "Edit", "Static", "", "", "ComboBox"};
    HWND control = GetDlgItem(dialog, row.id);
    ASSERT_NE(control, nullptr) << row.label;
    EXPECT_EQ(ClassOf(control), kinds[row.kind - kButton]) << row.label;
    EXPECT_EQ(Text(dialog, row.id), row.shown) << row.label;
  }

  const std::pair<int, std::vector<std::string>> lists[] = {
      {IDC_CAB_CATEGORY_OPERATOR, {"SINGLE-OP", "MULTI-OP", "CHECKLOG"}},
      {IDC_CAB_CATEGORY_ASSISTED, {"ASSISTED", "NON-ASSISTED"}},
      {IDC_CAB_CATEGORY_BAND, {"ALL"}},
      {IDC_CAB_CATEGORY_MODE, {"DIGI"}},
      {IDC_CAB_CATEGORY_POWER, {"HIGH", "LOW", "QRP"}},
      {IDC_CAB_CATEGORY_STATION, {"FIXED"}},
      {IDC_CAB_CATEGORY_TRANSMITTER, {"ONE", "TWO", "UNLIMITED"}},
      {IDC_CAB_CATEGORY_OVERLAY, {"TB-WIRES", "ROOKIE"}},
      {IDC_CAB_LOCATION, zorvant::HeaderChoices(&zorvant::CabrilloFields::location)},
  };
  for (const auto& [id, entries] : lists) EXPECT_EQ(ComboEntries(GetDlgItem(dialog, id)), entries) << id;
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CAB_CATEGORY_ASSISTED, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CAB_LOCATION, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CAB_CATEGORY_OVERLAY, CB_GETCURSEL, 0, 0), CB_ERR);

  Close(dialog, IDCANCEL);
  EXPECT_EQ(Ini(ini_, "Operators"), "(missing)");
}

TEST_F(CabrilloDialogTest, TypedValuesComeBackAtTheNextDialogAndCancelChangesNothing) {
  HWND dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  const std::pair<int, const char*> typed[] = {
      {IDC_CAB_NAME, "Ivan"},
      {IDC_CAB_ADDRESS, "Lenina 1<CR><LF>Omsk"},
      {IDC_CAB_ADDRESS_CITY, "Omsk"},
      {IDC_CAB_OPERATORS, "MYCALL UA9XYZ"},
      {IDC_CAB_EMAIL, "me@example.org"},
      {IDC_CAB_SOAPBOX, "line one\r\nline two"},
      {IDC_CAB_CATEGORY_OVERLAY, "TB"},
      {IDC_CAB_LOCATION, "NY"},
  };
  for (const auto& [id, text] : typed) ASSERT_TRUE(SetDlgItemTextA(dialog, id, text)) << id;
  SendDlgItemMessageA(dialog, IDC_CAB_CATEGORY_POWER, CB_SETCURSEL, /*wParam=*/2, 0);
  Close(dialog, IDOK);

  EXPECT_EQ(Ini(ini_, "Name"), "Ivan");
  EXPECT_EQ(Ini(ini_, "SoapBox"), "line one<CR><LF>line two");
  EXPECT_EQ(Ini(ini_, "Address"), "Lenina 1<CR><LF>Omsk");
  EXPECT_EQ(Ini(ini_, "Location"), "NY");
  EXPECT_EQ(Ini(ini_, "Contest"), "ZORVANT");

  const std::string before = ReadFileBytes(ini_);
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  for (const auto& [id, text] : typed) {
    if (id == IDC_CAB_CATEGORY_OVERLAY || id == IDC_CAB_LOCATION) continue;
    EXPECT_EQ(Text(dialog, id), text) << id;
  }
  // The overlay stayed in memory and now selects its entry; the rest are preset again.
  EXPECT_EQ(Text(dialog, IDC_CAB_CATEGORY_OVERLAY), "TB-WIRES");
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CAB_CATEGORY_OVERLAY, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(dialog, IDC_CAB_LOCATION), "DX");
  EXPECT_EQ(Text(dialog, IDC_CAB_CATEGORY_POWER), "HIGH");

  for (const auto& [id, text] : typed) ASSERT_TRUE(SetDlgItemTextA(dialog, id, "changed"));
  Close(dialog, IDCANCEL);
  EXPECT_EQ(ReadFileBytes(ini_), before);
}

}  // namespace

namespace {

TEST_F(CabrilloDialogTest, TheCabrilloFileCarriesTheSoapboxAndAddressLinesAfterOkAndAfterCancel) {
  // Cancelled the second time: the export still writes what was saved, broken into its lines.
  for (int button : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(button == IDOK ? "OK" : "Cancel");
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_CAB_SOAPBOX, button == IDOK ? "Fine contest\r\nsee you" : "x"));
    ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_CAB_ADDRESS, button == IDOK ? "Lenina 1<CR><LF>Omsk" : "x"));
    Close(dialog, button);

    host_ = std::async(std::launch::async, [this] {
      int status = 0;
      plugin_.getResult(&status);
    });
    HWND output = WaitForOwnWindow("Output", 10000);
    ASSERT_NE(output, nullptr);
    SendMessageA(output, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(host_.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    host_.get();

    const std::string file = ReadFileBytes("MYCALL.cbr");
    EXPECT_NE(file.find("\r\nADDRESS: Lenina 1\r\nADDRESS: Omsk\r\nADDRESS-CITY: \r\n"), std::string::npos)
        << file;
    EXPECT_NE(file.find("\r\nSOAPBOX: Fine contest\r\nSOAPBOX: see you\r\nEND-OF-LOG:\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find('<'), std::string::npos) << file;
  }
}

}  // namespace
