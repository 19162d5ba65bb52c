#!/usr/bin/python3
"""The web page in headless Chromium: typing, pasting and dropping files, the
count, the button, the document's bytes (and the parts past the engines'
limits) against lirrevo-cli's for the same lines and date, refused documents,
keyboard and narrow screens, the app's installability and offline reload, and
no request to the network at all (every request the browser makes is watched).

usage: web_page_test.py PAGE_FOLDER LIRREVO_CLI
"""
import base64
import functools
import http.server
import io
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

PAGE_FOLDER = ""
CLI = ""
# 2026-01-02 00:00:00 UTC: lirrevo-cli dates its entries with that UTC date.
EPOCH_OF_DATE = "1767312000"
FIXED_DATE = "window.lirrevoDateForTests = () => [2026, 1, 2];"
COUNT = "共有链接数量：{}  --->点击生成XML"
# Replaces the Save dialog: records what the page asks for and writes; the
# user "types" window.pickerName, and the file is renamed by move().
FAKE_PICKER = """
window.pickerCalls = [];
window.pickerBytes = null;
window.pickerName = "deadlinks.xml";
window.showSaveFilePicker = async (options) => {
  window.pickerCalls.push(options);
  return { name: window.pickerName,
    move: async (name) => { window.pickerName = name; },
    getFile: async () => new Blob(window.pickerBytes ? [new Uint8Array(window.pickerBytes)] : []),
    remove: async () => { window.pickerRemoved = true; },
    createWritable: async () => ({
      write: async (blob) => {
        window.pickerBytes = Array.from(new Uint8Array(await blob.arrayBuffer())); },
      close: async () => {} }) };
};
"""
# Replaces the folder picker: the files written in it, as Blobs, by name,
# once they are put in place.
FAKE_FOLDER = """
window.folderFiles = {};
window.showDirectoryPicker = async (options) => ({ name: "out",
  getFileHandle: async (name, how) => ({ createWritable: async () => {
    let written = null;
    return { write: async (blob) => { written = blob; },
             close: async () => { window.folderFiles[name] = written; },
             abort: async () => {} };
  } }) });
"""
# The files of the fake folder, base64 by name.
FOLDER_FILES = """
const read = (blob) => new Promise((resolve) => {
  const reader = new FileReader();
  reader.onload = () => resolve(reader.result.slice(reader.result.indexOf(",") + 1));
  reader.readAsDataURL(blob);
});
const names = Object.keys(window.folderFiles);
return Promise.all(names.map((n) => read(window.folderFiles[n]))).then(
  (texts) => Object.fromEntries(names.map((n, i) => [n, texts[i]])));
"""

# Drops a file made of the bytes (base64) on the box at line arguments[2],
# column arguments[3], as the browser hands on a file dragged from the desktop.
DROP_FILE = """
const [packed, name, line, ch] = arguments;
const file = new File([Uint8Array.from(atob(packed), (c) => c.charCodeAt(0))], name);
const data = new DataTransfer();
data.items.add(file);
const at = window.lirrevoEditor.charCoords({line, ch}, "window");
window.lirrevoLastDropMs = undefined;
document.querySelector(".CodeMirror-scroll").dispatchEvent(new DragEvent("drop", {
  dataTransfer: data, clientX: at.left + 1, clientY: (at.top + at.bottom) / 2,
  bubbles: true, cancelable: true}));
"""


def wait_for(condition, what, timeout=60):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.02)


def cli_document(lines, encoding=None):
    """What lirrevo-cli writes for the lines (or the bytes of a list file in
    the encoding), dated EPOCH_OF_DATE."""
    env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH_OF_DATE)
    data = lines if isinstance(lines, bytes) else "\n".join(lines).encode()
    options = ["--input-encoding", encoding] if encoding else []
    run = subprocess.run([CLI, *options], input=data, env=env, capture_output=True, check=True)
    return run.stdout


