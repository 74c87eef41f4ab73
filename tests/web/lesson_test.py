#!/usr/bin/python3
"""The lesson page (index.html) in headless Chromium through Selenium.

One browser session: a link fills the form (a decimal comma read, an
omitted value left at its default), the form's ranges and the version are
the batch runner's, bad values are marked and start nothing, a preset fills
the form, a frozen run's table says where it froze; a seeded run stepped through
window.lemvaris.step is the batch runner's run (grid and the downloaded
CSV), the canvas shows each cell state in its colour and is the downloaded
PNG; play moves (still the native run, grid and CSV), pause holds, restart
returns to the same start, the keys step and end; the three window sizes;
English and the classic page's link; after one visit the page runs with the
server gone, and can be installed.

Usage: lesson_test.py SITE_DIR --batch LEMVARIS_BATCH [TEST...]
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.support.ui import Select

from page_test import decode_png, start_browser, start_server, wait_until

SITE = BATCH = None
# N, M, K, Ah, Kh, G, rSz, seed of the seeded run. With K = 128 a mean_row
# has up to 7 decimals (25.8515625 at T = 4000), which JavaScript's own
# formatting could round or cut.
LINK = "#N=40&M=50&K=128&Ah=0,3&Kh=0.7&rSz=2&seed=2"
RUN = {"N": "40", "M": "50", "K": "128", "Ah": "0.3", "Kh": "0.7", "G": "0.2", "rSz": "2",
       "seed": "2"}
STEPS = 4321
COLOURS = {0: (0x00, 0x00, 0xAA), 1: (0, 0, 0), 2: (0xFF, 0xFF, 0x55)}  # wall, empty, particle
EXPERIMENTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data",
                           "experiments.json")


def batch_run(steps, run, check=True):
    """The batch runner's CSV and grid (rows of digits) of the same run."""
    with tempfile.TemporaryDirectory() as folder:
        grid = os.path.join(folder, "grid.txt")
        args = [BATCH, "--steps", str(steps), "--grid", grid]
        for name, value in run.items():
            args += ["--" + name, value]
        table = subprocess.run(args, check=check, capture_output=True, text=True).stdout
        with open(grid) as f:
            return table, f.read().split()


