// Placeholder until the parser lands.
#include "platform/ini_text.h"
namespace zorvant {
namespace ini {
bool Find(const std::string&, const std::string&, const std::string&, std::string*) { return false; }
std::string Set(const std::string& text, const std::string&, const std::string&, const std::string&) { return text; }
int LeadingInt(const std::string&, int def) { return def; }
}  // namespace ini
}  // namespace zorvant
