#include "serve/pages.h"

#include <cctype>
#include <map>

#include "report/report.h"

namespace serve {
namespace {

// Lists longer than this are cut on the page: a log of thousands of problems is told by its first ones.
constexpr std::size_t kShownRows = 500;

std::string Num(long long n) { return std::to_string(n); }

std::string Layout(const PageContext& page, const std::string& title, const std::string& body) {
  const Lang lang = page.lang;
  std::string html = "<!DOCTYPE html>\n<html lang=\"";
  html += lang == Lang::kRussian ? "ru" : "en";
  html +=
      "\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width\">"
      "<title>" +
      Html(title) + " — " + Say(lang, "site") +
      "</title><link rel=\"stylesheet\" href=\"/style.css\"></head>\n<body>\n<header><nav>"
      "<a href=\"/\">" +
      Say(lang, "nav.upload") + "</a> <a href=\"/status\">" + Say(lang, "nav.status") +
      "</a> <a href=\"/results\">" + Say(lang, "nav.results") + "</a> <a href=\"/received\">" +
      Say(lang, "nav.received") + "</a> <a href=\"/sponsor\">" + Say(lang, "nav.sponsor") +
      "</a></nav><span class=\"lang\">";
  html += lang == Lang::kRussian
              ? "<a href=\"" + Html(page.here) + "?lang=en\" hreflang=\"en\">English</a> | Русский"
              : "English | <a href=\"" + Html(page.here) + "?lang=ru\" hreflang=\"ru\">Русский</a>";
  html += "</span></header>\n<main>\n<h1>" + Html(title) + "</h1>\n" + body + "</main>\n</body></html>\n";
  return html;
}

std::string Csrf(const PageContext& page) {
  return "<input type=\"hidden\" name=\"csrf\" value=\"" + Html(page.csrf) + "\">";
}

std::string Note(const std::string& cls, const std::string& html) {
  if (html.empty()) return "";
  return (cls.empty() ? "<p>" : "<p class=\"" + cls + "\">") + html + "</p>\n";
}

// A two-column table of facts; the values are HTML already.
std::string Facts(const std::vector<std::pair<std::string, std::string>>& rows) {
  std::string html = "<table class=\"facts\">\n";
  for (const auto& [label, value] : rows) html += "<tr><th>" + label + "</th><td>" + value + "</td></tr>\n";
  return html + "</table>\n";
}

std::string Row(const std::vector<std::string>& cells, const char* tag = "td") {
  std::string html = "<tr>";
  for (const std::string& cell : cells) html += std::string("<") + tag + ">" + cell + "</" + tag + ">";
  return html + "</tr>\n";
}

std::string More(Lang lang, std::size_t all) {
  return all > kShownRows
             ? Note("more", Say(lang, "preview.more", {Num(static_cast<long long>(all - kShownRows))}))
             : "";
}

std::string Pre(const std::string& text) {
  std::string shown = text;
  // The report's lines end in CR LF, as the plug-in writes them; a page wants one line break.
  std::string out;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;
    out += shown[i];
  }
  return "<pre>" + Html(out) + "</pre>";
}

// The contacts outside the contest period, by their lines, as not counted: the engine's score keeps them,
// the check removes them.
std::string OutsideSection(Lang lang, const ContestFacts& contest,
                           const std::vector<OutsidePeriod>& outside) {
  if (outside.empty()) return "";
  const std::string period = contest.end.empty() ? Say(lang, "period.from", {contest.start})
                                                 : Say(lang, "period.span", {contest.start, contest.end});
  std::string html = "<h2>" + Say(lang, "preview.outside", {Num(static_cast<long long>(outside.size()))}) +
                     "</h2>\n" + Note("notice", Say(lang, "preview.outsidenote")) +
                     "<table id=\"outside\">\n" +
                     Row({Say(lang, "field.line"), Say(lang, "field.call"), Say(lang, "field.time"),
                          Say(lang, "field.band"), Say(lang, "field.mode"), Say(lang, "field.reason")},
                         "th");
  const std::string reason = Say(lang, "reason.OUTSIDE") + " (" + period + ")";
  for (std::size_t i = 0; i < outside.size() && i < kShownRows; ++i) {
    const OutsidePeriod& o = outside[i];
    html += Row({Num(o.line), Html(o.call), Html(o.time), Html(o.band), Html(o.mode), reason});
  }
  return html + "</table>\n" + More(lang, outside.size());
}

// The upload form, holding what was typed into it.
std::string FormHtml(const PageContext& page, const ContestFacts& contest, const UploadForm& form) {
  const Lang lang = page.lang;
  std::string html =
      "<form method=\"post\" action=\"/upload\" enctype=\"multipart/form-data\">" + Csrf(page) +
      "\n<p><label>" + Say(lang, "upload.file", {Num(static_cast<long long>(contest.maxMegabytes))}) +
      "<br><input type=\"file\" name=\"log\" accept=\".log,.cbr,.adi,.adif,.txt\"></label></p>\n"
      "<p><label>" +
      Say(lang, "upload.paste") +
      // A browser drops one line break after the opening tag: the text's own first one must survive it.
      "<br><textarea name=\"text\" rows=\"8\" cols=\"80\">\n" + Html(form.text) +
      "</textarea></label></p>\n<p><label>" + Say(lang, "upload.email") +
      "<br><input type=\"email\" name=\"email\" required maxlength=\"254\" value=\"" + Html(form.email) +
      "\"></label></p>\n<p><label>" + Say(lang, "upload.receipt") +
      "<br><input name=\"receipt\" maxlength=\"40\" autocomplete=\"off\" value=\"" + Html(form.receipt) +
      "\"></label></p>\n<fieldset><legend>" + Say(lang, "upload.categories") + "</legend>\n";
  for (const Category& category : Categories()) {
    std::string name = category.tag;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string chosen;
    for (const auto& [tag, value] : form.categories) {
      if (tag == category.tag) chosen = value;
    }
    html += "<p><label>" + Html(category.tag) + "<br><select name=\"" + name + "\"><option value=\"\">" +
            Say(lang, "upload.nocategory") + "</option>";
    for (const char* value : category.values) {
      html += std::string("<option value=\"") + value + "\"" + (chosen == value ? " selected" : "") + ">" +
              value + "</option>";
    }
    html += "</select></label></p>\n";
  }
  return html + "</fieldset>\n<p><button type=\"submit\">" + Say(lang, "upload.send") +
         "</button></p>\n</form>\n";
}

}  // namespace

