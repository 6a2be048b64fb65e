// The words of the robot's pages, in English and Russian. A page asks for a text by its key; the key is
// the English text's short name.
#ifndef ZORVANT_SERVE_TEXTS_H_
#define ZORVANT_SERVE_TEXTS_H_

#include <string>
#include <string_view>

namespace serve {

enum class Lang { kEnglish, kRussian };

// The text of `key` in `lang`, UTF-8, with "{1}", "{2}" ... where a page puts values (escaped first).
// An unknown key is a programming error: it comes back as itself, in brackets, to be seen in any test.
const std::string& Text(Lang lang, std::string_view key);

// The language a browser asks for in its Accept-Language header: Russian when it prefers Russian to
// English, else English.
Lang FromAcceptLanguage(const std::string& header);

}  // namespace serve

#endif  // ZORVANT_SERVE_TEXTS_H_
