#!/usr/bin/python3
"""Makes the documents' pictures in docs/images/, to be committed, so that
building the documents needs no browser:

    screen.png   the classic program's screen: lemvaris-batch --png of the run
                 N=100 M=100 K=3000 Ah=0.5 Kh=0.8 G=0.2 rSz=3 after 200000 moves
    lesson.png   the lesson page in headless Chromium (Selenium): the
                 experiment "wetting" at T = 20000
    plot.png     lemvaris.plot.series of the wall contacts, three adhesions
                 from eight seeds each

Needs a build (build/tools/lemvaris-batch, build/python/), the pages
(./scripts/web.sh --build-only puts them in build-web/), Chromium with its
WebDriver, Selenium, matplotlib and Pillow (scripts/deps.sh --test).

Usage: /usr/bin/python3 docs/pictures.py [--build build] [--site build-web] [--only NAME]
"""
import argparse
import functools
import http.server
import os
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGES = os.path.join(TOP, "docs", "images")
# The lesson page's link of the experiment "wetting" (data/experiments.json).
WETTING = "index.html?lang=en#N=60&M=60&K=900&Ah=1&Kh=0.2&G=0.2&rSz=3&seed=0"
LESSON_T = 20000
LESSON_SIZE = (1366, 768)


def screen(build):
    """The batch runner's picture of the screen, as it writes it."""
    target = os.path.join(IMAGES, "screen.png")
    subprocess.run([os.path.join(build, "tools", "lemvaris-batch"), "--N", "100", "--M", "100",
                    "--K", "3000", "--Ah", "0.5", "--Kh", "0.8", "--G", "0.2", "--rSz", "3",
                    "--steps", "200000", "--png", target],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return target


def fewer_colours(path, colours=128):
    """The picture with at most `colours` colours: the same to the eye, a
    fraction of the bytes."""
    from PIL import Image
    with Image.open(path) as image:
        small = image.convert("RGB").quantize(colours, method=Image.Quantize.MEDIANCUT,
                                              dither=Image.Dither.NONE)
    small.save(path, optimize=True)


def plot(build):
    """series() of an ensemble: the wall contacts over T for three adhesions."""
    sys.path.insert(0, os.path.join(build, "python"))
    import matplotlib
    matplotlib.use("Agg")
    import lemvaris
    import lemvaris.plot

    df = lemvaris.sweep({"N": 60, "M": 60, "K": 900, "Ah": [-1, 0, 1], "Kh": 0.2, "G": 0.2,
                         "rSz": 3}, steps=20000, seeds=8, progress=False)
    ax = lemvaris.plot.series(df, "wall_contacts")
    ax.set_title("Wetting: the wall contacts for three adhesions")
    ax.figure.set_size_inches(6.4, 4)
    ax.figure.tight_layout()
    target = os.path.join(IMAGES, "plot.png")
    ax.figure.savefig(target, dpi=90)
    fewer_colours(target)
    return target


def wait_until(what, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        value = what()
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError("the page did not get there in %d s" % seconds)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def lesson(site):
    """The lesson page with the wetting experiment run to T = 20000."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    if not os.path.exists(os.path.join(site, "index.html")):
        sys.exit(f"{site}/index.html is missing: ./scripts/web.sh --build-only makes it")
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with tempfile.TemporaryDirectory() as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ["--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
                     "--disable-background-networking", "--disable-sync",
                     "--user-data-dir=" + profile, "--hide-scrollbars",
                     "--force-device-scale-factor=1"]:
            options.add_argument(flag)
        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        try:
            width, height = LESSON_SIZE
            browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
            browser.get("http://127.0.0.1:%d/%s" % (server.server_address[1], WETTING))
            wait_until(lambda: browser.execute_script(
                "return !document.getElementById('start').disabled"))
            browser.find_element("id", "start").click()
            while browser.execute_script("return window.lemvaris.state().T") < LESSON_T:
                browser.execute_script(
                    "window.lemvaris.step(Math.min(5000, arguments[0] - window.lemvaris.state().T))",
                    LESSON_T)
            # The numbers change at most four times a second: let them and the chart settle.
            time.sleep(1.5)
            browser.execute_script("document.activeElement.blur(); window.scrollTo(0, 0)")
            target = os.path.join(IMAGES, "lesson.png")
            with open(target, "wb") as f:
                f.write(browser.get_screenshot_as_png())
        finally:
            browser.quit()
            server.shutdown()
            server.server_close()
    fewer_colours(target)
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(TOP, "build"))
    parser.add_argument("--site", default=os.path.join(TOP, "build-web"))
    parser.add_argument("--only", choices=["screen", "lesson", "plot"])
    options = parser.parse_args()
    os.makedirs(IMAGES, exist_ok=True)
    makers = {"screen": lambda: screen(options.build), "plot": lambda: plot(options.build),
              "lesson": lambda: lesson(options.site)}
    for name, make in makers.items():
        if options.only in (None, name):
            path = make()
            print(f"{os.path.relpath(path, TOP)}: {os.path.getsize(path)} bytes")


if __name__ == "__main__":
    main()