std::string Html(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length != 0 && i + length <= n;
    for (std::size_t k = 1; valid && k < length; ++k) valid = (s[i + k] & 0xc0) == 0x80;
    if (valid && length > 1) {
      // Overlong forms and surrogates are not UTF-8 either.
      const unsigned c1 = s[i + 1];
      valid = !(length == 2 && c < 0xc2) && !(length == 3 && c == 0xe0 && c1 < 0xa0) &&
              !(length == 3 && c == 0xed && c1 >= 0xa0) && !(length == 4 && c == 0xf0 && c1 < 0x90) &&
              !(length == 4 && (c > 0xf4 || (c == 0xf4 && c1 >= 0x90)));
    }
    if (!valid || (length == 1 && c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) {
      clean += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    clean.append(text, i, length);
    i += length;
  }
  std::string html = zorvant::HtmlEscape(clean);
  // The report's escape leaves the apostrophe; attributes here are double-quoted, but no reader has to
  // know that.
  std::string out;
  for (char c : html) {
    if (c == '\'') {
      out += "&#39;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Say(Lang lang, const char* key, const std::vector<std::string>& values) {
  std::string text = Html(Text(lang, key));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string mark = "{" + std::to_string(i + 1) + "}";
    const std::string value = Html(values[i]);
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

std::string UploadPage(const PageContext& page, const ContestFacts& contest, const std::string& message,
                       const std::string& email) {
  UploadForm form;
  form.email = email;
  return UploadPage(page, contest, message, form);
}

std::string UploadPage(const PageContext& page, const ContestFacts& contest, const std::string& message,
                       const UploadForm& form) {
  const Lang lang = page.lang;
  std::string body = Note("error", message) + "<p>" + Say(lang, "upload.intro") + "</p>\n<p>" +
                     Say(lang, "upload.start", {contest.start});
  if (!contest.deadline.empty() && !contest.closed) body += " " + Say(lang, "upload.due", {contest.deadline});
  body += "</p>\n";
  if (contest.closed) {
    body += Note("error", Say(lang, "upload.closed", {contest.deadline}));
    return Layout(page, Text(lang, "upload.title"), body);
  }
  body += FormHtml(page, contest, form);
  return Layout(page, Text(lang, "upload.title"), body);
}

// The reader's problems by line, at most kShownRows of them; `noLine` stands where a problem has no line.
std::string ProblemsTable(Lang lang, const std::vector<LineProblem>& problems, const char* noLine) {
  std::string html = "<table id=\"problems\">\n" +
                     Row({Say(lang, "field.line"), Say(lang, "field.problem"), Say(lang, "field.text")}, "th");
  for (std::size_t i = 0; i < problems.size() && i < kShownRows; ++i) {
    const LineProblem& problem = problems[i];
    html += Row({problem.line ? Num(problem.line) : noLine, Html(problem.message),
                 "<code>" + Html(problem.lineText) + "</code>"});
  }
  return html + "</table>\n" + More(lang, problems.size());
}

std::string UnfitPage(const PageContext& page, const ContestFacts& contest, const Preview& p,
                      const UploadForm& form) {
  const Lang lang = page.lang;
  std::string why;
  switch (p.unfit) {
    case Unfit::kNeitherFormat: why = Say(lang, "unfit.neither"); break;
    case Unfit::kNoCall: why = Say(lang, "unfit.nocall"); break;
    case Unfit::kBadCall: why = Say(lang, "unfit.badcall", {p.call}); break;
    case Unfit::kUnreadable: why = Say(lang, "unfit.unreadable", {p.why}); break;
    case Unfit::kNoContacts: why = Say(lang, "unfit.empty"); break;
    case Unfit::kNo: break;
  }
  // The page's title says the log cannot be taken; the box says why, and only what was read is listed.
  std::string body =
      "<div class=\"unfit\"><p id=\"unfit\">" + why + "</p><p>" + Say(lang, "unfit.again") + "</p></div>\n";
  std::vector<std::pair<std::string, std::string>> facts;
  if (!p.call.empty())
    facts.push_back({Say(lang, "field.call"), "<span id=\"call\">" + Html(p.call) + "</span>"});
  facts.push_back({Say(lang, "field.file"), Html(p.label)});
  if (!p.format.empty()) facts.push_back({Say(lang, "field.format"), Html(p.format)});
  facts.push_back({Say(lang, "field.sha"), "<code>" + Html(p.sha256) + "</code>"});
  body += Facts(facts);
  if (!p.problems.empty()) {
    body += "<h2>" + Say(lang, "preview.problems", {Num(static_cast<long long>(p.problems.size()))}) +
            "</h2>\n" + ProblemsTable(lang, p.problems, "—");
  }
  body += "<h2>" + Say(lang, "upload.again") + "</h2>\n" + FormHtml(page, contest, form);
  return Layout(page, Text(lang, "unfit.title"), body);
}

std::string PreviewPage(const PageContext& page, const ContestFacts& contest, const Preview& p,
                        const std::string& token, const std::string& code, Claim claim) {
  const Lang lang = page.lang;
  if (p.unfit != Unfit::kNo) return UnfitPage(page, contest, p, UploadForm{});
  std::string body = Note("notice", Say(lang, "preview.notyet"));

  std::vector<std::pair<std::string, std::string>> facts = {
      {Say(lang, "field.call"), "<span id=\"call\">" + Html(p.call) + "</span>"},
      {Say(lang, "field.file"), Html(p.label)},
      {Say(lang, "field.format"), Html(p.format)},
  };
  if (p.unfit == Unfit::kNo) {
    facts.insert(
        facts.end(),
        {
            {Say(lang, "field.categories"), "<span id=\"categories\">" + Html(p.categories) + "</span>"},
            {Say(lang, "field.contacts"),
             "<span id=\"contacts\">" + Num(static_cast<long long>(p.contacts)) + "</span>"},
            {Say(lang, "field.stored"), Num(static_cast<long long>(p.stored - p.dupes))},
            {Say(lang, "field.dupes"), Num(static_cast<long long>(p.dupes))},
            {Say(lang, "field.refused"), Num(static_cast<long long>(p.contacts - p.stored))},
            {Say(lang, "field.claimed"), "<strong id=\"score\">" + Num(p.totals.score) + "</strong>"},
            {Say(lang, "field.outside"),
             "<span id=\"outsidecount\">" + Num(static_cast<long long>(p.outside.size())) + "</span>"},
        });
  }
  facts.push_back({Say(lang, "field.sha"), "<code>" + Html(p.sha256) + "</code>"});
  body += Facts(facts);

  if (!p.header.empty()) {
    body += "<h2>" + Say(lang, "preview.header") + "</h2>\n<pre>";
    for (const auto& [tag, value] : p.header) body += Html(tag) + ": " + Html(value) + "\n";
    body += "</pre>\n";
  }

  body +=
      "<h2>" + Say(lang, "preview.problems", {Num(static_cast<long long>(p.problems.size()))}) + "</h2>\n";
  if (p.problems.empty()) {
    body += Note("good", Say(lang, "preview.noproblems"));
  } else {
    body += ProblemsTable(lang, p.problems, "");
  }

  if (p.unfit == Unfit::kNo) {
    body +=
        "<h2>" + Say(lang, "preview.refused", {Num(static_cast<long long>(p.refusals.size()))}) + "</h2>\n";
    if (p.refusals.empty()) {
      body += Note("good", Say(lang, "preview.norefused"));
    } else {
      if (p.reasonsLost) body += Note("error", Say(lang, "preview.reasonslost"));
      body += "<table id=\"refused\">\n" +
              Row({Say(lang, "field.line"), Say(lang, "field.call"), Say(lang, "field.band"),
                   Say(lang, "field.mode"), Say(lang, "field.reason"), Say(lang, "field.badqso")},
                  "th");
      for (std::size_t i = 0; i < p.refusals.size() && i < kShownRows; ++i) {
        const Refusal& r = p.refusals[i];
        const std::string key = "reason." + r.reason;
        const std::string& reason = Text(lang, key);
        body += Row({Num(r.line), Html(r.call), Html(r.band), Html(r.mode),
                     r.reason.empty()            ? Say(lang, "reason.unknown")
                     : reason.rfind("[", 0) == 0 ? Html(r.reason)
                                                 : Html(reason),
                     "<code>" + Html(r.badQsoLine) + "</code>"});
      }
      body += "</table>\n" + More(lang, p.refusals.size());
    }
    body += OutsideSection(lang, contest, p.outside);
    body +=
        "<h2>" + Say(lang, "preview.report") + "</h2>\n<div id=\"report\">" + Pre(p.report) + "</div>\n" +
        Note("small",
             Say(lang, "preview.command",
                 {"zorvant score " + p.label + " --call " + p.call + " --start \"" + contest.start + "\""}));
  }

  if (!token.empty()) {
    if (claim == Claim::kOwner) {
      body += Note("notice", Say(lang, "preview.replaces", {p.call}));
    } else {
      if (claim == Claim::kNotTaken) body += Note("error", Say(lang, "preview.codenottaken", {p.call}));
      body += Note("notice", Say(lang, "preview.ifowned", {p.call}));
    }
    body += "<form method=\"post\" action=\"/confirm\">" + Csrf(page) +
            "<input type=\"hidden\" name=\"token\" value=\"" + Html(token) + "\"><p><label>" +
            Say(lang, "upload.receipt") +
            "<br><input name=\"receipt\" maxlength=\"40\" autocomplete=\"off\" value=\"" + Html(code) +
            "\"></label></p><p><button type=\"submit\" id=\"confirm\">" + Say(lang, "preview.confirm") +
            "</button></p></form>\n";
  }
  body += "<p><a href=\"/\">" + Say(lang, "preview.other") + "</a></p>\n";
  return Layout(page, Text(lang, p.unfit == Unfit::kNo ? "preview.title" : "unfit.title"), body);
}

std::string ReceiptPage(const PageContext& page, const Received& r, const std::string& code) {
  const Lang lang = page.lang;
  // A version's number would tell how many the call had before: only its owner hears it.
  const bool owner = r.taken == Taken::kOwner;
  std::vector<std::pair<std::string, std::string>> facts = {
      {Say(lang, "field.call"), Html(r.call)},
      {Say(lang, "field.receipt"), "<strong id=\"receipt\">" + Html(r.receipt) + "</strong>"},
  };
  if (owner) facts.push_back({Say(lang, "field.version"), Num(r.version)});
  facts.insert(facts.end(), {
                                {Say(lang, "field.received"), Html(r.received)},
                                {Say(lang, "field.file"), Html(r.label)},
                                {Say(lang, "field.size"), Num(r.size)},
                                {Say(lang, "field.sha"), "<code>" + Html(r.sha256) + "</code>"},
                                {Say(lang, "field.claimed"), Num(r.claimed.score)},
                            });
  std::string body = Facts(facts);
  if (owner && r.replaced > 0) body += Note("notice", Say(lang, "receipt.replaces", {Num(r.replaced)}));
  if (!owner) {
    if (!code.empty()) body += Note("error", Say(lang, "preview.codenottaken", {r.call}));
    body += Note("notice", Say(lang, "receipt.ifowned", {r.call}));
  }
  body += Note("", Say(lang, "receipt.keep")) + "<p><a href=\"/status\">" + Say(lang, "nav.status") +
          "</a></p>\n";
  return Layout(page, Text(lang, "receipt.title"), body);
}

std::string StatusForm(const PageContext& page, const std::string& message, const std::string& call) {
  const Lang lang = page.lang;
  const std::string body =
      Note("error", message) + "<p>" + Say(lang, "status.intro") +
      "</p>\n<form method=\"post\" action=\"/status\">" + Csrf(page) + "\n<p><label>" +
      Say(lang, "field.call") + "<br><input name=\"call\" required maxlength=\"20\" value=\"" + Html(call) +
      "\"></label></p>\n<p><label>" + Say(lang, "field.receipt") +
      "<br><input name=\"receipt\" required maxlength=\"40\" autocomplete=\"off\"></label></p>\n"
      "<p><button type=\"submit\">" +
      Say(lang, "status.show") + "</button></p>\n</form>\n";
  return Layout(page, Text(lang, "status.title"), body);
}

std::string StatusPage(const PageContext& page, const ContestFacts& contest, const Received& receipt,
                       const std::vector<Received>& versions, const std::optional<PublishedLog>& published,
                       const std::vector<OutsidePeriod>& outside) {
  const Lang lang = page.lang;
  const std::vector<std::string> heads = {Say(lang, "field.version"),  Say(lang, "field.received"),
                                          Say(lang, "field.file"),     Say(lang, "field.size"),
                                          Say(lang, "field.contacts"), Say(lang, "field.claimed"),
                                          Say(lang, "field.sha")};
  // A set-aside version's number would tell how many the call had: its sender may not be the owner.
  auto row = [](const Received& v) {
    return Row({v.setAside ? "—" : Num(v.version), Html(v.received), Html(v.label), Num(v.size),
                Num(v.contacts), Num(v.claimed.score), "<code>" + Html(v.sha256) + "</code>"});
  };
  // A version set aside shows itself only.
  if (receipt.setAside) {
    std::string body = Note("notice", Say(lang, "status.setaside", {receipt.call})) +
                       "<table id=\"versions\">\n" + Row(heads, "th") + row(receipt) + "</table>\n" +
                       OutsideSection(lang, contest, outside);
    return Layout(page, Text(lang, "status.title") + ": " + receipt.call, body);
  }
  std::vector<Received> counted;
  for (const Received& v : versions) {
    if (!v.setAside) counted.push_back(v);
  }
  const Received* current = &receipt;
  for (const Received& v : counted) {
    if (v.current) current = &v;
  }
  std::string body = Note("", Say(lang, "status.thisreceipt", {Num(receipt.version), receipt.call}));
  if (current->id != receipt.id) {
    body += Note("notice", Say(lang, "status.later", {Num(current->version), current->received}));
  }
  body += "<h2>" + Say(lang, "status.versions") + "</h2>\n<table id=\"versions\">\n" + Row(heads, "th");
  for (const Received& v : counted) body += row(v);
  body += "</table>\n" + OutsideSection(lang, contest, outside);
  body += "<h2>" + Say(lang, "status.result") + "</h2>\n";
  if (!published) {
    body += Note("notice", Say(lang, "status.notpublished"));
  } else {
    if (published->log != current->id) {
      for (const Received& v : counted) {
        if (v.id == published->log) body += Note("notice", Say(lang, "status.oldversion", {Num(v.version)}));
      }
    }
    body += Facts({
        {Say(lang, "field.place"), published->place ? Num(published->place) : "—"},
        {Say(lang, "field.claimed"), Num(published->claimed.score)},
        {Say(lang, "field.checked"), "<strong id=\"checked\">" + Num(published->checked.score) + "</strong>"},
        {Say(lang, "field.removed"), Num(published->removed)},
    });
    body += "<h2>" + Say(lang, "status.ubn") + "</h2>\n<div id=\"ubn\">" + Pre(published->ubn) + "</div>\n";
  }
  return Layout(page, Text(lang, "status.title") + ": " + receipt.call, body);
}

std::string MessagePage(const PageContext& page, const std::string& title, const std::string& message) {
  return Layout(page, title,
                Note("error", message) + "<p><a href=\"/\">" + Say(page.lang, "nav.upload") + "</a></p>\n");
}

std::string NoResultsPage(const PageContext& page) {
  return Layout(page, Text(page.lang, "nav.results"), Note("notice", Say(page.lang, "results.none")));
}

namespace {

// One ranking: its heading (HTML), and the logs by place; the places are counted afresh unless `overall`.
std::string Ranking(Lang lang, const std::string& heading, const std::vector<const PublishedLog*>& logs,
                    bool overall) {
  std::string html = "<h2>" + heading + "</h2>\n<table class=\"ranking\">\n<tr><th rowspan=\"2\">" +
                     Say(lang, "results.place") + "</th><th rowspan=\"2\">" + Say(lang, "results.call") +
                     "</th><th colspan=\"4\">" + Say(lang, "results.claimed") + "</th><th colspan=\"4\">" +
                     Say(lang, "results.checked") + "</th></tr>\n<tr>";
  for (int side = 0; side < 2; ++side) {
    for (const char* key : {"results.qsos", "results.points", "results.mults", "results.score"}) {
      html += "<th>" + Say(lang, key) + "</th>";
    }
  }
  html += "</tr>\n";
  int place = 0;
  for (const PublishedLog* log : logs) {
    html += "<tr><td>" + Num(overall ? log->place : ++place) + "</td><td class=\"call\">" + Html(log->call) +
            "</td>";
    for (const zorvant::ReportTotals* t : {&log->claimed, &log->checked}) {
      html += "<td>" + Num(t->qsos) + "</td><td>" + Num(t->points) + "</td><td>" + Num(t->multiplier) +
              "</td><td>" + Num(t->score) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string ResultsPage(const PageContext& page, const std::string& published,
                        const std::vector<PublishedLog>& logs) {
  const Lang lang = page.lang;
  std::vector<const PublishedLog*> ranked;
  std::map<std::string, std::vector<const PublishedLog*>> byCategory;
  for (const PublishedLog& log : logs) {
    if (log.place == 0) continue;
    ranked.push_back(&log);
    byCategory[log.categories].push_back(&log);
  }
  std::string body = "<p id=\"published\">" + Say(lang, "results.published", {published}) + "</p>\n";
  body += Ranking(lang, Say(lang, "results.overall"), ranked, true);
  for (const auto& [categories, group] : byCategory) {
    if (!categories.empty()) body += Ranking(lang, Html(categories), group, false);
  }
  const auto none = byCategory.find("");
  if (none != byCategory.end()) body += Ranking(lang, Say(lang, "results.nocategory"), none->second, false);
  return Layout(page, Text(lang, "results.title"), body);
}

std::string ReceivedPage(const PageContext& page, const std::vector<Arrival>& calls) {
  const Lang lang = page.lang;
  std::string body = Note("", Say(lang, "received.intro"));
  if (calls.empty()) {
    body += Note("notice", Say(lang, "received.none"));
  } else {
    body +=
        "<table id=\"received\">\n" + Row({Say(lang, "received.call"), Say(lang, "received.first")}, "th");
    for (const Arrival& a : calls) body += Row({Html(a.call), Html(a.first)});
    body += "</table>\n";
  }
  return Layout(page, Text(lang, "received.title"), body);
}

std::string SponsorLogin(const PageContext& page, const std::string& message) {
  const Lang lang = page.lang;
  const std::string body =
      Note("error", message) + "<form method=\"post\" action=\"/sponsor/login\">" + Csrf(page) +
      "\n<p><label>" + Say(lang, "sponsor.key") +
      "<br><input type=\"password\" name=\"key\" required autocomplete=\"current-password\">"
      "</label></p>\n<p><button type=\"submit\">" +
      Say(lang, "sponsor.login") + "</button></p>\n</form>\n";
  return Layout(page, Text(lang, "sponsor.title"), body);
}

std::string SponsorPage(const PageContext& page, const std::string& message,
                        const std::vector<Received>& logs, const std::vector<Received>& setAside,
                        const std::vector<Missing>& missing, int missingAtLeast,
                        const std::optional<Publication>& last, const std::vector<FailedLogin>& failures) {
  const Lang lang = page.lang;
  std::string body = Note("notice", message);
  body += "<form method=\"post\" action=\"/sponsor/publish\">" + Csrf(page) +
          "<p><button type=\"submit\" id=\"publish\">" + Say(lang, "sponsor.publish") + "</button> " +
          Say(lang, "sponsor.publishnote") + "</p></form>\n";
  body += Note("", last ? Say(lang, "sponsor.published", {last->published}) + " <a href=\"/results\">" +
                              Say(lang, "nav.results") + "</a>"
                        : Say(lang, "sponsor.notpublished"));
  body += "<p>" + Say(lang, "sponsor.export") + ": <a href=\"/sponsor/logs.zip\">" +
          Say(lang, "sponsor.zip") + "</a> · <a href=\"/sponsor/results.csv\">" + Say(lang, "sponsor.csv") +
          "</a></p>\n";

  body += "<h2>" + Say(lang, "sponsor.logs", {Num(static_cast<long long>(logs.size()))}) + "</h2>\n";
  if (logs.empty()) {
    body += Note("notice", Say(lang, "sponsor.nologs"));
  } else {
    body += "<table id=\"logs\">\n" +
            Row({Say(lang, "field.call"), Say(lang, "field.categories"), Say(lang, "field.contacts"),
                 Say(lang, "field.claimed"), Say(lang, "field.received"), Say(lang, "field.versions"),
                 Say(lang, "field.format"), Say(lang, "field.email"), Say(lang, "sponsor.lost")},
                "th");
    for (const Received& r : logs) {
      body += Row(
          {Html(r.call), Html(r.categories), Num(r.contacts), Num(r.claimed.score), Html(r.received),
           r.refused ? Say(lang, "sponsor.overbound", {Num(r.versions), Num(r.refused)}) : Num(r.versions),
           Html(r.format), Html(r.email),
           r.released
               ? Say(lang, "sponsor.released")
               : "<form method=\"post\" action=\"/sponsor/release\">" + Csrf(page) +
                     "<input type=\"hidden\" name=\"call\" value=\"" + Html(r.call) +
                     "\"><button type=\"submit\">" + Say(lang, "sponsor.release") + "</button></form>"});
    }
    body += "</table>\n" + Note("small", Say(lang, "sponsor.releasenote"));
  }
  body += "<h2>" + Say(lang, "sponsor.setaside", {Num(static_cast<long long>(setAside.size()))}) + "</h2>\n";
  if (setAside.empty()) {
    body += Note("good", Say(lang, "sponsor.nosetaside"));
  } else {
    body += Note("", Say(lang, "sponsor.setasidenote")) + "<table id=\"setaside\">\n" +
            Row({Say(lang, "field.call"), Say(lang, "field.received"), Say(lang, "field.email"),
                 Say(lang, "field.receipt"), Say(lang, "field.file"), Say(lang, "field.contacts"),
                 Say(lang, "field.claimed"), ""},
                "th");
    for (const Received& r : setAside) {
      body += Row({Html(r.call), Html(r.received), Html(r.email), "<code>" + Html(r.receipt) + "</code>",
                   Html(r.label), Num(r.contacts), Num(r.claimed.score),
                   "<form method=\"post\" action=\"/sponsor/accept\">" + Csrf(page) +
                       "<input type=\"hidden\" name=\"log\" value=\"" + Num(r.id) +
                       "\"><button type=\"submit\">" + Say(lang, "sponsor.accept") + "</button></form>"});
    }
    body += "</table>\n";
  }
  body += "<h2>" + Say(lang, "sponsor.missing", {Num(missingAtLeast)}) + "</h2>\n";
  if (missing.empty()) {
    body += Note("good", Say(lang, "sponsor.nomissing"));
  } else {
    body += "<table id=\"missing\">\n" + Row({Say(lang, "field.call"), Say(lang, "field.logs")}, "th");
    for (const Missing& m : missing) body += Row({Html(m.call), Num(m.logs)});
    body += "</table>\n";
  }
  if (last) body += "<h2>" + Say(lang, "sponsor.summary") + "</h2>\n" + Pre(last->summary) + "\n";
  if (!failures.empty()) {
    body += "<h2>" + Say(lang, "sponsor.failures") + "</h2>\n<table id=\"failures\">\n" +
            Row({Say(lang, "field.time"), Say(lang, "field.address"), Say(lang, "field.lockout")}, "th");
    for (const FailedLogin& f : failures) {
      body += Row({Html(f.at), Html(f.address),
                   f.lockedSeconds ? Say(lang, "sponsor.locked", {Num(f.lockedSeconds / 60)}) : ""});
    }
    body += "</table>\n";
  }
  body += "<form method=\"post\" action=\"/sponsor/logout\">" + Csrf(page) + "<p><button type=\"submit\">" +
          Say(lang, "sponsor.logout") + "</button></p></form>\n";
  return Layout(page, Text(lang, "sponsor.title"), body);
}

const std::string& StyleSheet() {
  static const std::string kStyle =
      "body{font-family:sans-serif;margin:0;color:#222;background:#fff;overflow-wrap:anywhere}"
      "header{background:#23466e;color:#fff;padding:.5em 1em;display:flex;flex-wrap:wrap;"
      "justify-content:space-between}"
      "header a{color:#fff;margin-right:1em}main{padding:0 1em 2em;max-width:72em}"
      // A wide table scrolls inside its own box, so that a narrow screen never scrolls the whole page.
      "table{display:block;overflow-x:auto;max-width:100%;border-collapse:collapse;margin:.5em 0}"
      // A cell keeps its words whole: breaking them anywhere squeezes a table to a letter a line where it
      // should scroll in its box.
      "th,td{border:1px solid #bbb;padding:2px 8px;text-align:left;vertical-align:top;overflow-wrap:normal}"
      "table.facts th{background:#f0f3f7}"
      "pre{background:#f6f6f6;padding:.5em;overflow-x:auto;max-width:100%;box-sizing:border-box}"
      "code{white-space:pre-wrap;overflow-wrap:anywhere}td code{overflow-wrap:normal}"
      "input,textarea,select{max-width:100%;box-sizing:border-box}textarea{width:100%}"
      "fieldset{border:1px solid #bbb;min-width:0}"
      ".error{color:#a00;font-weight:bold}.notice{background:#fff6d6;padding:.4em}.good{color:#060}"
      ".unfit{border:2px solid #a00;padding:0 1em;margin:1em 0}.small{font-size:90%;color:#555}"
      "#score,#receipt,#checked{font-size:130%}"
      "table.ranking td{text-align:right}table.ranking td.call{text-align:left}";
  return kStyle;
}

std::string CsvField(const std::string& value) {
  std::string v = value;
  if (!v.empty() && (v[0] == '=' || v[0] == '+' || v[0] == '-' || v[0] == '@')) v = "'" + v;
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string quoted = "\"";
  for (char c : v) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string ResultsCsv(const std::vector<PublishedLog>& logs) {
  std::string csv =
      "place,call,categories,claimed_qsos,claimed_points,claimed_multipliers,claimed_score,checked_qsos,"
      "checked_points,checked_multipliers,checked_score,removed\r\n";
  for (const PublishedLog& log : logs) {
    csv += (log.place ? Num(log.place) : "") + "," + CsvField(log.call) + "," + CsvField(log.categories) +
           "," + Num(log.claimed.qsos) + "," + Num(log.claimed.points) + "," + Num(log.claimed.multiplier) +
           "," + Num(log.claimed.score) + "," + Num(log.checked.qsos) + "," + Num(log.checked.points) + "," +
           Num(log.checked.multiplier) + "," + Num(log.checked.score) + "," + Num(log.removed) + "\r\n";
  }
  return csv;
}

}  // namespace serve
