#!/usr/bin/python3
"""Speed of the web page in headless Chromium, run by hand after
scripts/build-web:

  bench/web_bench.py [PAGE_FOLDER]

Prints: the count's update after a keystroke in a 100,000-line box (from
the key press to the label's change and to the frame that shows it), the
time 1,000,000 links, past the search engines' limits, take from the click
to the question and to the file handed to the browser, as one file and as
parts (zip, and a folder held in memory),
100,000 links as parts, a 1,000,000-line file dropped on the box in each
encoding, and the page's size, gzip-compressed.
"""
import gzip
import os
import statistics
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

FOLDER = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-web")
LINK = "https://www.example.com/articles/2015/02/old-page-%07d.html"
# Times every keystroke from the key press: to the count label's change, and
# to the end of the frame that shows it (a task queued from the next frame).
KEY_TIMES = """
window.keyTimes = [];
document.addEventListener('keydown', () => { window.keyDown = performance.now(); }, true);
new MutationObserver(() => {
  const changed = performance.now() - window.keyDown;
  requestAnimationFrame(() => setTimeout(() => window.keyTimes.push(
      [changed, performance.now() - window.keyDown, window.lirrevoLastCountMs]), 0));
}).observe(document.getElementById('count'), {childList: true, characterData: true, subtree: true});
"""


def wait_for(condition, timeout=300):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise SystemExit("timed out")
        time.sleep(0.01)


# Stands in for the folder picker: the parts are kept as Blobs.
MEMORY_FOLDER = """
window.showDirectoryPicker = async () => ({ name: "memory",
  getFileHandle: async () => ({ createWritable: async () => ({
    write: async () => {}, close: async () => {}, abort: async () => {} }) }) });
"""
# A file of arguments[0] lines in the encoding arguments[1], dropped on the
# box's first line.
DROP = """
const [count, encoding] = arguments;
const text = Array.from({length: count}, (_, i) => "https://www.example.com/死链/old-page-" + i)
    .join("\\n") + "\\n";
let bytes = new TextEncoder().encode(text);
if (encoding === "utf-16le") {
  const units = new Uint16Array(text.length + 1);
  units[0] = 0xFEFF;
  for (let i = 0; i < text.length; i++) units[i + 1] = text.charCodeAt(i);
  bytes = new Uint8Array(units.buffer);
} else if (encoding === "gb18030") {
  bytes = new TextEncoder().encode(text.replaceAll("死链", "sl"));
  const gbk = new Uint8Array(bytes.length + 3);
  gbk.set([0xCB, 0xC0, 0x0A]);  // 死 in GBK, first: not UTF-8 from the start
  gbk.set(bytes, 3);
  bytes = gbk;
}
window.lirrevoEditor.setValue("");
const data = new DataTransfer();
data.items.add(new File([bytes], "list.txt"));
const at = window.lirrevoEditor.charCoords({line: 0, ch: 0}, "window");
window.lirrevoLastDropMs = undefined;
document.querySelector(".CodeMirror-scroll").dispatchEvent(new DragEvent("drop", {
  dataTransfer: data, clientX: at.left + 1, clientY: (at.top + at.bottom) / 2,
  bubbles: true, cancelable: true}));
"""


def generate(driver, answer):
    """Clicks 生成, answers the question with the button, and returns the
    message, the page's own time from the click to it, the question left
    out, and the seconds from the click to the question (None without one)."""
    started = time.monotonic()
    driver.execute_script("document.getElementById('generate').click();")
    wait_for(lambda: driver.execute_script(
        "return document.getElementById('question').open"
        " || document.getElementById('message').open;"))
    asked = None
    if driver.execute_script("return document.getElementById('question').open;"):
        asked = time.monotonic() - started
        driver.find_element(By.ID, "question-" + answer).click()
    wait_for(lambda: driver.execute_script("return document.getElementById('message').open;"))
    message = driver.find_element(By.ID, "message-text").text
    inside = driver.execute_script("return window.lirrevoLastGenerateMs;")
    driver.find_element(By.ID, "message-ok").click()
    return message, inside / 1000, asked