class Lesson(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.TemporaryDirectory()
        cls.downloads = tempfile.TemporaryDirectory()
        cls.server = start_server(SITE)
        cls.url = "http://127.0.0.1:%d/" % cls.server.server_address[1]
        cls.browser = start_browser(cls.profile.name)
        cls.browser.execute_cdp_cmd("Page.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": cls.downloads.name})

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.profile.cleanup()
        cls.downloads.cleanup()

    def js(self, script, *args):
        return self.browser.execute_script(script, *args)

    def open(self, address, width=1366, height=657, mobile=False):
        """The page at address in a viewport of exactly width x height."""
        self.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
        self.browser.get("about:blank")  # a new hash alone would not load the page again
        self.browser.get(self.url + address)
        self.assertTrue(wait_until(lambda: self.js("return !document.getElementById('start')"
                                                   ".disabled")), "the core did not load")

    def click(self, element_id):
        self.browser.find_element("id", element_id).click()

    def field(self, name):
        return self.js("return document.getElementById(arguments[0]).value", name)

    def state(self):
        return self.js("return window.lemvaris.state()")

    def downloaded(self, button, suffix):
        """Clicks the button and returns the bytes of the file it saved."""
        for name in os.listdir(self.downloads.name):
            os.remove(os.path.join(self.downloads.name, name))
        self.click(button)
        names = wait_until(lambda: [n for n in os.listdir(self.downloads.name)
                                    if n.endswith(suffix)])
        self.assertTrue(names, "nothing saved by #" + button)
        time.sleep(0.2)
        with open(os.path.join(self.downloads.name, names[0]), "rb") as f:
            return f.read()

    def assert_fits(self, size):
        """No sideways scrolling; the reactor whole in the viewport."""
        view = self.js("const e = document.documentElement, r = document.getElementById"
                       "('reactor').getBoundingClientRect(); return [e.scrollWidth, e.clientWidth,"
                       " innerHeight, r.left, r.top, r.right, r.bottom]")
        scroll_width, width, height, left, top, right, bottom = view
        self.assertLessEqual(scroll_width, width, size)
        self.assertGreaterEqual(left, 0, size)
        self.assertLessEqual(right, width, size)
        self.assertGreaterEqual(top, 0, size)
        self.assertLessEqual(bottom, height, size)
        return bottom - top

    def test_a_form_link_preset_and_refusals(self):
        self.open("index.html" + LINK)
        for name, value in RUN.items():
            self.assertEqual(self.field(name), "0,3" if name == "Ah" else value, name)
        # The ranges and the version come from the core: the batch runner's.
        help_text = subprocess.run([BATCH, "--help"], check=True, capture_output=True,
                                   text=True).stdout
        ranges = {name: "%s…%s" % (low, "N·M" if name == "K" else high) for name, low, high in
                  re.findall(r"--(\w+) .* from (-?\d+) to (\d+)", help_text) if name in RUN}
        self.assertEqual(self.js("return Object.fromEntries(Array.from(document.querySelectorAll"
                                 "('.range'), e => [e.id.split('-')[0], e.textContent]))"), ranges)
        version = subprocess.run([BATCH, "--version"], check=True, capture_output=True,
                                 text=True).stdout.split()[-1]
        self.assertEqual(self.js("return window.lemvaris.version"), version)
        # Out of range, above N*M, malformed: marked at the field, and nothing starts.
        for name, value in [("K", "2001"), ("Kh", "1.5"), ("rSz", "2.5"), ("G", "abc")]:
            self.js("document.getElementById(arguments[0]).value = arguments[1]", name, value)
        self.click("start")
        messages = {"K": "1 és 2000 között legyen.", "Kh": "-1 és 1 között legyen.",
                    "rSz": "Egész számot írjon.", "G": "Ez nem szám."}
        for name, message in messages.items():
            self.assertEqual(self.js("return document.getElementById(arguments[0])"
                                     ".getAttribute('aria-invalid')", name), "true", name)
            self.assertEqual(self.js("return document.getElementById(arguments[0] + '-error')"
                                     ".textContent", name), message)
        self.assertEqual(self.state()["N"], None, "a run started with bad values")
        self.assertEqual(self.js("return document.activeElement.id"), "K")
        # Every preset fills the form and says what to watch.
        with open(EXPERIMENTS, encoding="utf-8") as f:
            experiments = json.load(f)
        names = self.js("return Array.from(document.getElementById('preset').options, o => o.text)")
        self.assertEqual(names[1:], [e["hu"]["name"] for e in experiments])
        self.assertGreaterEqual(len(experiments), 5)
        for i, e in enumerate(experiments):
            Select(self.browser.find_element("id", "preset")).select_by_index(i + 1)
            self.assertEqual({k: float(self.field(k)) for k in e["params"]},
                             {k: float(v) for k, v in e["params"].items()})
            self.assertEqual(self.browser.find_element("id", "preset-watch").text, e["hu"]["watch"])
        self.assertFalse(self.js("return document.querySelector('[aria-invalid=true]')"))
        # A full reactor is frozen at once, and says so; its table is the batch
        # runner's, for the moves the page made.
        self.open("index.html#N=2&M=2&K=4")
        self.click("start")
        self.assertEqual(self.js("return window.lemvaris.step(10)"), 0)
        self.assertTrue(self.state()["frozen"])
        self.assertIn("A részecskék már nem tudnak elmozdulni.",
                      self.browser.find_element("id", "state").text)
        table = self.downloaded("save-csv", ".csv").decode()
        full = {"N": "2", "M": "2", "K": "4", "Ah": "0.5", "Kh": "0.8", "G": "0.2", "rSz": "3"}
        native = list(csv.DictReader(io.StringIO(batch_run(10, full, check=False)[0])))
        for row in native:
            row["steps"] = "0"
        self.assertEqual(native[-1]["frozen_at"], "0")
        self.assertEqual(list(csv.DictReader(io.StringIO(table))), native)

    def test_b_a_seeded_run_is_the_native_run(self):
        self.open("index.html" + LINK)
        self.click("start")
        state = self.state()
        self.assertEqual({k: state[k] for k in RUN},
                         {"N": 40, "M": 50, "K": 128, "Ah": 0.3, "Kh": 0.7, "G": 0.2, "rSz": 2,
                          "seed": 2})
        self.assertEqual(state["T"], 0)
        start = self.js("return Array.from(window.lemvaris.grid())")
        self.click("share")
        link = self.browser.find_element("id", "share-link").text
        self.assertTrue(link.endswith("#N=40&M=50&K=128&Ah=0.3&Kh=0.7&G=0.2&rSz=2&seed=2"), link)
        self.assertEqual(self.js("return location.href"), link.split()[-1])

        self.assertEqual(self.js("return window.lemvaris.step(arguments[0])", STEPS), STEPS)
        table, native_grid = batch_run(STEPS, RUN)
        grid = self.js("return Array.from(window.lemvaris.grid())")
        self.assertEqual(len(grid), 42 * 52)
        self.assertEqual(["".join(map(str, grid[r * 52:(r + 1) * 52])) for r in range(42)],
                         native_grid)
        self.assertEqual(self.downloaded("save-csv", ".csv").decode(), table)
        self.assertEqual(table.count("\n"), 1 + 3 + 1)  # T = 0, 2000, 4000 and 4321

        # The canvas: every cell a square of its state's colour; the PNG is it,
        # over its caption.
        picture = decode_png(self.downloaded("save-png", ".png"))
        width, height, pixels = picture
        side = width // 52
        self.assertEqual(width % 52, 0)
        self.assertGreater(height, 42 * side)
        for i, state in enumerate(grid):
            r, c = divmod(i, 52)
            for y, x in [(r * side, c * side), ((r + 1) * side - 1, (c + 1) * side - 1)]:
                at = (y * width + x) * 3
                self.assertEqual(tuple(pixels[at:at + 3]), COLOURS[state], (r, c))
        self.assertIn(self.js("return getComputedStyle(document.getElementById('reactor'))"
                              ".imageRendering"), ["pixelated", "crisp-edges"])
        legend = self.browser.find_element("css selector", "#chart .u-legend").text
        for name in ["alsó sor", "falérintés", "határfelület", "átlagos sor"]:
            self.assertIn(name, legend)

        # Play moves, pause holds, restart is the same start; L steps, V ends.
        self.click("play")
        self.assertTrue(wait_until(lambda: self.state()["T"] > STEPS + 1000))
        self.click("pause")
        held = self.state()["T"]
        time.sleep(0.5)
        self.assertEqual(self.state()["T"], held)
        # Played at full speed (by the page's worker), still the native run.
        table, native_grid = batch_run(held, RUN)
        grid = self.js("return Array.from(window.lemvaris.grid())")
        self.assertEqual(["".join(map(str, grid[r * 52:(r + 1) * 52])) for r in range(42)],
                         native_grid)
        self.assertEqual(self.downloaded("save-csv", ".csv").decode(), table)
        self.click("restart")
        self.assertEqual(self.state()["T"], 0)
        self.assertEqual(self.js("return Array.from(window.lemvaris.grid())"), start)
        body = self.browser.find_element("tag name", "body")
        body.send_keys("l")
        self.assertEqual(self.state()["T"], 1)
        body.send_keys("c")
        self.assertTrue(wait_until(lambda: self.state()["T"] > 2000))
        body.send_keys("v")
        ended = self.state()["T"]
        self.assertEqual(self.js("return window.lemvaris.step(5)"), 0)
        self.assertTrue(self.browser.find_element("id", "play").get_property("disabled"))
        self.assertEqual(self.state()["T"], ended)

    def test_c_sizes_english_and_the_classic_link(self):
        for width, height, mobile in [(390, 844, True), (1366, 657, False), (1920, 1080, False)]:
            self.open("index.html", width, height, mobile)
            self.click("start")
            tall = self.assert_fits((width, height))
            if width == 1920:
                self.assertGreaterEqual(tall, 500)
        self.open("index.html?lang=en#N=60")
        self.assertEqual(self.js("return document.documentElement.lang"), "en")
        self.assertEqual(self.browser.find_element("id", "start").text, "Start")
        self.assertEqual(self.field("N"), "60")
        self.click("lang-switch")  # back to Hungarian, the form kept
        self.assertTrue(wait_until(lambda: self.js("return document.documentElement.lang") == "hu"))
        self.assertEqual(self.field("N"), "60")
        self.click("classic-link")
        self.assertTrue(wait_until(lambda: self.js("return location.pathname") == "/classic.html"))
        self.assertEqual(self.js("return document.getElementById('lesson-link')"
                                 ".getAttribute('href')"), "index.html")

    def test_d_offline_after_one_visit(self):
        self.open("index.html")
        self.assertTrue(wait_until(lambda: self.js("return !!navigator.serviceWorker.controller")),
                        "no service worker controls the page")
        errors = self.browser.execute_cdp_cmd("Page.getInstallabilityErrors", {})
        self.assertEqual(errors["installabilityErrors"], [])
        self.server.shutdown()  # from here on the page has no server
        self.server.server_close()
        try:
            self.open("index.html?lang=en#K=500")
            self.click("start")
            self.assertEqual(self.js("return window.lemvaris.step(100)"), 100)
            self.assertEqual(self.state()["K"], 500)
        finally:
            type(self).server = start_server(SITE)
            type(self).url = "http://127.0.0.1:%d/" % self.server.server_address[1]


def main():
    global SITE, BATCH
    args = sys.argv[1:]
    if "--batch" not in args:
        sys.exit(__doc__)
    i = args.index("--batch")
    BATCH = args[i + 1]
    del args[i:i + 2]
    if not args:
        sys.exit(__doc__)
    SITE = os.path.abspath(args[0])
    unittest.main(argv=[sys.argv[0], "-v"] + args[1:])


if __name__ == "__main__":
    main()
