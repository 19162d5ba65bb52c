#!/usr/bin/python3
"""README.md's examples of lirrevo-cli against the built program, so that
they cannot rot: each shell example is run as written in a folder of its own
that holds the files it names (its links on the test's own loopback server,
/var/... moved into the folder), and must end with status 0. Examples that
would ask example.com over the network (check and update of the site's own
links) are not run; their options, and those of every lirrevo-cli command in
the README (the crontab line, the systemd unit), are checked against the
command's --help.

usage: readme_examples_test.py README LIRREVO_CLI LINK_SERVER
"""
import gzip
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

README = ""
CLI = ""
LINK_SERVER = ""

LOG_LINE = ('203.0.113.{n} - - [07/Dec/2026:08:0{n}:00 +0800] "GET {path} HTTP/1.1" {status} 153 '
            '"https://other.example/page" "Mozilla/5.0 (compatible; Googlebot/2.1)"\n')


def code_blocks(text):
    """The README's indented code blocks, each as (first line number, lines),
    leaving out the synopses (the block after a synopsis marker)."""
    blocks = []
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        if lines[i].startswith("    ") and (i == 0 or lines[i - 1] == ""):
            start = i
            while i < len(lines) and (lines[i].startswith("    ") or lines[i] == ""):
                i += 1
            body = [line[4:] for line in lines[start:i]]
            while body and body[-1] == "":
                body.pop()
            marker = start >= 2 and lines[start - 2].startswith("<!-- synopsis: ")
            if not marker:
                blocks.append((start + 1, body))
        else:
            i += 1
    return blocks


def commands_of(body):
    """A block's command lines, continued lines joined: the lines after "$ "
    where the block shows a prompt (the rest is output), else every line."""
    prompted = [line[2:] for line in body if line.startswith("$ ")]
    lines = prompted or body
    commands = []
    for line in lines:
        if commands and (commands[-1].endswith("\\") or commands[-1].endswith("|")):
            commands[-1] = commands[-1].rstrip("\\") + " " + line.strip()
        else:
            commands.append(line)
    return commands


def is_shell_example(command):
    return command.startswith("lirrevo-cli ") or re.match(r"^[a-z]\S* .*\| lirrevo-cli ", command)


def needs_network(command):
    """check, update and crawl ask every link; the README's own site is example.com."""
    return re.search(r"lirrevo-cli (check|update|crawl) ", command) and "example.com" in command


def invocations(text):
    """Every `lirrevo-cli ...` in the text as its words up to the end of its
    step of a pipeline or list, also inside a quoted word (`sh -c '...'`)."""
    lexer = shlex.shlex(text, posix=True, punctuation_chars=True)
    lexer.whitespace_split = True
    found = []
    current = None
    for word in list(lexer) + [";"]:
        if current is not None and word in ("|", "||", "&&", ";", "&"):
            found.append(current)
            current = None
        elif word == "lirrevo-cli":
            current = []
        elif current is not None:
            current.append(word)
        elif "lirrevo-cli " in word:
            found += invocations(word)
    return found


def help_options(command):
    """The options `lirrevo-cli COMMAND --help` lists: name -> takes a value."""
    out = subprocess.run([CLI, command, "--help"], capture_output=True, text=True, check=True).stdout
    options = {}
    for line in out.split("\n"):
        if not line.startswith("  -"):
            continue
        column = line[2:].split("  ")[0]
        names = column.split(", ")
        last = names[-1].split(" ")
        names[-1] = last[0]
        for name in names:
            options[name] = len(last) > 1
    return options


