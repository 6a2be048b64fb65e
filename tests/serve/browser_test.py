#!/usr/bin/python3
"""The log robot in a real browser: Debian's chromium, headless, driven through chromium-driver by Debian's
python3-selenium, over `zorvant serve` started on a free port of the loopback and stopped at the end.

An entrant sends the bundled data/sample-contest.adi and sees the plug-in's 60858 as its claimed score,
confirms and gets a receipt; a second entrant sends a Cabrillo log with problems and sees each by its line;
the sponsor enters with the key, checks and publishes; the first entrant's status page then shows the
checked score and the UBN report. Prints one line a step ("browser ok: ..." or "browser FAILED: ...") and
ends with "N passed, M failed"; exits 1 when a step failed.

usage: tests/serve/browser_test.py [--zorvant PATH] [--pictures FOLDER]
  --zorvant   the command to run (default: build/native/bin/zorvant of this repository)
  --pictures  saves pictures of the pages there (upload-answer.png is the README's)
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
from selenium.webdriver.support.ui import WebDriverWait

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
        submit(driver, "/upload")
        wait_for(driver, "score")
        steps.check("the bundled log's answer shows the claimed score 60858",
                    text_of(driver, "score") == "60858" and text_of(driver, "call") == "UA3XYZ",
                    text_of(driver, "score"))
        refused = text_of(driver, "refused")
        steps.check("the answer lists the contacts the contest refuses, by line and why",
                    "90 OK1NMX 30m RTTY band outside the contest" in refused, refused[:300])
        if args.pictures:
            os.makedirs(args.pictures, exist_ok=True)
            driver.save_screenshot(os.path.join(args.pictures, "upload-answer.png"))
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
        submit(driver, "/sponsor/publish")
        wait_for(driver, "publish")
        steps.check("check and publish", "Checked and published" in driver.page_source)
        driver.get(url + "/results")
        steps.check("the results page ranks UA3XYZ first",
                    "UA3XYZ" in driver.find_element(By.CSS_SELECTOR, "table tr:nth-child(3)").text)

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
        if args.pictures:
            driver.save_screenshot(os.path.join(args.pictures, "status.png"))
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
