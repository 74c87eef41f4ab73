"""What the page tests share: the built folder served on a free local port,
headless Chromium through Selenium (Debian's chromium, chromium-driver and
python3-selenium; /usr/bin/python3), and a test class that holds both."""
import functools
import http.server
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    requested = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        QuietHandler.requested.append(self.path)
        super().do_GET()


def hashed(folder, name):
    """The name the site's build gave the file name in folder (stem.hash.extension)."""
    stem, extension = os.path.splitext(name)
    found = [f for f in os.listdir(folder)
             if re.fullmatch(re.escape(stem) + r"\.[0-9a-f]{10}" + re.escape(extension), f)]
    assert len(found) == 1, (name, found)
    return found[0]


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


def decode_png(data):
    """(width, height, RGB bytes) through netpbm's decoder."""
    ppm = subprocess.run(["pngtopnm"], input=data, capture_output=True, check=True).stdout
    fields = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
    assert fields and fields.group(3) == b"255", ppm[:20]
    width, height = int(fields.group(1)), int(fields.group(2))
    return width, height, ppm[fields.end():fields.end() + width * height * 3]


class ServedPage(unittest.TestCase):
    """A folder served and a browser on it for the whole class; the test's
    main sets `folder` before the tests run."""
    folder = None

    @staticmethod
    def start_browser(profile):
        return start_browser(profile)

    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.TemporaryDirectory()
        cls.server = start_server(cls.folder)
        cls.url = "http://127.0.0.1:%d/" % cls.server.server_address[1]
        cls.browser = cls.start_browser(cls.profile.name)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.profile.cleanup()

    def js(self, script, *args):
        return self.browser.execute_script(script, *args)



def command_line(usage, names=()):
    """SITE_DIR, each --NAME VALUE, then the tests to run (all when none): the
    folder, made absolute and served to every ServedPage, the options' values
    by name and the unittest arguments. A missing part ends with the usage."""
    args = sys.argv[1:]
    options = {}
    for name in names:
        if name not in args or args.index(name) + 1 >= len(args):
            sys.exit(usage)
        i = args.index(name)
        options[name] = args[i + 1]
        del args[i:i + 2]
    if not args:
        sys.exit(usage)
    ServedPage.folder = os.path.abspath(args[0])
    return ServedPage.folder, options, [sys.argv[0], "-v"] + args[1:]
