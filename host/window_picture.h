// The plug-in's windows as the stand-in finds, pictures and closes them; pictures of windows as the screen
// shows them, saved as BMP files. Windows only.
#ifndef ZORVANT_HOST_WINDOW_PICTURE_H_
#define ZORVANT_HOST_WINDOW_PICTURE_H_

#include <windows.h>

#include <string>

namespace host {

// Copies the window's screen rectangle (frame included) from the screen into a 24-bit BMP file. The window
// must be visible and not covered. False when it cannot be read or written.
bool SaveWindowPicture(HWND window, const std::string& path);

// The plug-in's three windows in this process, each null while it is not shown.
struct PluginWindows {
  HWND setup = nullptr;
  HWND prefix = nullptr;
  HWND prevQso = nullptr;
};
PluginWindows FindPluginWindows();

// The plug-in stays loaded while its Setup window is open. After the library has been let go (FreeLibrary),
// closes the window as the operator would (Escape) and waits until the library has unloaded itself, so that
// the process never ends under a window still busy with the display. Pumps this thread's messages all the
// while: the window may call into the host's automation object as it goes. True when there was a window.
bool CloseSetupWindow();

}  // namespace host

#endif  // ZORVANT_HOST_WINDOW_PICTURE_H_
