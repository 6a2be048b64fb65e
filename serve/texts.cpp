#include "serve/texts.h"

#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace serve {
namespace {

struct Entry {
  const char* key;
  const char* english;
  const char* russian;
};

const Entry kTexts[] = {
    {"site", "ZORVANT contest log robot", "Робот приёма отчётов ZORVANT"},
    {"nav.upload", "Send a log", "Отправить отчёт"},
    {"nav.status", "Status of a log", "Состояние отчёта"},
    {"nav.results", "Results", "Результаты"},
    {"nav.sponsor", "Sponsor", "Организатору"},

    {"upload.title", "Send your log", "Отправьте свой отчёт"},
    {"upload.intro",
     "Send your ZORVANT contest log as a Cabrillo 3.0 or ADIF file, or paste its text. The robot reads it at "
     "once and shows what it found and the score the plug-in gives it. Nothing is stored until you confirm.",
     "Отправьте отчёт о соревновании ZORVANT файлом Cabrillo 3.0 или ADIF либо вставьте его текст. Робот "
     "сразу прочтёт его и покажет, что нашёл, и результат, который даёт ему модуль. Пока вы не подтвердите "
     "отправку, ничего не сохраняется."},
    {"upload.start", "Contest start: {1} UTC.", "Начало соревнования: {1} UTC."},
    {"upload.due", "Logs are due by {1} UTC.", "Отчёты принимаются до {1} UTC."},
    {"upload.closed", "The deadline, {1} UTC, has passed: logs are no longer accepted.",
     "Срок приёма отчётов ({1} UTC) истёк: отчёты больше не принимаются."},
    {"upload.file", "Log file (at most {1} MB)", "Файл отчёта (не более {1} МБ)"},
    {"upload.paste", "or paste the log's text", "или вставьте текст отчёта"},
    {"upload.email", "Your e-mail address", "Ваш адрес электронной почты"},
    {"upload.receipt",
     "Sending a new version? The receipt code of an earlier one (leave it empty for your first log)",
     "Отправляете новую версию? Код квитанции одной из прежних (для первого отчёта оставьте пустым)"},
    {"upload.send", "Read my log", "Проверить отчёт"},

    {"error.title", "Not done", "Не выполнено"},
    {"error.nolog", "Choose a file or paste the log's text.", "Выберите файл или вставьте текст отчёта."},
    {"error.both", "Send either a file or pasted text, not both.",
     "Отправьте либо файл, либо вставленный текст, но не то и другое сразу."},
    {"error.email", "Give an e-mail address the sponsor can answer to.",
     "Укажите адрес электронной почты, по которому организатор сможет ответить."},
    {"error.toolarge",
     "The log is larger than {1} MB and was not read. A contest log is far smaller: check that you chose the "
     "right file.",
     "Отчёт больше {1} МБ и не был прочитан. Отчёт о соревновании гораздо меньше: проверьте, тот ли файл "
     "выбран."},
    {"error.csrf",
     "This form has expired or did not come from this site. Open the page again and send it anew.",
     "Форма устарела или пришла не с этого сайта. Откройте страницу заново и отправьте ещё раз."},
    {"error.notfound", "There is no such page.", "Такой страницы нет."},
    {"error.bad", "The request could not be understood.", "Запрос не удалось понять."},
    {"error.internal",
     "Something went wrong on the server; nothing was stored. Please try again in a minute.",
     "На сервере произошла ошибка; ничего не сохранено. Попробуйте ещё раз через минуту."},
    {"error.expired",
     "This answer has expired (answers are kept for an hour) or was never given. Send the log again.",
     "Этот ответ устарел (ответы хранятся час) или не выдавался. Отправьте отчёт ещё раз."},
    {"error.storefailed", "Your log could not be stored just now; nothing was stored. Please confirm again.",
     "Сохранить отчёт сейчас не удалось; ничего не сохранено. Подтвердите отправку ещё раз."},
    {"error.toomany",
     "The log of {1} has been sent {2} times, the most the robot keeps; this one was not taken. Write to the "
     "contest sponsor if it must replace the last.",
     "Отчёт {1} отправлен уже {2} раз, больше робот не хранит; этот не принят. Если он должен заменить "
     "последний, напишите организатору."},
    {"error.busy",
     "The robot is holding many answers just now and could not keep yours; nothing was stored. Please send "
     "your log again in a minute.",
     "Робот сейчас хранит много ответов и не смог сохранить ваш; ничего не сохранено. Отправьте отчёт ещё "
     "раз через минуту."},
    {"error.unknown",
     "The server's disk failed while your log was being stored, and it cannot tell yet whether it was. If it "
     "was, the log of {1} has the receipt code {2}: confirm again in a few minutes, or look the code up on "
     "the "
     "status page.",
     "Во время сохранения отчёта отказал диск сервера, и пока нельзя сказать, сохранён ли отчёт. Если да, у "
     "отчёта {1} код квитанции {2}: подтвердите отправку ещё раз через несколько минут или проверьте код на "
     "странице статуса."},
    {"error.cookies", "Your browser must accept this site's cookies for its forms to work.",
     "Чтобы формы работали, браузер должен принимать cookie этого сайта."},

    {"unfit.title", "This log cannot be taken", "Этот отчёт не может быть принят"},
    {"unfit.neither", "The file is neither a Cabrillo 3.0 nor an ADIF log.",
     "Файл не является отчётом ни в формате Cabrillo 3.0, ни в формате ADIF."},
    {"unfit.nocall",
     "The log does not say whose it is: give it a CALLSIGN: line (Cabrillo) or a STATION_CALLSIGN field "
     "(ADIF).",
     "В отчёте не указано, чей он: добавьте строку CALLSIGN: (Cabrillo) или поле STATION_CALLSIGN (ADIF)."},
    {"unfit.badcall", "The log's station, \"{1}\", does not read as a callsign.",
     "Позывной станции в отчёте, «{1}», не похож на позывной."},
    {"unfit.unreadable", "The log cannot be read to its end: {1}",
     "Отчёт не удаётся прочитать до конца: {1}"},
    {"unfit.empty", "Not one contact could be read from the log.",
     "Из отчёта не удалось прочитать ни одной связи."},
    {"unfit.again", "Mend the log and send it again.", "Исправьте отчёт и отправьте его снова."},

    {"preview.title", "Your log as the robot reads it", "Ваш отчёт глазами робота"},
    {"preview.notyet", "Nothing is stored yet: check what follows, then confirm at the bottom of the page.",
     "Пока ничего не сохранено: проверьте всё ниже и подтвердите отправку внизу страницы."},
    {"preview.header", "Header lines", "Строки заголовка"},
    {"preview.problems", "Problems the reader found: {1}", "Ошибки, найденные при чтении: {1}"},
    {"preview.noproblems", "The reader found no problem.", "При чтении ошибок не найдено."},
    {"preview.refused", "Contacts that earn nothing: {1}", "Связи, которые не засчитываются: {1}"},
    {"preview.norefused", "The contest takes every contact.", "Все связи засчитываются."},
    {"preview.outside", "Contacts outside the contest period: {1}", "Связи вне периода соревнования: {1}"},
    {"preview.outsidenote",
     "The plug-in's claimed score above still holds them; the sponsor's check will not count them.",
     "Заявленный результат модуля выше их ещё учитывает; при проверке организатором они не засчитываются."},
    {"period.span", "{1} – {2} UTC", "{1} – {2} UTC"},
    {"period.from", "from {1} UTC", "с {1} UTC"},
    {"preview.more", "... and {1} more.", "... и ещё {1}."},
    {"preview.report", "Statistics report", "Статистический отчёт"},
    {"preview.command", "The same bytes as {1} prints.", "Те же байты, что печатает {1}."},
    {"preview.confirm", "Confirm and send this log", "Подтвердить и отправить отчёт"},
    {"preview.replaces", "{1} has sent a log before: this one replaces it, and every version is kept.",
     "{1} уже присылал отчёт: этот заменит его, все версии сохраняются."},
    {"preview.ifowned",
     "A log belongs to whoever sent it first. If {1} already has a log here, this one replaces it only with "
     "the receipt code of one of its earlier versions; without it, this one is stored but set aside until "
     "the "
     "contest sponsor decides on it.",
     "Отчёт принадлежит тому, кто прислал его первым. Если у {1} здесь уже есть отчёт, этот заменит его "
     "только "
     "с кодом квитанции одной из его прежних версий; без кода этот сохраняется, но откладывается до решения "
     "организатора соревнования."},
    {"preview.codenottaken", "The receipt code given is not one the robot takes for {1}.",
     "Указанный код квитанции робот не принимает для {1}."},
    {"preview.other", "Send another file instead", "Отправить другой файл"},

    {"reason.unknown", "not known just now", "сейчас неизвестна"},
    {"preview.reasonslost",
     "The server could not write down why some contacts earn nothing (its disk is full or failing); the "
     "score "
     "is right. Send the log again later to see every reason.",
     "Сервер не смог записать, почему некоторые связи не засчитываются (его диск заполнен или неисправен); "
     "счёт верен. Отправьте отчёт позже, чтобы увидеть все причины."},
    {"reason.WRONG BAND", "band outside the contest", "диапазон не входит в соревнование"},
    {"reason.WRONG MODE", "mode outside the contest", "вид работы не входит в соревнование"},
    {"reason.NO RX NUMBER", "a serial number missing", "нет контрольного номера"},
    {"reason.OUTSIDE", "outside the contest period", "вне периода соревнования"},
    {"reason.DUPE", "dupe: worked before on this band, in this mode and tour",
     "повтор: уже была связь на этом диапазоне, этим видом работы в этом туре"},

    {"field.call", "Call", "Позывной"},
    {"field.format", "Format", "Формат"},
    {"field.file", "File", "Файл"},
    {"field.categories", "Categories", "Категории"},
    {"field.contacts", "Contacts read", "Прочитано связей"},
    {"field.stored", "Contacts the contest takes", "Принято связей"},
    {"field.refused", "Refused", "Отклонено"},
    {"field.dupes", "Dupes", "Повторы"},
    {"field.claimed", "Claimed score", "Заявленный результат"},
    {"field.outside", "Contacts outside the contest period (the check will not count them)",
     "Связей вне периода соревнования (при проверке не засчитываются)"},
    {"field.checked", "Checked score", "Результат после проверки"},
    {"field.sha", "SHA-256", "SHA-256"},
    {"field.size", "Size, bytes", "Размер, байт"},
    {"field.received", "Received (UTC)", "Получен (UTC)"},
    {"field.version", "Version", "Версия"},
    {"field.versions", "Versions", "Версий"},
    {"field.time", "Time (UTC)", "Время (UTC)"},
    {"field.address", "Address", "Адрес"},
    {"field.lockout", "Lockout", "Блокировка"},
    {"field.receipt", "Receipt code", "Код квитанции"},
    {"field.email", "E-mail", "Эл. почта"},
    {"field.place", "Place", "Место"},
    {"field.removed", "Contacts removed", "Снято связей"},
    {"field.line", "Line", "Строка"},
    {"field.text", "Text of the line", "Текст строки"},
    {"field.problem", "Problem", "Ошибка"},
    {"field.band", "Band", "Диапазон"},
    {"field.mode", "Mode", "Вид"},
    {"field.reason", "Why", "Причина"},
    {"field.badqso", "Bad-QSO line", "Строка файла ошибок"},
    {"field.logs", "Logs holding it", "В скольких отчётах"},
    {"field.published", "Published (UTC)", "Опубликовано (UTC)"},

    {"receipt.title", "Your log is stored", "Ваш отчёт сохранён"},
    {"receipt.keep",
     "Keep this receipt code. With it and your call, the status page shows what is stored and, once the "
     "sponsor has published the results, your checked score and UBN report.",
     "Сохраните код квитанции. По нему и позывному на странице состояния видно, что сохранено, а после "
     "публикации результатов — ваш результат после проверки и отчёт UBN."},
    {"receipt.replaces", "It replaces version {1}; every version is kept.",
     "Он заменяет версию {1}; все версии сохраняются."},
    {"receipt.ifowned",
     "If {1} already had a log here and this version came without the receipt code of one of its earlier "
     "versions, it is set aside: it does not count unless the contest sponsor accepts it. The status page "
     "shows where it stands.",
     "Если у {1} здесь уже был отчёт, а эта версия пришла без кода квитанции одной из его прежних версий, "
     "она "
     "отложена: она не учитывается, пока её не примет организатор соревнования. На странице состояния видно, "
     "как с ней обстоит дело."},

    {"status.title", "Status of your log", "Состояние вашего отчёта"},
    {"status.intro", "Give your call and the receipt code you were given when you sent the log.",
     "Укажите позывной и код квитанции, полученный при отправке отчёта."},
    {"status.show", "Show", "Показать"},
    {"status.notfound", "No log of {1} has this receipt code.", "Ни у одного отчёта {1} нет такого кода."},
    {"status.thisreceipt", "This receipt is for version {1} of the log of {2}.",
     "Эта квитанция выдана на версию {1} отчёта {2}."},
    {"status.later", "Version {1}, received {2} UTC, replaced it: the sponsor checks the current version.",
     "Её заменила версия {1}, полученная {2} UTC: организатор проверяет текущую версию."},
    {"status.setaside",
     "This receipt is for a version of the log of {1} that is set aside: it came without the receipt code of "
     "an earlier version of a call that already had a log, and it does not count unless the contest sponsor "
     "accepts it. If the log of {1} is yours, write to the sponsor.",
     "Эта квитанция выдана на отложенную версию отчёта {1}: она пришла без кода квитанции прежней версии, а "
     "у "
     "позывного уже был отчёт, и она не учитывается, пока её не примет организатор соревнования. Если отчёт "
     "{1} ваш, напишите организатору."},
    {"status.versions", "Versions received", "Полученные версии"},
    {"status.notpublished", "The sponsor has not published the results yet.",
     "Организатор ещё не опубликовал результаты."},
    {"status.result", "Result after the cross-check", "Результат после перекрёстной проверки"},
    {"status.oldversion", "The published results checked version {1}; another version is current since.",
     "В опубликованных результатах проверена версия {1}; с тех пор текущей стала другая."},
    {"status.ubn", "UBN report", "Отчёт UBN"},

    {"results.none", "The results have not been published yet.", "Результаты ещё не опубликованы."},

    {"sponsor.overbound", "{1}, the most kept; {2} more refused",
     "{1}, больше не хранится; отклонено ещё {2}"},
    {"sponsor.failures", "Wrong keys sent (the last 20)", "Неверные ключи (последние 20)"},
    {"sponsor.locked", "locked out for {1} min", "заблокирован на {1} мин"},
    {"sponsor.wait", "Too many wrong keys came from your address: the next one is taken in {1} s.",
     "С вашего адреса пришло слишком много неверных ключей: следующий будет принят через {1} с."},
    {"sponsor.title", "For the sponsor", "Для организатора"},
    {"sponsor.key", "Sponsor's key", "Ключ организатора"},
    {"sponsor.login", "Enter", "Войти"},
    {"sponsor.badkey", "That is not the sponsor's key.", "Это не ключ организатора."},
    {"sponsor.logs", "Logs received: {1}", "Получено отчётов: {1}"},
    {"sponsor.nologs", "No log received yet.", "Пока не получено ни одного отчёта."},
    {"sponsor.missing", "Ask them for a log: calls in {1} logs or more that sent none",
     "Попросите прислать отчёт: позывные, которые есть в {1} и более отчётах, но сами отчёт не прислали"},
    {"sponsor.nomissing", "Every call that several logs hold has sent a log.",
     "Все позывные, встречающиеся в нескольких отчётах, прислали отчёты."},
    {"sponsor.publish", "Check and publish", "Проверить и опубликовать"},
    {"sponsor.publishnote",
     "Runs the cross-check of zorvant check on the current version of every log (none set aside), stores "
     "every contact's class, and publishes the results and each entrant's UBN report.",
     "Выполняет перекрёстную проверку zorvant check текущей версии каждого отчёта (без отложенных), "
     "сохраняет класс каждой связи и публикует результаты и отчёт UBN каждого участника."},
    {"sponsor.published", "Last published {1} UTC.", "Последняя публикация: {1} UTC."},
    {"sponsor.notpublished", "Not published yet.", "Ещё не опубликовано."},
    {"sponsor.done", "Checked and published.", "Проверено и опубликовано."},
    {"sponsor.export", "Export", "Выгрузка"},
    {"sponsor.zip", "All logs (zip)", "Все отчёты (zip)"},
    {"sponsor.csv", "Results (CSV)", "Результаты (CSV)"},
    {"sponsor.logout", "Leave", "Выйти"},
    {"sponsor.summary", "Summary of the last check", "Итоги последней проверки"},
    {"sponsor.lost", "Receipt lost", "Квитанция утеряна"},
    {"sponsor.release", "Release", "Освободить"},
    {"sponsor.released", "released: the next log is taken as a first one",
     "освобождён: следующий отчёт будет принят как первый"},
    {"sponsor.releasenote",
     "Release a call whose entrant lost every receipt code: its next log, with a code or none, is taken as a "
     "first one and becomes the call's current log.",
     "Освободите позывной, если участник потерял все коды квитанций: его следующий отчёт, с кодом или без, "
     "будет принят как первый и станет текущим отчётом позывного."},
    {"sponsor.releasedone", "{1} is released: its next log is taken as a first one.",
     "{1} освобождён: его следующий отчёт будет принят как первый."},
    {"sponsor.setaside", "Set aside for your decision: {1}", "Отложено до вашего решения: {1}"},
    {"sponsor.nosetaside", "No version is set aside.", "Отложенных версий нет."},
    {"sponsor.setasidenote",
     "Versions sent without the receipt code of an earlier version of a call that already has a log. None "
     "counts until you accept it; accepted, it becomes the call's current log, and its sender the call's "
     "owner: the earlier receipt codes no longer replace it.",
     "Версии, присланные без кода квитанции прежней версии позывного, у которого уже есть отчёт. Ни одна не "
     "учитывается, пока вы её не примете; принятая становится текущим отчётом позывного, а её отправитель — "
     "его владельцем: прежние коды квитанций больше не заменяют её."},
    {"sponsor.accept", "Accept", "Принять"},
    {"sponsor.accepted", "Version {1} of {2} is now its current log.",
     "Версия {1} отчёта {2} теперь его текущий отчёт."},
    {"sponsor.notsetaside", "That version is not set aside (any more).",
     "Эта версия не отложена (уже не отложена)."},

    // The upload form's categories and what it says when it turns a log away.
    {"upload.categories",
     "Categories: an ADIF log's are these; a Cabrillo log's own header lines stand, and these fill in what "
     "it leaves out",
     "Категории: для отчёта ADIF — эти; у отчёта Cabrillo действуют его собственные строки заголовка, а эти "
     "дополняют то, чего в нём нет"},
    {"upload.nocategory", "—", "—"},
    {"upload.again", "Send the log again", "Отправить отчёт снова"},
    {"error.csrfagain",
     "This form has expired or did not come from this site. What you typed is below: send it again.",
     "Форма устарела или пришла не с этого сайта. Введённое вами — ниже: отправьте ещё раз."},
    {"error.category", "{1} has no value \"{2}\": choose one of the list.",
     "У {1} нет значения «{2}»: выберите одно из списка."},
    // The public results and the list of the logs received.
    {"nav.received", "Logs received", "Полученные отчёты"},
    {"results.title", "Results after the cross-check", "Результаты после перекрёстной проверки"},
    {"results.published", "Published {1} UTC.", "Опубликовано {1} UTC."},
    {"results.overall", "All entrants", "Все участники"},
    {"results.nocategory", "No category given", "Без категории"},
    {"results.place", "Place", "Место"},
    {"results.call", "Call", "Позывной"},
    {"results.claimed", "Claimed", "Заявлено"},
    {"results.checked", "Checked", "После проверки"},
    {"results.qsos", "QSOs", "Связи"},
    {"results.points", "Points", "Очки"},
    {"results.mults", "Mults", "Множители"},
    {"results.score", "Score", "Результат"},
    {"received.title", "Logs received", "Полученные отчёты"},
    {"received.intro",
     "The calls whose logs the robot has received, each with the time its log first arrived. Your own log's "
     "state, and each version you sent, are on its status page, with your receipt code.",
     "Позывные, отчёты которых получил робот, и время, когда отчёт пришёл впервые. Состояние вашего отчёта "
     "и все отправленные вами версии — на странице его состояния, по коду квитанции."},
    {"received.none", "No log has been received yet.", "Отчёты ещё не получены."},
    {"received.call", "Call", "Позывной"},
    {"received.first", "First received, UTC", "Впервые получен, UTC"},
};

const std::unordered_map<std::string_view, const Entry*>& Index() {
  static const auto* index = [] {
    auto* map = new std::unordered_map<std::string_view, const Entry*>;
    for (const Entry& e : kTexts) (*map)[e.key] = &e;
    return map;
  }();
  return *index;
}

}  // namespace

