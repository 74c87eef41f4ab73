#!/usr/bin/python3
"""The page in headless Chromium through Selenium (Debian's chromium,
chromium-driver and python3-selenium; run with /usr/bin/python3).

Serves the built page folder on a free local port and checks what the page
and the web back end give before the program is wired: the page loads and
takes the focus, the console is 25 lines of 80 characters in its colours,
the picture is the surface pixel for pixel, scaled by a whole factor, side
by side with the console on a wide window and above it on a narrow one;
keys arrive as the terminal's codes; the end offers a new run, which works
with the server gone; the move runs with the page drawing at least 30
frames a second; the files total under 2 MB and nothing is fetched from
elsewhere.

Usage: page_test.py BUILD_WEB_DIR [--screenshot FILE]
"""
import functools
import http.server
import os
import re
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

PAGE_FILES = ["index.html", "style.css", "page.js", "lemvaris.js", "lemvaris.wasm"]
PALETTE = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]
BUILD = None
SCREENSHOT = None


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    requested = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        QuietHandler.requested.append(self.path)
        super().do_GET()


def start_server(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--user-data-dir=" + profile,
                 "--window-size=1600,1000", "--force-device-scale-factor=1"]:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_until(what, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        value = what()
        if value:
            return value
        time.sleep(0.05)
    return what()


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.TemporaryDirectory()
        cls.server = start_server(BUILD)
        cls.url = "http://127.0.0.1:%d/" % cls.server.server_address[1]
        cls.browser = start_browser(cls.profile.name)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.profile.cleanup()

    def load(self, width=1600, height=1000):
        self.browser.set_window_size(width, height)
        self.browser.get(self.url)
        self.assertTrue(wait_until(lambda: "webes" in self.console_lines()[0]),
                        "the probe did not start: %r" % self.console_lines()[:3])

    def console_lines(self):
        text = self.browser.execute_script("return document.getElementById('console').textContent")
        return text.split("\n")

    def wait_for_line(self, pattern, seconds=20):
        found = wait_until(lambda: [l for l in self.console_lines() if re.search(pattern, l)], seconds)
        self.assertTrue(found, "no console line matches %r: %r" % (pattern, self.console_lines()))
        return found[-1]

    def press(self, *keys):
        self.browser.switch_to.active_element.send_keys(*keys)

    def pixel(self, x, y):
        return tuple(self.browser.execute_script(
            "const d = document.getElementById('screen').getContext('2d')"
            ".getImageData(arguments[0], arguments[1], 1, 1).data; return [d[0], d[1], d[2]];", x, y))

    def box(self, element_id):
        return self.browser.execute_script(
            "const r = document.getElementById(arguments[0]).getBoundingClientRect();"
            "return {left: r.left, top: r.top, right: r.right, bottom: r.bottom,"
            " width: r.width, height: r.height};", element_id)

    def test_console_is_25_lines_of_80_in_colour_and_has_the_focus(self):
        self.load()
        lines = self.console_lines()
        self.assertEqual(len(lines), 25)
        self.assertEqual({len(l) for l in lines}, {80})
        self.assertEqual(lines[0].rstrip(), "Lemvaris ▓ webes próba")
        self.assertEqual(lines[1].rstrip(), "Billentyű: a kódja; R: futás; Esc: vége")
        first = self.browser.execute_script(
            "return document.getElementById('console').querySelector('span span').className")
        self.assertEqual(first, "f14 b1")  # yellow on blue
        self.assertEqual(self.browser.execute_script("return document.activeElement.id"), "console")
        if SCREENSHOT:
            self.browser.save_screenshot(SCREENSHOT)

    def test_canvas_shows_the_surface_scaled_by_a_whole_factor(self):
        # Side by side where that gives the larger picture, else stacked.
        for width, height, wide in [(1600, 1000, True), (700, 1400, False), (1400, 1200, False),
                                    (1500, 900, True)]:
            self.load(width, height)
            canvas, console = self.box("screen"), self.box("console")
            factor = canvas["width"] / 640
            self.assertEqual(factor, int(factor), (width, height, canvas))
            self.assertGreaterEqual(factor, 1)
            self.assertEqual(canvas["height"], 480 * factor)
            if wide:
                self.assertGreaterEqual(canvas["left"], console["right"], (width, height))
            else:
                self.assertGreaterEqual(canvas["top"], console["bottom"], (width, height))
            view = self.browser.execute_script("return [window.innerWidth, window.innerHeight]")
            for b in (canvas, console):  # both in view at once
                self.assertLessEqual(b["right"], view[0], (width, height, b))
                self.assertLessEqual(b["bottom"], view[1], (width, height, b))
        self.assertIn(self.browser.execute_script(
            "return getComputedStyle(document.getElementById('screen')).imageRendering"),
            ["pixelated", "crisp-edges"])  # no smoothing
        for c, rgb in enumerate(PALETTE):
            self.assertEqual(self.pixel(20 + c * 37 + 18, 400), rgb, "bar %d" % c)
        for x, y in [(0, 0), (5, 9), (63, 63), (17, 40)]:
            self.assertEqual(self.pixel(500 + x, 40 + y), PALETTE[(x ^ y) & 15], (x, y))

    def test_keys_arrive_as_the_terminal_codes(self):
        self.load()
        self.press("a", "Z")
        # The driver types letters beyond ASCII without key events; a keyboard
        # with them sends these.
        for key in ["ő", "Ű"]:
            self.browser.execute_script(
                "document.getElementById('console').dispatchEvent(new KeyboardEvent('keydown',"
                " {key: arguments[0], bubbles: true}))", key)
        self.press(Keys.ENTER, Keys.BACKSPACE, Keys.ARROW_UP, Keys.PAGE_DOWN, Keys.F1, Keys.F10,
                   Keys.DELETE)
        # ő and Ű are 139 and 235 in code page 852.
        expected = [97, 90, 139, 235, 13, 8, 0, 72, 0, 81, 0, 59, 0, 68, 0, 83]
        self.wait_for_line(r"^key 83")
        codes = [int(l.split()[1]) for l in self.console_lines() if l.startswith("key ")]
        self.assertEqual(codes, expected)
        self.press(Keys.SHIFT, Keys.CONTROL + "c")  # no character, and the browser's copy
        self.press("x")
        self.wait_for_line(r"^key 120")
        codes = [int(l.split()[1]) for l in self.console_lines() if l.startswith("key ")]
        self.assertEqual(codes, expected + [120])

    def test_end_offers_a_new_run_that_works_offline(self):
        self.load()
        again = self.browser.find_element(By.ID, "again")
        self.assertFalse(again.is_displayed())
        self.press("q", Keys.ESCAPE)
        self.wait_for_line(r"^vége")
        self.assertTrue(wait_until(again.is_displayed))
        self.assertEqual(again.text, "Új futás")
        self.assertEqual(self.pixel(100, 400), (0, 0, 0))  # the surface was closed
        requested = set(QuietHandler.requested)
        origin = self.url.rstrip("/")
        self.server.shutdown()  # from here on the page has no server
        self.server.server_close()
        try:
            again.click()
            self.assertTrue(wait_until(lambda: not again.is_displayed()))
            self.assertTrue(wait_until(lambda: self.pixel(20 + 18, 400) == PALETTE[0] and
                                       self.pixel(20 + 37 + 18, 400) == PALETTE[1]))
            lines = self.console_lines()
            self.assertEqual(lines[0].rstrip(), "Lemvaris ▓ webes próba")
            self.assertFalse([l for l in lines if l.startswith("key")], lines)
            self.press("b")
            self.wait_for_line(r"^key 98")
        finally:
            type(self).server = start_server(BUILD)
            type(self).url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        self.assertTrue(requested <= {"/"} | {"/" + f for f in PAGE_FILES}, requested)
        origins = self.browser.execute_script(
            "return performance.getEntriesByType('resource').map(e => new URL(e.name).origin)")
        self.assertEqual(set(origins) - {origin}, set())

    def test_the_move_runs_while_the_page_draws_30_frames_a_second(self):
        self.load()
        self.press("r")
        line = self.wait_for_line(r"^moves/s \d+ frames/s", 30)
        moves, frames = float(line.split()[1]), float(line.split()[3])
        print("\nin the browser: %s" % line.strip(), file=sys.stderr)
        self.assertGreaterEqual(frames, 30)
        self.assertGreater(moves, 0)

    def test_the_page_files_total_under_2_mb(self):
        total = sum(os.path.getsize(os.path.join(BUILD, f)) for f in PAGE_FILES)
        self.assertLess(total, 2 * 1024 * 1024)


if __name__ == "__main__":
    args = sys.argv[1:]
    if "--screenshot" in args:
        i = args.index("--screenshot")
        SCREENSHOT = args[i + 1]
        del args[i:i + 2]
    if len(args) != 1:
        sys.exit(__doc__)
    BUILD = os.path.abspath(args[0])
    unittest.main(argv=[sys.argv[0], "-v"])
