#!/usr/bin/python3
"""The atlas as a reader sees it: headless Chromium opens the sample world's site from disk with
no network, and the map's pixels, its marker popup, the search, the region keys and the address
are checked against what karst-render and karst-gff say.

  atlas_browser.py KARST_RENDER KARST_SAMPLEWORLD SCREENSHOT.png
"""
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from PIL import Image
from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

WIDTH, HEIGHT = 1001, 701  # odd on purpose: the view's pixel sits at floor(size / 2)
BOX = 96  # screen pixels compared on every side of the centre
WAIT = 20  # seconds a page gets to show what is asked of it

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)
    return condition


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def wait_for(what, probe):
    deadline = time.monotonic() + WAIT
    while True:
        value = probe()
        if value or time.monotonic() > deadline:
            return check(value, "waited in vain for " + what)
        time.sleep(0.1)


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--force-device-scale-factor=1", f"--window-size={WIDTH},{HEIGHT}",
                     "--hide-scrollbars", "--proxy-server=127.0.0.1:9", "--host-resolver-rules=MAP * ~NOTFOUND",
                     "--disable-background-networking", "--no-first-run"]:
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    # The window's own frame takes its share of the size asked for: grow it by that much, so the
    # page gets exactly WIDTH x HEIGHT.
    inner = driver.execute_script("return [window.innerWidth, window.innerHeight]")
    outer = driver.get_window_size()
    driver.set_window_size(outer["width"] + WIDTH - inner[0], outer["height"] + HEIGHT - inner[1])
    return driver


def screen_matches(driver, reference, x, y, scale):
    """The screen around its centre against the reference picture, map pixel (x, y) at the centre."""
    shot = Path(driver.screenshot_path)
    driver.save_screenshot(str(shot))
    screen = Image.open(shot).convert("RGB")
    width, height = driver.execute_script("return [window.innerWidth, window.innerHeight]")
    cx, cy = width // 2, height // 2
    for dy in range(-BOX, BOX):
        for dx in range(-BOX, BOX):
            expected = reference.getpixel((x * scale + dx, y * scale + dy))
            if screen.getpixel((cx + dx, cy + dy)) != expected:
                driver.last_mismatch = f"screen {cx + dx},{cy + dy} is {screen.getpixel((cx + dx, cy + dy))}, " \
                                       f"the picture {expected}"
                return False
    return True


def set_layer(driver, layer, on):
    box = driver.find_element(By.ID, layer)
    if box.is_selected() != on:
        box.click()


def open_view(driver, site, fragment):
    driver.get((site / "index.html").as_uri() + "#" + fragment)


