// The content of the two information windows: control 1003, an owner-drawn button that fills the client
// area, painted by CCqWpxRtty in the Previous-QSO window and by CCqWwInfoButton in the Prefix window.
//
// There is no window subclassing: the dialog hands its WM_DRAWITEM on, e.g.
//
//   case WM_DRAWITEM:
//     return table.HandleDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
//
// A paint redraws the whole item from the contest, whatever the item's state or the kind of redraw asked
// for: pressing or focusing the button changes nothing on screen.
//
// Threads: used on the Setup thread. A paint takes the engine lock just long enough to copy what it shows,
// and draws without it, so call HandleDrawItem and DrawItem with the lock NOT held.
#ifndef ZORVANT_UI_CONTENT_BUTTONS_WIN32_H_
#define ZORVANT_UI_CONTENT_BUTTONS_WIN32_H_

#include <windows.h>

#include <mutex>

#include "engine/contest.h"

namespace zorvant {

// The content control's id in both information windows.
inline constexpr int kContentControlId = 1003;

// The previous-QSO table of the callsign being typed, with the host's band highlighted.
class CCqWpxRtty {
 public:
  // Both must outlive the object.
  CCqWpxRtty(std::mutex& engineLock, Contest& contest) : engineLock_(engineLock), contest_(contest) {}

  // Paints and returns true when the item is the content button (a button with id 1003); false for any
  // other item, and for null.
  bool HandleDrawItem(const DRAWITEMSTRUCT* item) const;
  // Paints the item into item.hDC through an off-screen context.
  void DrawItem(const DRAWITEMSTRUCT& item) const;

 private:
  std::mutex& engineLock_;
  Contest& contest_;
};

// The prefixes worked in this tour on the host's band, in byte order. Each paint leaves that list of the
// contest sorted.
class CCqWwInfoButton {
 public:
  // Both must outlive the object.
  CCqWwInfoButton(std::mutex& engineLock, Contest& contest) : engineLock_(engineLock), contest_(contest) {}

  // As CCqWpxRtty's.
  bool HandleDrawItem(const DRAWITEMSTRUCT* item) const;
  void DrawItem(const DRAWITEMSTRUCT& item) const;

 private:
  std::mutex& engineLock_;
  Contest& contest_;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_CONTENT_BUTTONS_WIN32_H_