def main():
    downloads = tempfile.mkdtemp(prefix="lirrevo-web-bench-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--disable-gpu", "--window-size=1280,900",
                 "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]:
        options.add_argument(flag)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    driver.execute_cdp_cmd("Browser.grantPermissions", {
        "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
    try:
        driver.get("file://" + os.path.join(FOLDER, "lirrevo.html"))
        box = driver.find_element(By.ID, "box")
        box.click()
        text = "\n".join(LINK % i for i in range(100_000))
        driver.execute_script("return navigator.clipboard.writeText(arguments[0]);", text)
        box.send_keys(Keys.CONTROL, "v")
        driver.execute_script(KEY_TIMES)
        for key in "abcdefghij\nklmnopqrst":
            box.send_keys(key)
            time.sleep(0.05)
        times = driver.execute_script("return window.keyTimes;")
        label, frame, page = ([t[i] for t in times] for i in range(3))
        print("keystroke, 100,000 lines (%d keys): count label changed %.1f ms median (max %.1f)"
              " after the key press, frame drawn %.1f ms (max %.1f); the count itself %.2f ms"
              % (len(times), statistics.median(label), max(label), statistics.median(frame),
                 max(frame), statistics.median(page)))

        started = time.monotonic()
        driver.execute_script(
            "window.lirrevoEditor.setValue("
            "Array.from({length: 1000000}, (_, i) => arguments[0] + i).join('\\n'));"
            "window.showSaveFilePicker = undefined;", "https://www.example.com/articles/old-page-")
        print("1,000,000 links put in the box: %.2f s" % (time.monotonic() - started))
        print(driver.find_element(By.ID, "count").text)
        for _ in range(3):
            started = time.monotonic()
            # Clicked from the page: a click through the driver would first lay
            # out the million-line box to find the button.
            message, inside, asked = generate(driver, "no")
            saved = os.path.join(downloads, "deadlinks.xml")
            # The browser downloads into another name and renames when done.
            wait_for(lambda: os.path.exists(saved))
            on_disk = time.monotonic() - started
            size = os.path.getsize(saved)
            os.remove(saved)
            print("1,000,000 links past the limits, one file: %s, question %.2f s after the"
                  " click, %.2f s from the click to the message in the page, %.2f s to the whole"
                  " file on disk, %d bytes" % (message, asked, inside, on_disk, size))

        for count in [100_000, 1_000_000]:
            driver.execute_script(
                "window.lirrevoEditor.setValue("
                "Array.from({length: arguments[1]}, (_, i) => arguments[0] + i).join('\\n'));",
                "https://www.example.com/articles/old-page-", count)
            driver.execute_script("window.showDirectoryPicker = undefined;")
            message, inside, _ = generate(driver, "yes")
            saved = os.path.join(downloads, "deadlinks.zip")
            wait_for(lambda: os.path.exists(saved))
            print("%d links to parts, zip: %s, %.2f s from the click to the message, zip %d bytes"
                  % (count, message.replace("\n", " "), inside, os.path.getsize(saved)))
            os.remove(saved)
            driver.execute_script(MEMORY_FOLDER)
            message, inside, _ = generate(driver, "yes")
            print("%d links to parts, folder: %s, %.2f s from the click to the message"
                  % (count, message.replace("\n", " "), inside))

        for encoding in ["utf-8", "utf-16le", "gb18030"]:
            started = time.monotonic()
            driver.execute_script(DROP, 1_000_000, encoding)
            wait_for(lambda: driver.execute_script(
                "return window.lirrevoLastDropMs !== undefined;"))
            print("1,000,000-line %s file dropped: %.2f s from the drop to the lines in the box"
                  " (%s)" % (encoding, driver.execute_script("return window.lirrevoLastDropMs;")
                             / 1000, driver.find_element(By.ID, "count").text))
    finally:
        driver.quit()

    total = 0
    for name in sorted(os.listdir(FOLDER)):
        with open(os.path.join(FOLDER, name), "rb") as f:
            packed = len(gzip.compress(f.read(), 9))
        total += packed
        print("%s: %d bytes gzip-compressed" % (name, packed))
    print("page in all: %d bytes gzip-compressed" % total)


if __name__ == "__main__":
    main()