def main():
    karst_render, sample_world, screenshot = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as temporary:
        work = Path(temporary)
        world, site = work / "world", work / "site"
        run(sample_world, str(world))
        run(karst_render, "atlas", str(world), "-o", str(site), "-j", "2")
        ground_site = work / "ground-site"
        run(karst_render, "atlas", str(world), "-o", str(ground_site), "--no-objects", "-j", "2")
        for scale in (1, 4):
            run(karst_render, "region", str(world / "RGN01.GFF"), "--scale", str(scale), "-o",
                str(work / f"RGN01-{scale}.png"))
        rows = json.loads((site / "data" / "RGN01.json").read_text())["entities"]
        driver = start_browser()
        driver.screenshot_path = work / "screen.png"
        driver.last_mismatch = ""
        try:
            check(driver.execute_script("return [window.innerWidth, window.innerHeight]") == [WIDTH, HEIGHT],
                  "the window is not the size asked for")
            # Exact pixels at one and four screen pixels a map pixel, near the region's edge too.
            for zoom, scale, x, y in [(0, 1, 1000, 700), (2, 4, 333, 517), (0, 1, 100, 97)]:
                reference = Image.open(work / f"RGN01-{scale}.png").convert("RGB")
                open_view(driver, site, f"RGN01/{x}/{y}/{zoom}")
                wait_for(f"the pixels of RGN01/{x}/{y}/{zoom} ({driver.last_mismatch})",
                         lambda: screen_matches(driver, reference, x, y, scale))
            # The README's picture: the sample world's first region with its markers and grid.
            open_view(driver, site, "RGN01/700/500/1")
            set_layer(driver, "layerMarkers", True)
            set_layer(driver, "layerGrid", True)
            time.sleep(0.5)
            driver.save_screenshot(screenshot)

            # A marker's popup shows its entity's row.
            row = rows[len(rows) // 2]
            open_view(driver, site, f"RGN01/{row['x']}/{row['y']}/1")
            canvas = driver.find_element(By.ID, "canvas")
            set_layer(driver, "layerGrid", False)
            ActionChains(driver).move_to_element(canvas).click().perform()  # the canvas's centre pixel
            popup = driver.find_element(By.ID, "popup")
            wait_for("the popup", popup.is_displayed)
            shown = dict(line.split(" ", 1) for line in popup.text.splitlines())
            for field in ("index", "x", "y", "z", "mirrored", "objectId", "bitmapId", "drawn"):
                value = row[field]
                if field == "drawn":
                    wanted = "yes" if value else "no: " + row["reason"]
                elif value is None or isinstance(value, bool):
                    wanted = {None: "none", True: "true", False: "false"}[value]
                else:
                    wanted = str(value)
                check(shown.get(field) == wanted, f"the popup's {field} is {shown.get(field)!r}, not {wanted!r}")

            # Arrow keys pan 16 map pixels; Space steps to the next region and Backspace back.
            body = driver.find_element(By.TAG_NAME, "body")
            open_view(driver, site, "RGN01/500/400/0")
            body.send_keys(Keys.ARROW_RIGHT)
            wait_for("the arrow key's pan", lambda: driver.execute_script("return location.hash") == "#RGN01/516/400/0")
            body.send_keys(Keys.SPACE)
            wait_for("Space's next region", lambda: driver.execute_script("return location.hash").startswith("#RGN02/"))
            body.send_keys(Keys.BACKSPACE)
            wait_for("Backspace's region", lambda: driver.execute_script("return location.hash").startswith("#RGN01/"))

            # The search finds a region by name and an entity by its object, and goes there.
            open_view(driver, site, "")
            search = driver.find_element(By.ID, "search")
            search.send_keys("old TOWN")
            found = driver.find_element(By.ID, "found")
            check(found.text == "Region RGN04 - Old Town", f"searching old TOWN found {found.text!r}")
            search.send_keys(Keys.ENTER)
            wait_for("the region found", lambda: driver.execute_script("return location.hash").startswith("#RGN04"))
            check(driver.find_element(By.ID, "title").text == "RGN04 - Old Town", "the map is not headed by its name")
            open_view(driver, site, "")
            search = driver.find_element(By.ID, "search")
            search.clear()
            search.send_keys(str(row["objectId"]))
            wanted = f"RGN01: entity {row['index']}, object {row['objectId']} at {row['x']}, {row['y']}"
            check(wanted in driver.find_element(By.ID, "found").text.splitlines(),
                  f"searching object {row['objectId']} did not find {wanted!r}")
            driver.find_element(By.LINK_TEXT, wanted).click()
            wait_for("the entity found", lambda: driver.find_element(By.ID, "popup").is_displayed())
            check(driver.execute_script("return location.hash") == f"#RGN01/{row['x']}/{row['y']}/1",
                  "the entity found is not at the view's centre")

            # What is not there is said: a search without matches, a region the atlas lacks.
            open_view(driver, site, "")
            check(driver.find_elements(By.ID, "unfinished") == [], "a finished site says it is unfinished")
            search = driver.find_element(By.ID, "search")
            search.clear()
            search.send_keys("no such place")
            check(driver.find_element(By.ID, "found").text == "No match.", "a search without matches says nothing")
            open_view(driver, site, "RGN99/1/1/0")
            wait_for("the missing region named", lambda: driver.find_element(By.ID, "found").text ==
                     "This atlas has no region RGN99.")
            # The Objects layer is there to turn off only where the maps have objects.
            for shown_site, shown in ((site, True), (ground_site, False)):
                open_view(driver, shown_site, "RGN01")
                wait_for("the map", lambda: driver.find_element(By.ID, "map").is_displayed())
                check(driver.find_element(By.ID, "layerObjects").is_displayed() == shown,
                      f"the Objects layer's box is {'hidden' if shown else 'shown'} in {shown_site.name}")

            errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
            check(errors == [], f"the console shows errors: {errors}")
        finally:
            driver.quit()
    if failures:
        print(f"{len(failures)} checks failed", file=sys.stderr)
        return 1
    print("the atlas passed every check")
    return 0


if __name__ == "__main__":
    sys.exit(main())
