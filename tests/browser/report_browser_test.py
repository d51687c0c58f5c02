#!/usr/bin/python3
"""The HTML report in a real browser: headless Chromium (Debian's chromium and chromium-driver,
driven through Debian's python3-selenium) loads the reports of several examples, fails on any
console message of error level, checks what the page's script drew (a lane per reminder, a mark
per alert, action and notification, counted through thinned marks), moves the scrubber with the
arrow keys and compares the phone panel with the state the report's data gives at that instant,
and saves a screenshot of each page.

    report_browser_test.py QUORVEL_SIM SOURCE_DIR OUT_DIR [--screenshots DIR]

Exit status 0 when every page passes, 1 on a failure, 77 (skipped) when Chromium is missing and
CI is not set (CI needs it: scripts/setup.sh --test installs it).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

# (example, what it covers, arrow presses before the panel is checked)
EXAMPLES = [
    ("ios9-sms.json", "iPhone, iOS 9", 6),
    ("ipad-listed-app.json", "iPad, iOS 10, a listed app's icon", 5),
    ("auto-lock-repost.json", "locked periods, lock-screen list", 8),
    ("quiet-hours.json", "hours outside the start window", 9),
    ("do-not-disturb.json", "do not disturb", 7),
    ("ios10-whatsapp.json", "iPhone, iOS 10", 4),
    ("--random --seed 3 --days 2", "two random days: marks thinned when zoomed out", 12),
]
# The pages whose screenshots the README shows, each at the first instant the phone shows that.
README_SHOTS = {
    "auto-lock-repost.json": ("report-auto-lock-repost.png", lambda p: p["locked"] and len(p["list"]) >= 2 and p["icons"]),
    "ipad-listed-app.json": ("report-ipad.png", lambda p: p["banner"] and p["icons"]),
}


def fail(message):
    print("FAILED: " + message)
    return 1


def embedded_data(html):
    match = re.search(r'<script type="application/json" id="qv-data">(.*?)</script>', html, re.S)
    return json.loads(match.group(1))


def instants(data):
    """Every instant something happened, as the page's arrow keys walk them."""
    end = max(data["end"], 1)
    found = {0, end}
    for row in ("actions", "notifications"):
        found.update(m[0] for m in data[row])
    for lane in data["lanes"]:
        found.update(a[0] for a in lane["alerts"])
        for run in lane["runs"]:
            found.add(run[0])
            if run[3] is not None:
                found.add(run[3])
    found.update(c[0] for c in data["panel"]["changes"])
    return sorted(t for t in found if 0 <= t <= end)


def panel_at(data, t):
    """The phone's state at t from the report's data: locked, our status items, banner, list."""
    s = data["strings"]
    start = data["panel"]["start"]
    locked, icons, banner, listed = start["locked"], {s[i] for i, _ in start["icons"]}, None, []
    for change in data["panel"]["changes"]:
        if change[0] > t:
            break
        what = change[1]
        if what == "lock":
            locked = change[2]
        elif what == "icon":
            icons.add(s[change[2]])
        elif what == "hide":
            icons.discard(s[change[2]])
        elif what == "banner":
            banner = change[2]
        elif what == "list":
            listed = [s[i] for i in change[2]]
    return {"locked": locked, "icons": sorted(icons), "banner": banner is not None, "list": listed}


