// The upload form and its answers: what an entrant typed survives an error, a refused log is told once and
// plainly, the pages fit a narrow screen, and the categories come from the log, the form, or both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serve/pages.h"
#include "tests/serve/robot_fixture.h"

namespace serve::testing {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// What the form's text box holds, as a browser reads it (it drops one line break after the opening tag).
std::string TextArea(const std::string& page) {
  const std::size_t at = page.find("<textarea name=\"text\"");
  if (at == std::string::npos) return "<no text box>";
  std::size_t begin = page.find('>', at) + 1;
  if (page.compare(begin, 1, "\n") == 0) ++begin;
  return Unescape(page.substr(begin, page.find("</textarea>", begin) - begin));
}

// The value of the input named `name`, or "<none>".
std::string InputValue(const std::string& page, const std::string& name) {
  const std::size_t at = page.find("<input name=\"" + name + "\"");
  const std::size_t typed = page.find("name=\"" + name + "\"", at == std::string::npos ? 0 : at);
  if (typed == std::string::npos) return "<none>";
  const std::size_t end = page.find('>', typed);
  const std::size_t value = page.find("value=\"", typed);
  if (value == std::string::npos || value > end) return "";
  return Unescape(page.substr(value + 7, page.find('"', value + 7) - value - 7));
}

// The option chosen in the select named `name`.
std::string Chosen(const std::string& page, const std::string& name) {
  const std::size_t at = page.find("<select name=\"" + name + "\"");
  if (at == std::string::npos) return "<no select>";
  const std::size_t end = page.find("</select>", at);
  const std::size_t selected = page.find(" selected", at);
  if (selected == std::string::npos || selected > end) return "";
  const std::size_t value = page.rfind("value=\"", selected);
  return page.substr(value + 7, page.find('"', value + 7) - value - 7);
}

const char kPastedCabrillo[] =
    "START-OF-LOG: 3.0\r\n"
    "CALLSIGN: OK2ZA\r\n"
    "CATEGORY-OPERATOR: SINGLE-OP\r\n"
    "FOO-BAR: yes\r\n"
    "CATEGORY-POWER: MEGA\r\n"
    "CATEGORY-MODE: DIGI\r\n"
    "X-OWN-NOTE: tags of one's own are the log's business\r\n"
    "QSO:  1838 RY 2026-03-14 1402 OK2ZA         599 001  W5OOI         599 001\r\n"
    "SOAPBOX: fine band\r\n"
    "END-OF-LOG:\r\n";

TEST_F(RobotTest, ALogThatCannotBeTakenIsToldOnceWithoutEmptyRowsOrPraise) {
  const char* const logs[] = {"Dear sponsor, my log follows by post.\n",
                              "START-OF-LOG: 3.0\nCALLSIGN: OK2ZA\nFOO-BAR: x\nEND-OF-LOG:\n"};
  for (const char* log : logs) {
    Browser entrant = NewBrowser();
    const Visit visit = SendLog(entrant, "x.log", log, "e@example.org", false);
    ASSERT_EQ(visit.preview.status, 422) << log;
    const std::string& page = visit.preview.body;
    EXPECT_EQ(Count(page, ">This log cannot be taken<"), 1u) << page;
    EXPECT_EQ(Count(page, "<td></td>"), 0u) << page;
    EXPECT_EQ(page.find("found no problem"), std::string::npos) << page;
    EXPECT_FALSE(ById(page, "unfit").empty()) << page;
    // What could be read is told by its line, to be mended with the rest.
    if (std::string(log).find("FOO-BAR") != std::string::npos) {
      EXPECT_NE(ById(page, "problems").find("3line 3: FOO-BAR is not a Cabrillo 3.0 tag"), std::string::npos)
          << page;
    }
  }
}

TEST_F(RobotTest, AnUploadTurnedBackGivesBackWhatWasTyped) {
  struct Case {
    const char* what;
    std::vector<Browser::Part> parts;
    int status;
  };
  const std::string log = "START-OF-LOG: 3.0\nCALLSIGN: OK2ZA\n<b>&amp; \"not markup\"</b>\nEND-OF-LOG:\n";
  const Case cases[] = {
      {"no e-mail", {{"text", "", log}, {"receipt", "", "ABC123"}, {"category-mode", "", "CW"}}, 400},
      {"an e-mail that is none",
       {{"text", "", log}, {"email", "", "nobody"}, {"receipt", "", "ABC123"}, {"category-mode", "", "CW"}},
       400},
      {"file and text",
       {{"log", "a.log", "x"},
        {"text", "", log},
        {"email", "", "e@example.org"},
        {"receipt", "", "ABC123"},
        {"category-mode", "", "CW"}},
       400},
      {"a category value the form never offers",
       {{"text", "", log},
        {"email", "", "e@example.org"},
        {"receipt", "", "ABC123"},
        {"category-mode", "", "FOO"}},
       400},
      {"a form of a stale page",
       {{"csrf", "", std::string(32, 'A')},
        {"text", "", log},
        {"email", "", "e@example.org"},
        {"receipt", "", "ABC123"},
        {"category-mode", "", "CW"}},
       403},
      {"a log that cannot be taken",
       {{"text", "", log},
        {"email", "", "e@example.org"},
        {"receipt", "", "ABC123"},
        {"category-mode", "", "CW"}},
       422},
  };
  for (const Case& c : cases) {
    Browser entrant = NewBrowser();
    entrant.Get("/");
    const Answer answer = entrant.PostMultipart("/upload", c.parts);
    EXPECT_EQ(answer.status, c.status) << c.what;
    EXPECT_EQ(TextArea(answer.body), log) << c.what;
    std::string email, mode;
    for (const Browser::Part& p : c.parts) {
      if (p.name == "email") email = p.content;
      if (p.name == "category-mode") mode = p.content;
    }
    EXPECT_EQ(InputValue(answer.body, "email"), email) << c.what;
    EXPECT_EQ(InputValue(answer.body, "receipt"), "ABC123") << c.what;
    EXPECT_EQ(Chosen(answer.body, "category-mode"), mode == "CW" ? "CW" : "") << c.what;
    EXPECT_EQ(answer.body.find("<b>&amp;"), std::string::npos) << c.what;
    // The form given back carries the token the browser holds: sent again, it is taken.
    EXPECT_NE(answer.body.find("name=\"csrf\" value=\"" + entrant.cookies["zv_csrf"] + "\""),
              std::string::npos)
        << c.what;
  }
}

TEST(StyleSheet, KeepsEveryPageWithinANarrowScreen) {
  const std::string& css = StyleSheet();
  // Wide tables and reports scroll inside their own box; long codes, calls and addresses wrap; form fields
  // and the header shrink to the screen.
  for (const char* rule : {"table{display:block;overflow-x:auto;max-width:100%", "pre{", "overflow-x:auto",
                           "overflow-wrap:anywhere",
                           "input,textarea,select{max-width:100%;box-sizing:border-box", "flex-wrap:wrap"}) {
    EXPECT_NE(css.find(rule), std::string::npos) << rule;
  }
}

TEST_F(RobotTest, CategoriesComeFromTheFormAndTheLogAndUnknownOnesAreListedByLine) {
  struct Case {
    const char* what;
    std::string fileName, log;
    std::vector<Browser::Part> chosen;
    std::string categories;             // as shown and stored
    std::vector<std::string> problems;  // each in the problems' table, with its line
  };
  const Case cases[] = {
      {"an ADIF log takes the form's",
       "sample-contest.adi",
       ReadSource("data/sample-contest.adi"),
       {{"category-power", "", "LOW"}, {"category-operator", "", "SINGLE-OP"}, {"category-mode", "", "DIGI"}},
       "SINGLE-OP DIGI LOW",
       {}},
      {"a Cabrillo log keeps its own, is filled, and is checked",
       "ok2za.log",
       kPastedCabrillo,
       {{"category-mode", "", "CW"}, {"category-band", "", "ALL"}},
       "SINGLE-OP MEGA DIGI ALL",
       {"4line 4: FOO-BAR is not a Cabrillo 3.0 tag", "5line 5: \"MEGA\" is not a CATEGORY-POWER value",
        "6line 6: the form chose CATEGORY-MODE CW; the log's DIGI stands"}},
  };
  for (const Case& c : cases) {
    Browser entrant = NewBrowser();
    entrant.Get("/");
    std::vector<Browser::Part> parts = {{"log", c.fileName, c.log}, {"email", "", "e@example.org"}};
    parts.insert(parts.end(), c.chosen.begin(), c.chosen.end());
    const Answer preview = entrant.PostMultipart("/upload", parts);
    ASSERT_EQ(preview.status, 200) << c.what << preview.body;
    EXPECT_EQ(ById(preview.body, "categories"), c.categories) << c.what;
    const std::string problems = ById(preview.body, "problems");
    for (const std::string& p : c.problems)
      EXPECT_NE(problems.find(p), std::string::npos) << c.what << problems;
    EXPECT_EQ(problems.find("X-OWN-NOTE"), std::string::npos) << c.what;
    EXPECT_EQ(problems.find("SOAPBOX"), std::string::npos) << c.what;
    const std::size_t at = preview.body.find("name=\"token\" value=\"");
    ASSERT_NE(at, std::string::npos) << c.what << ": warned of, the log is still taken";
    const std::string token = preview.body.substr(at + 20, 32);
    ASSERT_EQ(entrant.Post("/confirm", {{"token", token}}).status, 200) << c.what;
    const std::string call = ById(preview.body, "call");
    for (const Received& r : store->Latest()) {
      if (r.call == call) {
        EXPECT_EQ(r.categories, c.categories) << c.what;
      }
    }
  }
}

}  // namespace
}  // namespace serve::testing
