#!/usr/bin/python3
"""The log robot in a real browser: Debian's chromium, headless, driven through chromium-driver by Debian's
python3-selenium, over `zorvant serve` started on a free port of the loopback and stopped at the end.

An entrant sends the bundled data/sample-contest.adi and sees the plug-in's 60858 as its claimed score,
with a category chosen on the form, confirms and gets a receipt; a second entrant sends a Cabrillo log with
problems and sees each by its line; a stranger sends the first entrant's call without its receipt code and is
told nothing of an earlier log, and the owner sends it again with the code; the public list shows the calls
received; the sponsor sees the stranger's version set aside, checks and publishes; the results rank per
category; the first entrant's status page then shows the checked score and the UBN report. Last, the pages
at 400 px wide, which must not scroll sideways. Prints one line a step ("browser ok: ..." or "browser FAILED: ...") and
ends with "N passed, M failed"; exits 1 when a step failed.

usage: tests/serve/browser_test.py [--zorvant PATH] [--pictures FOLDER]
  --zorvant   the command to run (default: build/native/bin/zorvant of this repository)
  --pictures  saves pictures of the pages there, 1100 and 400 px wide (upload-answer.png is the README's)
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
KEY = "browser-test-sponsor-key"

# A Cabrillo log with a time that is no HHMM (line 7), a contact line cut short (line 9), a band outside
# the contest (line 8) and a dupe (line 10).
FAULTY_CABRILLO = """START-OF-LOG: 3.0
CONTEST: ZORVANT
CALLSIGN: OK2ZA
CATEGORY-OPERATOR: SINGLE-OP
CATEGORY-MODE: DIGI
QSO:  1838 PM 2026-03-14 1402 OK2ZA         599 001  W5OOI         599 001
QSO:  1838 RY 2026-03-14 18:01 OK2ZA        599 002  OE4YHY/P      599 001
QSO: 10144 RY 2026-03-14 1405 OK2ZA         599 003  DL1ABC        599 004
QSO:  7040 RY 2026-03-14 1406 OK2ZA 599
QSO:  1838 PM 2026-03-14 1407 OK2ZA         599 006  W5OOI         599 002
END-OF-LOG:
""".replace("\n", "\r\n")


class Steps:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, what, ok, detail=""):
        if ok:
            self.passed += 1
            print("browser ok: " + what, flush=True)
        else:
            self.failed += 1
            print("browser FAILED: %s%s" % (what, (": " + detail) if detail else ""), flush=True)
        return ok


def start_server(zorvant, data):
    server = subprocess.Popen([zorvant, "serve", "--data", data, "--start", "2026-03-14 14:00", "--listen",
                               "127.0.0.1:0", "--key", KEY], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True)
    line = server.stdout.readline()
    if "listening on http://" not in line:
        server.kill()
        raise RuntimeError("zorvant serve did not start: " + line + server.stdout.read())
    return server, line.split("listening on ")[1].strip().rstrip("/")


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Headless as root, and nothing of its own over the network: the machine reaches no outside host.
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--window-size=1100,1500", "--user-data-dir=" + profile,
                 "--lang=en-US"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def text_of(driver, element_id):
    found = driver.find_elements(By.ID, element_id)
    return found[0].text if found else ""


def submit(driver, form_action):
    driver.find_element(By.CSS_SELECTOR, 'form[action="%s"] button[type="submit"]' % form_action).click()


def wait_for(driver, element_id):
    WebDriverWait(driver, 20).until(expected_conditions.presence_of_element_located((By.ID, element_id)))


def fits(driver):
    """Whether the page shows whole across the window, with no sideways scrolling."""
    return driver.execute_script(
        "return document.documentElement.scrollWidth <= document.documentElement.clientWidth")


def picture(driver, folder, name):
    if folder:
        os.makedirs(folder, exist_ok=True)
        driver.save_screenshot(os.path.join(folder, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zorvant", default=os.path.join(ROOT, "build", "native", "bin", "zorvant"))
    parser.add_argument("--pictures")
    args = parser.parse_args()

    steps = Steps()
    work = tempfile.mkdtemp(prefix="zorvant-browser-")
    server = driver = None
    try:
        server, url = start_server(args.zorvant, os.path.join(work, "data"))
        driver = browser(os.path.join(work, "profile"))
        sample = os.path.join(ROOT, "data", "sample-contest.adi")

        # The first entrant sends the bundled log and sees the plug-in's score.
        driver.get(url + "/")
        driver.find_element(By.NAME, "log").send_keys(sample)
        driver.find_element(By.NAME, "email").send_keys("ua3xyz@example.org")
        # An ADIF log carries no category: the form gives it.
        Select(driver.find_element(By.NAME, "category-operator")).select_by_value("SINGLE-OP")
        Select(driver.find_element(By.NAME, "category-mode")).select_by_value("DIGI")
        submit(driver, "/upload")
        wait_for(driver, "score")
        steps.check("the bundled log's answer shows the claimed score 60858",
                    text_of(driver, "score") == "60858" and text_of(driver, "call") == "UA3XYZ",
                    text_of(driver, "score"))
        steps.check("the categories chosen on the form are the ADIF log's",
                    "SINGLE-OP" in text_of(driver, "categories") and "DIGI" in text_of(driver, "categories"),
                    text_of(driver, "categories"))
        refused = text_of(driver, "refused")
        steps.check("the answer lists the contacts the contest refuses, by line and why",
                    "90 OK1NMX 30m RTTY band outside the contest" in refused, refused[:300])
        picture(driver, args.pictures, "upload-answer.png")
        submit(driver, "/confirm")
        wait_for(driver, "receipt")
        receipt = text_of(driver, "receipt")
        steps.check("confirming shows a receipt code", len(receipt) == 12, receipt)

        # A second entrant, with a Cabrillo log with problems.
        driver.delete_all_cookies()
        faulty = os.path.join(work, "ok2za.log")
        with open(faulty, "w", newline="") as out:
            out.write(FAULTY_CABRILLO)
        driver.get(url + "/")
        driver.find_element(By.NAME, "log").send_keys(faulty)
        driver.find_element(By.NAME, "email").send_keys("ok2za@example.org")
        submit(driver, "/upload")
        wait_for(driver, "problems")
        rows = [row.text for row in driver.find_elements(By.CSS_SELECTOR, "#problems tr")]
        steps.check("a Cabrillo log's problems are shown by their line, with the line's text",
                    any(r.startswith("7 ") and "18:01" in r for r in rows) and any(r.startswith("9 ") for r in rows),
                    repr(rows))
        refused = text_of(driver, "refused")
        steps.check("its refused contacts too", "8 DL1ABC" in refused and "10 W5OOI" in refused, refused[:300])
        submit(driver, "/confirm")
        wait_for(driver, "receipt")

        # A stranger sends the first entrant's call without its receipt code: the answer reads as for any call,
        # and the version waits for the sponsor. The owner then sends it again with the code.
        driver.delete_all_cookies()
        driver.get(url + "/")
        driver.find_element(By.NAME, "log").send_keys(sample)
        driver.find_element(By.NAME, "email").send_keys("stranger@example.org")
        submit(driver, "/upload")
        wait_for(driver, "score")
        steps.check("a stranger's answer does not tell that the call has sent a log",
                    "has sent a log before" not in driver.page_source)
        submit(driver, "/confirm")
        wait_for(driver, "receipt")
        driver.delete_all_cookies()
        driver.get(url + "/")
        driver.find_element(By.NAME, "log").send_keys(sample)
        driver.find_element(By.NAME, "email").send_keys("ua3xyz@example.org")
        driver.find_element(By.NAME, "receipt").send_keys(receipt)
        submit(driver, "/upload")
        wait_for(driver, "score")
        steps.check("the owner's answer, with the receipt code, says the log replaces the earlier one",
                    "has sent a log before" in driver.page_source)
        submit(driver, "/confirm")
        wait_for(driver, "receipt")
        steps.check("the owner's receipt says which version it replaces",
                    "It replaces version 1" in driver.page_source)

        # The public list of the logs received: calls and times, nothing else.
        driver.get(url + "/received")
        wait_for(driver, "received")
        received = text_of(driver, "received")
        steps.check("the public list shows each call received once, and no e-mail",
                    received.count("UA3XYZ") == 1 and "OK2ZA" in received and "@" not in driver.page_source,
                    received)

        # Russian, by the link on every page.
        driver.get(url + "/")
        driver.find_element(By.LINK_TEXT, "Русский").click()
        steps.check("the language link turns the pages Russian",
                    "Отправьте свой отчёт" in driver.find_element(By.TAG_NAME, "h1").text)
        driver.find_element(By.LINK_TEXT, "English").click()

        # The sponsor enters with the key, checks and publishes.
        driver.delete_all_cookies()
        driver.get(url + "/sponsor")
        driver.find_element(By.NAME, "key").send_keys(KEY)
        submit(driver, "/sponsor/login")
        wait_for(driver, "logs")
        logs = text_of(driver, "logs")
        steps.check("the sponsor lists both logs", "UA3XYZ" in logs and "OK2ZA" in logs, logs)
        setaside = text_of(driver, "setaside")
        steps.check("the sponsor sees the stranger's version set aside",
                    "UA3XYZ" in setaside and "stranger@example.org" in setaside, setaside)
        submit(driver, "/sponsor/publish")
        wait_for(driver, "publish")
        steps.check("check and publish", "Checked and published" in driver.page_source)
        driver.get(url + "/results")
        steps.check("the results page ranks UA3XYZ first",
                    "UA3XYZ" in driver.find_element(By.CSS_SELECTOR, "table tr:nth-child(3)").text)
        headings = [h.text for h in driver.find_elements(By.TAG_NAME, "h2")]
        steps.check("the results rank per category too, and say when they were published",
                    any("SINGLE-OP" in h and "DIGI" in h for h in headings) and
                    text_of(driver, "published").startswith("Published "), repr(headings))
        picture(driver, args.pictures, "results.png")

        # The first entrant's status page shows the checked score.
        driver.delete_all_cookies()
        driver.get(url + "/status")
        driver.find_element(By.NAME, "call").send_keys("ua3xyz")
        driver.find_element(By.NAME, "receipt").send_keys(receipt)
        submit(driver, "/status")
        wait_for(driver, "versions")
        steps.check("the first entrant's status shows the checked score",
                    text_of(driver, "checked") == "60858" and "UBN report of UA3XYZ" in text_of(driver, "ubn"),
                    text_of(driver, "checked"))
        picture(driver, args.pictures, "status.png")

        # A telephone's width: no page scrolls sideways (a wide table scrolls in its own box).
        driver.set_window_size(400, 1500)
        wide = []
        for name, path in (("upload", "/"), ("received", "/received"), ("results", "/results"),
                           ("status", "/status"), ("sponsor", "/sponsor")):
            driver.get(url + path)
            if not fits(driver):
                wide.append(name)
            picture(driver, args.pictures, name + "-400.png")
        driver.get(url + "/")
        driver.find_element(By.NAME, "log").send_keys(sample)
        driver.find_element(By.NAME, "email").send_keys("ua3xyz@example.org")
        submit(driver, "/upload")
        wait_for(driver, "score")
        if not fits(driver):
            wide.append("upload answer")
        picture(driver, args.pictures, "upload-answer-400.png")
        steps.check("at 400 px wide no page scrolls sideways", not wide, ", ".join(wide))
    except Exception as error:  # a step that could not even be tried is a failure too
        steps.check("the browser run", False, "%s: %s" % (type(error).__name__, error))
    finally:
        if driver:
            driver.quit()
        if server:
            server.terminate()
            try:
                server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (steps.passed, steps.failed))
    return 1 if steps.failed else 0


if __name__ == "__main__":
    sys.exit(main())