def cli_parts(lines, stem):
    """The parts lirrevo-cli --split writes for the lines, by name."""
    env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH_OF_DATE)
    with tempfile.TemporaryDirectory(prefix="lirrevo-web-") as folder:
        subprocess.run([CLI, "--split", "-o", os.path.join(folder, stem + ".xml")],
                       input="\n".join(lines).encode(), env=env, capture_output=True, check=True)
        parts = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as f:
                parts[name] = f.read()
        return parts


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    """A static web server on loopback for the folder, and its origin."""
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(QuietHandler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.downloads = tempfile.mkdtemp(prefix="lirrevo-web-")
        cls.home = tempfile.mkdtemp(prefix="lirrevo-web-home-")
        options = webdriver.ChromeOptions()
        options.add_argument("--user-data-dir=" + os.path.join(cls.home, "profile"))
        options.binary_location = "/usr/bin/chromium"
        for flag in ["--headless=new", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-default-apps", "--disable-sync", "--disable-extensions",
                     "--disable-features=Translate,OptimizationHints,MediaRouter",
                     "--window-size=1280,900",
                     # Nothing outside this machine can be reached by name.
                     "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]:
            options.add_argument(flag)
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        options.add_experimental_option("prefs", {
            "download.default_directory": cls.downloads,
            "download.prompt_for_download": False})
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        service = Service("/usr/bin/chromedriver", env=dict(os.environ, HOME=cls.home))
        cls.driver = webdriver.Chrome(service=service, options=options)
        cls.driver.execute_cdp_cmd("Browser.grantPermissions", {
            "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        cls.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": cls.downloads})
        cls.server, cls.origin = serve(PAGE_FOLDER)
        cls.origins = [cls.origin]

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        shutil.rmtree(cls.downloads, ignore_errors=True)
        shutil.rmtree(cls.home, ignore_errors=True)

    def setUp(self):
        self.requests = []
        self.open_page("file://" + os.path.join(PAGE_FOLDER, "lirrevo.html"))

    def tearDown(self):
        self.check_requests()

    def open_page(self, url):
        self.driver.get(url)
        wait_for(lambda: self.driver.execute_script(
            "return document.readyState === 'complete'"), "the page")
        self.box = self.driver.find_element(By.ID, "box")
        self.box.click()

    def check_requests(self):
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                self.requests.append(message["params"]["request"]["url"])
        # chrome:// is the browser's own new-tab page in the fresh profile.
        allowed = ("file://", "data:", "blob:", "chrome://", *self.origins)
        outside = [url for url in self.requests if not url.startswith(allowed)]
        self.assertEqual(outside, [], "requests that left the machine")

    def count(self):
        return self.driver.find_element(By.ID, "count").text

    def paste(self, text):
        """Puts the text on the clipboard and pastes it with Ctrl+V."""
        self.driver.execute_script("return navigator.clipboard.writeText(arguments[0]);", text)
        self.box.send_keys(Keys.CONTROL, "v")

    def clear_box(self):
        self.box.send_keys(Keys.CONTROL, "a")
        self.box.send_keys(Keys.DELETE)

    def generate(self, answer=None):
        """Clicks 生成, answers the question past the engines' limits ("yes"
        or "no"; its text is kept in self.question), and returns the message
        shown, then closes it."""
        # Clicked from the page: a click through the driver would first lay
        # out a long box to find the button.
        self.driver.execute_script("document.getElementById('generate').click();")
        if answer is not None:
            self.question = wait_for(lambda: self.driver.execute_script(
                "const q = document.getElementById('question');"
                "return q.open && document.getElementById('question-text').textContent;"),
                "the question", timeout=120)
            self.assertEqual(self.driver.find_element(By.ID, "question-title").text, "信息：")
            self.assertEqual(self.driver.execute_script("return document.activeElement.id;"),
                             "question-yes")
            self.driver.find_element(By.ID, "question-" + answer).click()
        return self.generate_message()

    def generate_message(self):
        """The message shown once it is open; closes it with 确定."""
        text = wait_for(lambda: self.driver.execute_script(
            "const m = document.getElementById('message');"
            "return m.open && document.getElementById('message-text').textContent;"),
            "the message", timeout=120)
        self.assertEqual(self.driver.find_element(By.ID, "message-title").text, "信息：")
        self.driver.find_element(By.ID, "message-ok").click()
        return text

    def take_download(self, name="deadlinks.xml"):
        """The bytes of the downloaded file, once it is there; removes it."""
        saved = os.path.join(self.downloads, name)
        wait_for(lambda: os.path.exists(saved), "the download")
        with open(saved, "rb") as f:
            written = f.read()
        os.remove(saved)
        return written

    def test_count_follows_typing(self):
        # (typed text, count): a trailing line break adds no link, empty lines do.
        cases = [("", 0), ("a", 1), ("a\n", 1), ("a\nb", 2), ("\n\n", 2),
                 ("链接\n\nb\n", 3), ("a\u2028b", 2)]
        for typed, expected in cases:
            with self.subTest(typed=typed):
                self.clear_box()
                self.paste(typed) if "\u2028" in typed else self.box.send_keys(typed)
                self.assertEqual(self.count(), COUNT.format(expected))

    def test_pasted_list_becomes_the_desktop_document(self):
        lines = ["https://example.com/page/%d?a=1&b=<%d>" % (i, i) for i in range(99_995)]
        lines += ["http://例子.测试/路径/文件", "'quoted' \"both\"\tand a tab", "",
                  "€ ·é 鿿 𠀀", "   spaces kept   "]
        self.assertEqual(len(lines), 100_000)
        self.paste("\n".join(lines))
        self.assertEqual(self.count(), COUNT.format(100_000))
        # Keystrokes at the end of the 100,000-line box.
        self.box.send_keys(Keys.CONTROL, Keys.END)
        self.box.send_keys(Keys.ENTER)
        self.assertEqual(self.count(), COUNT.format(100_000))
        self.box.send_keys("z")
        self.assertEqual(self.count(), COUNT.format(100_001))
        lines.append("z")

        self.driver.execute_script(FIXED_DATE + "delete window.showSaveFilePicker;"
                                   "window.showSaveFilePicker = undefined;")
        # Past both limits, and the answer is to write the one file anyway.
        self.assertEqual(self.generate("no"), "生成成功！")
        self.assertRegex(self.question, r"^共有 100,001 条链接，共 [0-9,]+ 字节，超过每个文件 "
                         r"50,000 条和 10,485,760 字节的限制，搜索引擎会拒收。\n分成 3 个文件"
                         r"（deadlinks-1.xml、deadlinks-2.xml、deadlinks-3.xml）吗？$")
        written = self.take_download()
        self.assertEqual(written, cli_document(lines))
        self.assertIn(b"<lastmod>2026-1-2</lastmod>", written[:400])

    def test_every_character_is_written_as_the_desktop_writes_it(self):
        # Every Unicode scalar value that XML and the system's text can hold
        # (U+E78D-U+E864, which holds the few private-use characters without a
        # code, is left out), but the line and paragraph separators, which end
        # a line in the window and not in lirrevo-cli.
        points = [c for c in range(0x80, 0x110000)
                  if not 0xD800 <= c < 0xE000 and not 0xE78D <= c <= 0xE864
                  and c not in (0xFFFE, 0xFFFF, 0x2028, 0x2029)]
        lines = ["".join(map(chr, points[i:i + 64])) for i in range(0, len(points), 64)]
        self.driver.execute_script(
            FIXED_DATE + "window.showSaveFilePicker = undefined;"
            "window.lirrevoEditor.setValue(arguments[0]);"
            "document.getElementById('generate').click();", "\n".join(lines))
        written = self.take_download()
        self.assertEqual(written, cli_document(lines))

    def test_save_dialog_gets_an_xml_name_and_the_bytes(self):
        self.driver.execute_script(FIXED_DATE + FAKE_PICKER)
        self.box.send_keys("http://a.example/x?y=1&z=2\n链接")
        self.assertEqual(self.generate(), "生成成功！")
        calls = self.driver.execute_script("return window.pickerCalls;")
        self.assertEqual(len(calls), 1)
        self.assertTrue(calls[0]["suggestedName"].endswith(".xml"))
        self.assertEqual(calls[0]["types"][0]["accept"], {"application/xml": [".xml"]})
        written = bytes(self.driver.execute_script("return window.pickerBytes;"))
        self.assertEqual(written, cli_document(["http://a.example/x?y=1&z=2", "链接"]))

    def test_typed_name_without_extension_gets_xml(self):
        self.driver.execute_script(FIXED_DATE + FAKE_PICKER)
        self.box.send_keys("a")
        # (typed name, name of the file written)
        cases = [("dead", "dead.xml"), ("dead.xml", "dead.xml"), ("DEAD.XML", "DEAD.XML"),
                 ("dead.txt", "dead.txt"), ("死链", "死链.xml")]
        for typed, written in cases:
            with self.subTest(typed=typed):
                self.driver.execute_script("window.pickerName = arguments[0];", typed)
                self.assertEqual(self.generate(), "生成成功！")
                self.assertEqual(self.driver.execute_script("return window.pickerName;"), written)
        # 确定 and 生成 in one task, before the message's close event: the
        # second click still writes.
        self.driver.execute_script("window.pickerName = 'again';"
                                   "document.getElementById('generate').click();")
        wait_for(lambda: self.driver.execute_script(
            "return document.getElementById('message').open;"), "the message")
        self.driver.execute_script("window.pickerName = 'once more';"
                                   "document.getElementById('message-ok').click();"
                                   "document.getElementById('generate').click();")
        self.assertEqual(self.generate_message(), "生成成功！")
        self.assertEqual(self.driver.execute_script("return window.pickerName;"), "once more.xml")

    def test_past_the_limits_parts_go_to_a_folder_or_a_zip(self):
        long_link = "https://b.example/" + "x" * 11_000 + "/%d"
        # (links, Save picker's typed name or None where the browser has
        # none, the question, the message's second line)
        cases = [
            (["https://a.example/%d" % i for i in range(55_000)], "dead",
             "共有 55,000 条链接，超过每个文件 50,000 条的限制，搜索引擎会拒收。\n"
             "分成 2 个文件（dead-1.xml、dead-2.xml）吗？", "已在文件夹“out”中写入 2 个文件。"),
            ([long_link % i for i in range(1_000)], None,
             "共有 1,000 条链接，共 {:,} 字节，超过每个文件 10,485,760 字节的限制，"
             "搜索引擎会拒收。\n分成 2 个文件（deadlinks-1.xml、deadlinks-2.xml）吗？",
             "已下载 deadlinks.zip，内有 2 个文件。")]
        for lines, typed, question, written in cases:
            with self.subTest(typed=typed):
                if typed is None:
                    self.driver.execute_script(FIXED_DATE + "window.showSaveFilePicker = undefined;"
                                               "window.showDirectoryPicker = undefined;")
                else:
                    self.driver.execute_script(FIXED_DATE + FAKE_PICKER + FAKE_FOLDER +
                                               "window.pickerName = arguments[0];", typed)
                self.driver.execute_script("window.lirrevoEditor.setValue(arguments[0]);",
                                           "\n".join(lines))
                self.assertEqual(self.generate("yes"), "生成成功！\n" + written)
                self.assertEqual(self.question, question.format(len(cli_document(lines))))
                if typed is None:
                    with zipfile.ZipFile(io.BytesIO(self.take_download("deadlinks.zip"))) as z:
                        parts = {name: z.read(name) for name in z.namelist()}
                else:
                    parts = {name: base64.b64decode(data) for name, data
                             in self.driver.execute_script(FOLDER_FILES).items()}
                    self.assertTrue(self.driver.execute_script("return window.pickerRemoved;"))
                self.assertEqual(parts, cli_parts(lines, "dead" if typed else "deadlinks"))

    def drop(self, data, line=0, ch=0):
        """Drops a file of the bytes on the box; the message shown, if any."""
        self.driver.execute_script(DROP_FILE, base64.b64encode(data).decode(), "list.txt", line, ch)
        message = wait_for(lambda: self.driver.execute_script(
            "if (window.lirrevoLastDropMs !== undefined) return [null];"
            "const m = document.getElementById('message');"
            "return m.open && [document.getElementById('message-text').textContent];"),
            "the drop")[0]
        if message is not None:
            self.driver.find_element(By.ID, "message-ok").click()
        return message

    def test_dropped_file_is_read_as_lirrevo_cli_reads_it(self):
        self.driver.execute_script(FIXED_DATE + FAKE_PICKER)
        text = "http://例子.测试/路径?a=1&b=2\r\n\n死链 ·\rhttps://a.example/x\n"
        wide = text + "𠀀 鿿 € \U0010FFFD\n"
        # (encoding lirrevo-cli is told, bytes of the file)
        cases = [(None, wide.encode()), (None, b"\xef\xbb\xbf" + wide.encode()),
                 ("gbk", text.encode("gbk")), ("gb18030", wide.encode("gb18030")),
                 (None, b"\xff\xfe" + wide.encode("utf-16-le")),
                 (None, b"\xfe\xff" + wide.encode("utf-16-be"))]
        for encoding, data in cases:
            with self.subTest(encoding=encoding, start=data[:3]):
                self.driver.execute_script("window.lirrevoEditor.setValue('');")
                self.assertIsNone(self.drop(data))
                self.assertEqual(self.generate(), "生成成功！")
                written = bytes(self.driver.execute_script("return window.pickerBytes;"))
                self.assertEqual(written, cli_document(data, encoding))
        # The lines go in where the file lands.
        self.driver.execute_script("window.lirrevoEditor.setValue('x\\nyz');")
        self.assertIsNone(self.drop(b"a\r\nb\n", line=1, ch=1))
        self.assertEqual(self.driver.execute_script(
            "return window.lirrevoEditor.getValue('\\n');"), "x\nya\nb\nz")

    def test_undecodable_dropped_file_puts_nothing_in(self):
        # Bytes valid in none of the encodings, or a line the document cannot
        # hold: a form feed, and U+E78D, which has no GB18030 code and whose
        # UTF-8 must not be read again as GB18030.
        cases = [b"a\n\x81\n", b"\xff\xfe\x41", b"\xfe\xff\xd8\x00\x00\x41", b"a\x0cb\n",
                 "x\ue78da\n".encode(), "ok\nx\ufffe".encode("utf-16")]
        for data in cases:
            with self.subTest(data=data):
                self.driver.execute_script("window.lirrevoEditor.setValue('kept');")
                self.assertTrue(self.drop(data).startswith("无法读取“list.txt”："))
                self.assertEqual(self.driver.execute_script(
                    "return window.lirrevoEditor.getValue();"), "kept")

    def test_refused_documents_write_nothing(self):
        self.driver.execute_script(FIXED_DATE + FAKE_PICKER)
        # A form feed and U+FFFE cannot stand in XML; U+E78D and U+E864 have
        # no code in the system's text.
        for text in ["a\u000cb", "ok\nx\ufffe", "\ue78d", "a\nb\ue864"]:
            with self.subTest(text=ascii(text)):
                self.clear_box()
                self.paste(text)
                self.assertEqual(self.generate(), "失败")
                self.assertIsNone(self.driver.execute_script("return window.pickerBytes;"))

    def test_keyboard_order_labels_and_narrow_screens(self):
        active = "return document.activeElement.id;"
        self.assertEqual(self.driver.execute_script(active), "box")
        # The focused box and button are outlined.
        outline = "return getComputedStyle(arguments[0]).outlineStyle;"
        editor = self.driver.find_element(By.CLASS_NAME, "CodeMirror")
        self.assertNotEqual(self.driver.execute_script(outline, editor), "none")
        self.box.send_keys(Keys.TAB)
        self.assertEqual(self.driver.execute_script(active), "generate")
        self.assertEqual(self.driver.execute_script(outline, editor), "none")
        self.assertNotEqual(self.driver.execute_script(
            outline, self.driver.switch_to.active_element), "none")
        self.driver.switch_to.active_element.send_keys(Keys.TAB)
        self.assertEqual(self.driver.execute_script(active), "info")
        # What a screen reader is told about the box.
        self.assertEqual(self.box.accessible_name, "死链地址：一行一条")
        self.assertEqual(self.box.aria_role, "textbox")
        self.assertEqual(self.driver.find_element(By.ID, "info").get_attribute("title"), "使用说明")
        self.assertEqual(self.driver.find_element(By.ID, "count").get_attribute("role"), "status")
        # 200% zoom of a 1280-pixel window, and a phone: nothing needs a
        # sideways scroll and the button stays in reach.
        for width in [640, 360]:
            with self.subTest(width=width):
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": 700, "deviceScaleFactor": 1, "mobile": False})
                fits = self.driver.execute_script(
                    "const r = document.getElementById('generate').getBoundingClientRect();"
                    "return document.documentElement.scrollWidth <= innerWidth"
                    " && r.left >= 0 && r.right <= innerWidth;")
                self.assertTrue(fits)
        self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    def generates_what_lirrevo_cli_writes(self):
        """Two links typed and generated give lirrevo-cli's bytes."""
        self.driver.execute_script(FIXED_DATE + FAKE_PICKER)
        self.box.send_keys("a\nb")
        self.assertEqual(self.count(), COUNT.format(2))
        self.assertEqual(self.generate(), "生成成功！")
        written = bytes(self.driver.execute_script("return window.pickerBytes;"))
        self.assertEqual(written, cli_document(["a", "b"]))

    def test_served_from_a_web_server(self):
        self.open_page(self.origin + "lirrevo.html")
        self.generates_what_lirrevo_cli_writes()
        self.check_requests()
        self.assertIn(self.origin + "lirrevo-core.js", self.requests)  # the watch sees requests

    def test_installs_as_an_app_and_opens_offline(self):
        # A server of its own, stopped once the page has been seen.
        server, origin = serve(PAGE_FOLDER)
        self.origins.append(origin)
        self.open_page(origin + "lirrevo.html")
        self.assertTrue(self.driver.execute_script(
            "return navigator.serviceWorker.ready.then((r) => r.active !== null);"))
        errors = self.driver.execute_cdp_cmd("Page.getInstallabilityErrors", {})
        self.assertEqual(errors["installabilityErrors"], [])
        server.shutdown()
        server.server_close()
        self.open_page(origin + "lirrevo.html")
        self.assertTrue(self.driver.execute_script("return navigator.serviceWorker.controller !== null;"))
        self.generates_what_lirrevo_cli_writes()
        # The information page came from the worker too.
        self.assertTrue(self.driver.execute_script(
            "return document.getElementById('info').contentDocument.body.textContent"
            ".includes('生成');"))


if __name__ == "__main__":
    PAGE_FOLDER = os.path.abspath(sys.argv[1])
    CLI = os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