def check_page(driver, path, data, presses, keys):
    driver.get("file://" + path)
    problems = []
    for entry in driver.get_log("browser"):
        if entry.get("level") == "SEVERE":
            problems.append("console error: " + entry.get("message", ""))
    if driver.execute_script("return typeof window.quorvelReport") != "object":
        problems.append("the page's script did not finish")
        return problems
    lanes = driver.execute_script("return document.querySelectorAll('#timeline g.lane').length")
    if lanes != len(data["lanes"]):
        problems.append("%d lanes drawn, %d reminders" % (lanes, len(data["lanes"])))
    counted = driver.execute_script(
        "const n = {}; for (const m of document.querySelectorAll('#timeline .mark'))"
        " n[m.dataset.kind] = (n[m.dataset.kind] || 0) + Number(m.dataset.count); return n;")
    expected = {
        "alert": sum(len(lane["alerts"]) for lane in data["lanes"]),
        "action": len(data["actions"]),
        "notification": len(data["notifications"]),
        "start": sum(len(lane["runs"]) for lane in data["lanes"]),
    }
    for kind, count in expected.items():
        if counted.get(kind, 0) != count:
            problems.append("%s marks count %d, expected %d" % (kind, counted.get(kind, 0), count))
    drawn_marks = driver.execute_script("return document.querySelectorAll('#timeline .mark').length")
    if sum(expected.values()) > 2000 and drawn_marks * 2 > sum(expected.values()):
        problems.append("%d marks drawn for %d things: not thinned" % (drawn_marks, sum(expected.values())))
    # The scrubber, moved with the keyboard: each arrow press goes to the next instant.
    scrubber = driver.find_element("id", "scrubber")
    scrubber.click()
    driver.execute_script("arguments[0].focus(); window.quorvelReport.setNow(0);", scrubber)
    for _ in range(presses):
        scrubber.send_keys(keys.ARROW_RIGHT)
    walk = instants(data)
    want_time = walk[min(presses, len(walk) - 1)]
    now = driver.execute_script("return window.quorvelReport.now()")
    if now != want_time:
        problems.append("after %d presses the instant is %s ms, expected %s ms" % (presses, now, want_time))
    want = panel_at(data, want_time)
    drawn = driver.execute_script(
        "const p = document.getElementById('phone');"
        "return {locked: p.dataset.locked === 'true',"
        " icons: Array.from(p.querySelectorAll('.sb-item')).map(e => e.dataset.item).sort(),"
        " banner: !!p.querySelector('#banner'),"
        " list: Array.from(p.querySelectorAll('.ls-item')).map(e => e.dataset.id)};")
    for key in ("locked", "icons", "banner"):
        if drawn[key] != want[key]:
            problems.append("panel at %d ms: %s is %s, expected %s" % (want_time, key, drawn[key], want[key]))
    if want["locked"] and drawn["list"] != want["list"][: len(drawn["list"])]:
        problems.append("lock-screen list %s, expected %s" % (drawn["list"], want["list"]))
    if want["locked"] and want["list"] and not drawn["list"]:
        problems.append("the lock-screen list is not drawn")
    return problems


def main(argv):
    if len(argv) < 4:
        print(__doc__)
        return 2
    sim, source, out_dir = argv[1], argv[2], argv[3]
    shots = argv[argv.index("--screenshots") + 1] if "--screenshots" in argv else None
    chromium, driver_path = shutil.which("chromium"), shutil.which("chromedriver")
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.keys import Keys
    except ImportError:
        webdriver = None
    if not (chromium and driver_path and webdriver):
        message = "Chromium, chromedriver or python3-selenium is missing (scripts/setup.sh --test installs them)"
        if os.environ.get("CI"):
            return fail(message)
        print("SKIPPED: " + message)
        return 77
    os.makedirs(out_dir, exist_ok=True)
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=1500,1000", "--force-device-scale-factor=1", "--hide-scrollbars"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    started = time.time()
    driver = webdriver.Chrome(service=Service(executable_path=driver_path), options=options)
    failures = 0  # pages that failed
    try:
        for example, covers, presses in EXAMPLES:
            random = example.startswith("--random")
            page = os.path.join(os.path.abspath(out_dir), "random.html" if random else example.replace(".json", ".html"))
            scenario = example.split() if random else [os.path.join(source, "examples", example)]
            run = subprocess.run([sim, "--explain", "--html", page] + scenario, capture_output=True, text=True)
            if run.returncode != 0:
                failures += fail("%s: quorvel-sim exited %d: %s" % (example, run.returncode, run.stderr))
                continue
            with open(page, encoding="utf-8") as f:
                data = embedded_data(f.read())
            problems = check_page(driver, page, data, presses, Keys)
            driver.save_screenshot(page.replace(".html", ".png"))
            if shots and example in README_SHOTS:
                name, wanted = README_SHOTS[example]
                instant = next((t for t in instants(data) if wanted(panel_at(data, t))), 0)
                driver.execute_script("window.quorvelReport.setNow(%d); window.scrollTo(0, 0);" % instant)
                driver.save_screenshot(os.path.join(shots, name))
            for p in problems:
                fail("%s (%s): %s" % (example, covers, p))
            failures += 1 if problems else 0
            if not problems:
                print("ok: %s (%s): %d lanes, panel checked after %d arrow presses" % (example, covers, len(data["lanes"]), presses))
    finally:
        driver.quit()
    print("%d passed, %d failed" % (len(EXAMPLES) - failures, failures))
    print("browser test took %.1f s" % (time.time() - started))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