class ReadmeExamples(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(README, encoding="utf-8") as f:
            cls.text = f.read()
        cls.blocks = code_blocks(cls.text)
        out = subprocess.run([CLI, "--help"], capture_output=True, text=True, check=True).stdout
        listed = out.split("Commands", 1)[1].split("\n\n", 1)[0]
        cls.commands = re.findall(r"^  ([a-z][-a-z]*) ", listed, re.M)
        cls.options = {command: help_options(command) for command in cls.commands}
        cls.server = subprocess.Popen([sys.executable, LINK_SERVER, "--hosts", "1"],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        ready = cls.server.stdout.readline().split()
        assert ready and ready[0] == "ready", ready
        cls.site = "http://127.0.0.1:%s" % ready[1]
        cls.fixture = tempfile.mkdtemp(prefix="lirrevo-readme-")
        cls.make_fixture(os.path.join(cls.fixture, "files"))

    @classmethod
    def tearDownClass(cls):
        cls.server.stdin.close()
        cls.server.wait(timeout=30)
        shutil.rmtree(cls.fixture)

    @classmethod
    def make_fixture(cls, root):
        """The files the examples name: lists of links that are dead on the
        loopback server, and access logs as nginx writes them."""
        os.makedirs(os.path.join(root, "var/log/nginx"))
        os.makedirs(os.path.join(root, "var/www/example.com"))
        with open(os.path.join(root, "links.txt"), "w") as f:
            f.write("%s/status/404\n%s/status/410\n" % (cls.site, cls.site))
        with open(os.path.join(root, "new-links.txt"), "w") as f:
            f.write("%s/status/410\n" % cls.site)
        log = "".join(LOG_LINE.format(n=n, path=path, status=status) for n, (path, status) in
                      enumerate([("/gone", 404), ("/", 200), ("/old.php", 404), ("/removed", 410)]))
        for folder in (root, os.path.join(root, "var/log/nginx")):
            with open(os.path.join(folder, "access.log"), "w") as f:
                f.write(log)
            with gzip.open(os.path.join(folder, "access.log.1.gz"), "wt") as f:
                f.write(log)
        bin_folder = os.path.join(cls.fixture, "bin")
        os.makedirs(bin_folder)
        os.symlink(os.path.abspath(CLI), os.path.join(bin_folder, "lirrevo-cli"))

    def run_example(self, command):
        folder = tempfile.mkdtemp(dir=self.fixture)
        shutil.copytree(os.path.join(self.fixture, "files"), folder, dirs_exist_ok=True)
        env = {name: value for name, value in os.environ.items() if "proxy" not in name.lower()}
        env.update(PATH=os.path.join(self.fixture, "bin") + ":/usr/bin:/bin", HOME=folder,
                   SOURCE_DATE_EPOCH="1767312000")
        return subprocess.run(["/bin/bash", "-o", "pipefail", "-c",
                               command.replace(" /var/", " %s/var/" % folder)],
                              cwd=folder, env=env, capture_output=True, text=True, timeout=120)

    def test_examples_run_as_written(self):
        ran = []
        for line, body in self.blocks:
            for command in commands_of(body):
                if not is_shell_example(command):
                    continue
                if needs_network(command):
                    continue  # not run: asks example.com; its options are checked below
                with self.subTest(line=line, command=command):
                    done = self.run_example(command)
                    self.assertEqual(done.returncode, 0, done.stderr)
                    ran.append(command)
        print("ran:", *ran, sep="\n  ", file=sys.stderr)
        self.assertGreaterEqual(len(ran), 5, ran)

    def test_every_lirrevo_cli_command_uses_options_it_takes(self):
        checked = 0
        for line, body in self.blocks:
            for words in [w for c in commands_of(body) if "lirrevo-cli " in c
                          for w in invocations(c)]:
                command = words[0] if words and words[0] in self.commands else "generate"
                options = self.options[command]
                rest = words[1:] if words and words[0] == command else words
                with self.subTest(line=line, words=words):
                    i = 0
                    while i < len(rest):
                        word = rest[i].split("=", 1)[0]
                        if word.startswith("-") and word != "-":
                            self.assertIn(word, options, "not an option of %s" % command)
                            if options.get(word) and "=" not in rest[i]:
                                i += 1
                        i += 1
                    checked += 1
        self.assertGreaterEqual(checked, 10)

    def test_weekly_job_within_the_first_60_lines(self):
        first = "\n".join(self.text.split("\n")[:60])
        for piece in ("## The weekly job", "| lirrevo-cli update /var/www/example.com/dead.xml -",
                      "30 4 * * 1  lirrevo-cli scan-log", "WantedBy=timers.target"):
            self.assertIn(piece, first)


if __name__ == "__main__":
    README, CLI, LINK_SERVER = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main()
