// The plug-in's line to the host program: the three things it asks of the host's automation object. The
// Setup window talks only to this interface, so its refresh logic runs against a fake in the native tests
// and against the host's real object inside the plug-in.
#ifndef ZORVANT_UI_HOST_LINK_H_
#define ZORVANT_UI_HOST_LINK_H_

#include <optional>
#include <string>

namespace zorvant {

// The host's modem macros, sent in these pairs and orders.
inline constexpr char kMacroModeBpsk[] = "<MODE:BPSK31>";
inline constexpr char kMacroBaudBpsk[] = "<BAUDRATE:63>";
inline constexpr char kMacroModeRtty[] = "<MODE:RTTY>";
inline constexpr char kMacroBaudRtty[] = "<BAUDRATE:45.45>";
// Sent when the host's frequency has moved by more than 300 Hz since it was last sent.
inline constexpr char kMacroSpot[] = "<SP1>";

// Used from one thread only (the Setup thread). No call ever blocks for longer than the host takes to answer,
// and none throws.
class HostLink {
 public:
  virtual ~HostLink() = default;
  // Whether the host's object was found. When false, every call below does nothing and reads no value.
  virtual bool attached() const = 0;
  // Runs a host macro. Silently dropped when the host is not there or refuses it.
  virtual void SendMacro(const std::string& text) = 0;
  // The callsign the operator is typing, as 8-bit text; empty when the host is not there or gives no text.
  virtual std::string EnteredCall() = 0;
  // The host's frequency in hertz; empty when the host is not there or gives no number.
  virtual std::optional<double> Frequency() = 0;
};

}  // namespace zorvant

#endif  // ZORVANT_UI_HOST_LINK_H_