const std::string& Text(Lang lang, std::string_view key) {
  // Each text made a string once: pages ask for the same few hundred again and again.
  static std::mutex mutex;
  static std::unordered_map<std::string, std::string> made[2];
  const int side = lang == Lang::kRussian ? 1 : 0;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = made[side].find(std::string(key));
  if (found != made[side].end()) return found->second;
  const auto entry = Index().find(key);
  std::string text = entry == Index().end() ? "[" + std::string(key) + "]"
                     : side                 ? entry->second->russian
                                            : entry->second->english;
  return made[side].emplace(std::string(key), std::move(text)).first->second;
}

Lang FromAcceptLanguage(const std::string& header) {
  // "ru-RU,ru;q=0.9,en-US;q=0.8": the first of the two with the highest weight.
  double best = -1;
  Lang chosen = Lang::kEnglish;
  std::size_t pos = 0;
  while (pos < header.size()) {
    std::size_t end = header.find(',', pos);
    if (end == std::string::npos) end = header.size();
    std::string item = header.substr(pos, end - pos);
    pos = end + 1;
    double weight = 1;
    const std::size_t q = item.find(";q=");
    if (q != std::string::npos) weight = std::atof(item.c_str() + q + 3);
    item = item.substr(0, item.find(';'));
    item.erase(0, item.find_first_not_of(' '));
    const std::string tag = item.substr(0, 2);
    if ((tag == "ru" || tag == "RU" || tag == "en" || tag == "EN") && weight > best) {
      best = weight;
      chosen = tag == "ru" || tag == "RU" ? Lang::kRussian : Lang::kEnglish;
    }
  }
  return chosen;
}

}  // namespace serve
