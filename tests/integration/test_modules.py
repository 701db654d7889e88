#!/usr/bin/env python3
"""The module manager against a real registry: python's http.server on
127.0.0.1 serving a modules/AUTHOR/MODULE/... tree, fetched by the real curl.
Also a script that uses an installed module by its dotted name.

Usage: test_modules.py DREVEL
"""
import fcntl
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

from process_support import check, failures, free_port, runnable_by_anyone

DREVEL = os.path.abspath(sys.argv[1])
TIMEOUT = 60
FORMAT = "Module format must be 'author/module' or 'author.module'"


def red_error(message):
    return "\x1b[31mError: " + message + "\x1b[0m\n"


def start_line(text):
    return "\r\x1b[33m" + text + " in progress\x1b[0m"


def done_line(text):
    return "\r\x1b[32m" + text + " done (T)\x1b[0m\n"


def failed_line(text):
    return "\r\x1b[31m" + text + " failed (T)\x1b[0m\n"


def hint(qualified):
    return "\n\x1b[2mImport it in your code with:\x1b[0m\n  use `" + qualified + "`;\n"


def installed(qualified):
    return (start_line("Fetching module metadata...") + done_line("Fetching module metadata...")
            + start_line("Downloading module files...") + done_line("Downloading module files...")
            + hint(qualified))


def mask_seconds(text):
    """Progress lines carry seconds with two decimals; replace them by T."""
    return re.sub(r"\(\d+\.\d\ds\)", "(T)", text)


class Registry:
    """A static file server over a temporary modules/ tree. Its request log
    shows what curl asked for."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="drevel-registry-")
        self.log_path = self.root + ".log"
        self.proc = None
        for _ in range(5):
            self.port = free_port()
            self.log = open(self.log_path, "wb")
            self.proc = subprocess.Popen(
                [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", str(self.port),
                 "--directory", self.root],
                stdout=subprocess.DEVNULL, stderr=self.log)
            if self.wait_ready():
                break
            self.stop_process()
        else:
            raise RuntimeError("registry did not start")
        self.url = "http://127.0.0.1:%d" % self.port

    def wait_ready(self):
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                return False
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return True
            except OSError:
                time.sleep(0.05)
        return False

    def put(self, author, module, name, content):
        path = os.path.join(self.root, "modules", author, module, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)

    def remove(self, author, module):
        shutil.rmtree(os.path.join(self.root, "modules", author, module), ignore_errors=True)

    def requests(self):
        self.log.flush()
        with open(self.log_path, "rb") as f:
            text = f.read().decode(errors="replace")
        return re.findall(r'"GET (\S+) HTTP', text)

    def clear_log(self):
        self.log.truncate(0)
        self.log.seek(0)

    def stop_process(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
        self.log.close()

    def close(self):
        self.stop_process()
        shutil.rmtree(self.root, ignore_errors=True)
        if os.path.exists(self.log_path):
            os.remove(self.log_path)


class Workdir:
    def __init__(self, registry_url):
        self.path = tempfile.mkdtemp(prefix="drevel-modules-")
        self.env = dict(os.environ, DREVEL_REGISTRY=registry_url)

    def run(self, *args, env=None):
        proc = subprocess.run([DREVEL, *args], cwd=self.path, env=env or self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)
        return proc.returncode, proc.stdout.decode(errors="replace"), proc.stderr.decode(
            errors="replace")

    def file(self, *parts):
        path = os.path.join(self.path, *parts)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode(errors="replace")

    def exists(self, *parts):
        return os.path.lexists(os.path.join(self.path, *parts))

    def tree(self):
        """Every path below the work directory."""
        found = []
        for base, dirs, files in os.walk(self.path):
            for name in dirs + files:
                found.append(os.path.relpath(os.path.join(base, name), self.path))
        return sorted(found)

    def close(self):
        shutil.rmtree(self.path, ignore_errors=True)


def expect(result, status, stdout=None, stderr=None, what=""):
    code, out, err = result
    check(code == status, what + ": status", "got %d, stderr %r" % (code, err))
    if stdout is not None:
        check(mask_seconds(out) == stdout, what + ": stdout", "got %r\nwant %r" % (out, stdout))
    if stderr is not None:
        check(err == stderr, what + ": stderr", "got %r\nwant %r" % (err, stderr))


MATH_INDEX = "def add(a, b) { return a + b; }\nlet pi = 3;\n"


def test_install_and_reinstall(reg, work):
    reg.put("alice", "math", "module.yaml", "name: math\nversion: 1\n")
    reg.put("alice", "math", "index.dv", MATH_INDEX)
    reg.clear_log()
    expect(work.run("install", "alice/math"), 0, installed("alice.math"), "", "install")
    check(work.file(".drevel/modules/alice/math/index.dv") == MATH_INDEX, "index.dv written")
    check(work.file(".drevel/modules/alice/math/module.yaml") == "name: math\nversion: 1\n",
          "module.yaml written unchanged")
    check(reg.requests() == ["/modules/alice/math/module.yaml", "/modules/alice/math/index.dv"],
          "requests of an install", reg.requests())
    # Seconds from a monotonic clock, two decimals.
    out = work.run("uninstall", "alice.math")[1]
    check(re.fullmatch(r"\r\x1b\[33mRemoving module files\.\.\. in progress\x1b\[0m"
                       r"\r\x1b\[32mRemoving module files\.\.\. done \(\d+\.\d\ds\)\x1b\[0m\n",
                       out) is not None, "uninstall progress format", repr(out))

    # The dotted form installs the same directory.
    expect(work.run("install", "alice.math"), 0, installed("alice.math"), "", "install dotted")
    reg.clear_log()
    expect(work.run("install", "alice/math"), 1, "",
           red_error("Module 'alice.math' is already installed"), "already installed")
    check(reg.requests() == [], "already installed fetches nothing", reg.requests())


def test_not_found_and_failed_downloads(reg, work):
    expect(work.run("install", "bob/none"), 1,
           start_line("Fetching module metadata...") + failed_line("Fetching module metadata..."),
           red_error("Module 'bob.none' not found in repository"), "not found")
    check(not work.exists(".drevel/modules/bob"), "nothing created for a missing module")

    reg.put("bob", "broken", "module.yaml", "files:\n  - here.dv\n  - gone.dv\n")
    reg.put("bob", "broken", "here.dv", "let x = 1;\n")
    expect(work.run("install", "bob/broken"), 1,
           start_line("Fetching module metadata...") + done_line("Fetching module metadata...")
           + start_line("Downloading module files...")
           + failed_line("Downloading module files..."),
           red_error("Failed to download file 'gone.dv'"), "missing listed file")
    # A failed install leaves nothing behind, scratch files included, and
    # does not count as installed; once the file is there a retry works.
    check(work.tree() == [".drevel", ".drevel/modules"], "failed install leaves nothing",
          repr(work.tree()))
    expect(work.run("modules"), 0, "\x1b[2mNo modules installed yet.\x1b[0m\n", "",
           "failed install is not listed")
    reg.put("bob", "broken", "gone.dv", "let y = 2;\n")
    expect(work.run("install", "bob/broken"), 0, installed("bob.broken"), "", "retry installs")
    check(work.file(".drevel/modules/bob/broken/gone.dv") == "let y = 2;\n", "retry wrote all")


def test_files_section(reg, work):
    reg.put("carol", "kit", "module.yaml",
            "# kit\nname: kit\nfiles:\n  - \"main.dv\"\n  - 'lib/util.dv'\n"
            "  - deep/er/x y#z%.dv\nversion: 2\n  - never.dv\n")
    reg.put("carol", "kit", "main.dv", "let a = 1;\n")
    reg.put("carol", "kit", "lib/util.dv", "let b = 2;\n")
    reg.put("carol", "kit", "deep/er/x y#z%.dv", "let c = 3;\n")
    reg.clear_log()
    expect(work.run("install", "carol.kit"), 0, installed("carol.kit"), "", "files section")
    base = ".drevel/modules/carol/kit/"
    check(work.file(base + "main.dv") == "let a = 1;\n", "main.dv")
    check(work.file(base + "lib/util.dv") == "let b = 2;\n", "lib/util.dv in a subdirectory")
    check(work.file(base + "deep/er/x y#z%.dv") == "let c = 3;\n", "odd characters in a file name")
    check(not work.exists(base + "index.dv") and not work.exists(base + "never.dv"),
          "only the listed files")
    check(len(reg.requests()) == 4, "one request per file", reg.requests())


def test_upgrade(reg, work):
    reg.put("dave", "up", "module.yaml", "files:\n- index.dv\n- old.dv\n")
    reg.put("dave", "up", "index.dv", "let v = 1;\n")
    reg.put("dave", "up", "old.dv", "let o = 1;\n")
    expect(work.run("install", "dave/up"), 0, None, "", "install before upgrade")
    reg.put("dave", "up", "module.yaml", "files:\n- index.dv\n")
    reg.put("dave", "up", "index.dv", "let v = 2;\n")
    expect(work.run("upgrade", "dave/up"), 0,
           start_line("Upgrading module...") + installed("dave.up")
           + done_line("Upgrading module 'dave.up'"), "", "upgrade")
    check(work.file(".drevel/modules/dave/up/index.dv") == "let v = 2;\n", "upgrade fetched anew")
    check(not work.exists(".drevel/modules/dave/up/old.dv"), "upgrade removed old files")

    # A failed upgrade keeps the installed version whole.
    reg.put("dave", "up", "module.yaml", "files:\n- index.dv\n- missing.dv\n")
    reg.put("dave", "up", "index.dv", "let v = 3;\n")
    expect(work.run("upgrade", "dave.up"), 1, None,
           red_error("Upgrade failed: Failed to download file 'missing.dv'"), "upgrade cut short")
    reg.remove("dave", "up")
    expect(work.run("upgrade", "dave.up"), 1,
           start_line("Upgrading module...") + start_line("Fetching module metadata...")
           + failed_line("Fetching module metadata...") + failed_line("Upgrading module..."),
           red_error("Upgrade failed: Module 'dave.up' not found in repository"), "upgrade failed")
    check(work.file(".drevel/modules/dave/up/index.dv") == "let v = 2;\n"
          and work.file(".drevel/modules/dave/up/module.yaml") == "files:\n- index.dv\n",
          "failed upgrades keep the old version")
    check(sorted(os.listdir(os.path.join(work.path, ".drevel"))) == ["modules"],
          "failed upgrades leave no scratch", repr(os.listdir(os.path.join(work.path, ".drevel"))))
    expect(work.run("uninstall", "dave/up"), 0, None, "", "uninstall after failed upgrades")
    expect(work.run("upgrade", "dave/up"), 1, "", red_error("Module 'dave.up' is not installed"),
           "upgrade of a removed module")
    expect(work.run("upgrade", "nobody"), 1, "", red_error(FORMAT), "upgrade bad name")


def test_uninstall(reg, work):
    reg.put("erin", "gone", "module.yaml", "")
    reg.put("erin", "gone", "index.dv", "")
    expect(work.run("install", "erin/gone"), 0, installed("erin.gone"), "", "install empty files")
    check(work.file(".drevel/modules/erin/gone/index.dv") == "", "empty file written")
    expect(work.run("uninstall", "erin/gone"), 0,
           start_line("Removing module files...") + done_line("Removing module files..."), "",
           "uninstall")
    check(not work.exists(".drevel/modules/erin/gone"), "module directory removed")
    check(work.exists(".drevel/modules/erin"), "author directory stays")
    expect(work.run("uninstall", "erin/gone"), 1, "",
           red_error("Module 'erin.gone' is not installed"), "uninstall twice")


def test_symbolic_links(reg, work):
    # An author or module folder that is a symbolic link leads outside the
    # project: nothing is installed into it or removed through it.
    outside = tempfile.mkdtemp(prefix="drevel-outside-")
    try:
        os.makedirs(os.path.join(outside, "lib"))
        with open(os.path.join(outside, "lib", "precious.txt"), "w") as f:
            f.write("keep")
        modules = os.path.join(work.path, ".drevel", "modules")
        os.makedirs(os.path.join(modules, "real"))
        os.symlink(outside, os.path.join(modules, "linked"))
        os.symlink(os.path.join(outside, "lib"), os.path.join(modules, "real", "lib"))
        reg.put("linked", "new", "index.dv", "let a = 1;\n")
        reg.put("linked", "new", "module.yaml", "")
        for command, name, folder in (("uninstall", "linked/lib", ".drevel/modules/linked"),
                                      ("upgrade", "linked/lib", ".drevel/modules/linked"),
                                      ("install", "linked/new", ".drevel/modules/linked"),
                                      ("uninstall", "real/lib", ".drevel/modules/real/lib"),
                                      ("upgrade", "real/lib", ".drevel/modules/real/lib"),
                                      ("install", "real/lib", ".drevel/modules/real/lib")):
            expect(work.run(command, name), 1, "",
                   red_error("Module folder '" + folder + "' is a symbolic link"),
                   command + " " + name + " through a link")
        check(sorted(os.listdir(outside)) == ["lib"]
              and os.listdir(os.path.join(outside, "lib")) == ["precious.txt"],
              "nothing outside the project changed", repr(os.listdir(outside)))
    finally:
        shutil.rmtree(outside, ignore_errors=True)


def as_nobody():
    """For a child process: as root, become nobody, for whom modes count."""
    if os.geteuid() != 0:
        return None

    def drop():
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)
    return drop


def test_linked_modules_folder(reg, work):
    # .drevel/modules as a link to a folder elsewhere, then to a tmpfs of its
    # own (another file system): install and upgrade move the module within
    # that folder, and leave nothing else there.
    reg.put("lin", "ked", "module.yaml", "files:\n- index.dv\n- lib/util.dv\n")
    reg.put("lin", "ked", "index.dv", "let v = 1;\n")
    reg.put("lin", "ked", "lib/util.dv", "let u = 1;\n")
    outside = tempfile.mkdtemp(prefix="drevel-linked-")
    try:
        os.makedirs(os.path.join(work.path, ".drevel"))
        os.symlink(outside, os.path.join(work.path, ".drevel", "modules"))
        expect(work.run("install", "lin/ked"), 0, installed("lin.ked"), "", "install via link")
        expect(work.run("upgrade", "lin/ked"), 0, None, "", "upgrade via link")
        check(sorted(os.listdir(outside)) == ["lin"]
              and sorted(os.listdir(os.path.join(outside, "lin", "ked"))) ==
              ["index.dv", "lib", "module.yaml"], "module in the linked folder",
              repr(list(os.walk(outside))))

        if shutil.which("unshare") is None:
            return
        tmpfs = os.path.join(outside, "tmpfs")
        os.makedirs(tmpfs)
        os.remove(os.path.join(work.path, ".drevel", "modules"))
        os.symlink(tmpfs, os.path.join(work.path, ".drevel", "modules"))
        shell = ('mount -t tmpfs -o size=4m tmpfs "$1" || exit 77\n'
                 '"$2" install lin/ked && "$2" upgrade lin.ked && "$2" modules || exit 1\n'
                 'cd "$1" && find . | sort\n')
        proc = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c", shell,
                               "sh", tmpfs, DREVEL], cwd=work.path, env=work.env,
                              capture_output=True, timeout=TIMEOUT)
        if proc.returncode == 77 or b"unshare failed" in proc.stderr:
            print("skipped: no tmpfs for the modules folder:", proc.stderr.decode().strip())
            return
        out = mask_seconds(proc.stdout.decode(errors="replace"))
        check(proc.returncode == 0 and proc.stderr == b"", "install and upgrade onto a tmpfs",
              repr((proc.returncode, proc.stderr)))
        check(out.endswith("\x1b[2mTotal: 1 module(s)\x1b[0m\n.\n./lin\n./lin/ked\n"
                           "./lin/ked/index.dv\n./lin/ked/lib\n./lin/ked/lib/util.dv\n"
                           "./lin/ked/module.yaml\n"), "only the module on the tmpfs", repr(out))
    finally:
        shutil.rmtree(outside, ignore_errors=True)


def test_scratch_folders(reg, work):
    # Scratch folders of interrupted runs go with the next install; one that a
    # living process holds stays; folders that fail are named.
    reg.put("scr", "atch", "module.yaml", "")
    reg.put("scr", "atch", "index.dv", "let s = 1;\n")
    drevel = os.path.join(work.path, ".drevel")
    for stale in ("modules/.install-dead01/lib", "install-old001"):
        os.makedirs(os.path.join(drevel, stale))
        with open(os.path.join(drevel, stale, "part.dv"), "w") as f:
            f.write("half")
    live = os.path.join(drevel, "modules", ".install-live01")
    os.makedirs(live)
    holder = os.open(live, os.O_RDONLY | os.O_DIRECTORY)
    fcntl.flock(holder, fcntl.LOCK_EX)
    try:
        expect(work.run("modules"), 0, "\x1b[2mNo modules installed yet.\x1b[0m\n", "",
               "scratch folders are not modules")
        expect(work.run("install", "scr/atch"), 0, installed("scr.atch"), "", "install")
    finally:
        os.close(holder)
    check(sorted(os.listdir(drevel)) == ["modules"], "stale folder below .drevel removed",
          repr(os.listdir(drevel)))
    check(sorted(os.listdir(os.path.join(drevel, "modules"))) == [".install-live01", "scr"],
          "stale scratch removed, live one kept", repr(os.listdir(os.path.join(drevel, "modules"))))

    # A modules folder we may not write: the message names it.
    drop = as_nobody()
    os.chmod(work.path, 0o755)
    os.chmod(os.path.join(drevel, "modules"), 0o555)
    binary = runnable_by_anyone(DREVEL, work.path) if drop else DREVEL
    proc = subprocess.run([binary, "upgrade", "scr/atch"], cwd=work.path, env=work.env,
                          capture_output=True, timeout=TIMEOUT, preexec_fn=drop)
    os.chmod(os.path.join(drevel, "modules"), 0o755)
    check(proc.returncode == 1 and proc.stderr.decode() == red_error(
        "Upgrade failed: Failed to create scratch folder in .drevel/modules: "
        "Permission denied (os error 13)"), "unwritable modules folder named",
        repr((proc.returncode, proc.stderr)))
    check(work.file(".drevel/modules/scr/atch/index.dv") == "let s = 1;\n",
          "module kept after the refused upgrade")


def test_listing(reg, work):
    no_modules = "\x1b[2mNo modules installed yet.\x1b[0m\n"
    for command in ("modules", "list", "list-modules"):
        expect(work.run(command, "ignored"), 0, no_modules, "", command + " without directory")
    os.makedirs(os.path.join(work.path, ".drevel/modules"))
    expect(work.run("modules"), 0, no_modules, "", "empty modules directory")

    for author, module in (("zed", "tools"), ("alice", "strings"), ("alice", "math"),
                           ("alice", "zz")):
        os.makedirs(os.path.join(work.path, ".drevel/modules", author, module))
    root = os.path.join(work.path, ".drevel/modules")
    os.makedirs(os.path.join(root, "empty_author"))
    os.symlink(os.path.join(root, "alice"), os.path.join(root, "linked"))
    os.symlink(os.path.join(root, "zed", "tools"), os.path.join(root, "alice", "link"))
    open(os.path.join(root, "plain_file"), "w").close()
    open(os.path.join(root, "zed", "notes.txt"), "w").close()
    want = ("Installed modules:\n\n"
            "  \x1b[33malice\x1b[0m\n"
            "    ├─ \x1b[32mmath\x1b[0m\n"
            "    ├─ \x1b[32mstrings\x1b[0m\n"
            "    └─ \x1b[32mzz\x1b[0m\n\n"
            "  \x1b[33mzed\x1b[0m\n"
            "    └─ \x1b[32mtools\x1b[0m\n\n"
            "\x1b[2mTotal: 4 module(s)\x1b[0m\n")
    expect(work.run("list"), 0, want, "", "tree of two authors")

    # Only empty authors: the heading and a total of 0.
    for author in ("alice", "zed", "linked"):
        path = os.path.join(root, author)
        if os.path.islink(path):
            os.remove(path)
        else:
            shutil.rmtree(path)
    expect(work.run("list"), 0, "Installed modules:\n\n\x1b[2mTotal: 0 module(s)\x1b[0m\n", "",
           "authors without modules")

    shutil.rmtree(os.path.join(work.path, ".drevel"))
    with open(os.path.join(work.path, ".drevel"), "w") as f:
        f.write("not a directory")
    code, out, err = work.run("modules")
    check(code == 0 and out == no_modules, "a file named .drevel counts as no modules", err)
    code, out, err = work.run("install", "alice/math")
    check(code == 1 and out == "" and err.startswith(
        "\x1b[31mError: Failed to create modules directory: "), "modules root blocked", err)


def test_usage_errors(reg, work):
    for command in ("install", "upgrade", "uninstall"):
        expect(work.run(command), 1, "", red_error(command + " requires a module name"),
               command + " alone")
    for command in ("install", "upgrade", "uninstall"):
        expect(work.run(command, "math"), 1, "", red_error(FORMAT), command + " math")
    check(work.tree() == [], "usage errors write nothing", work.tree())


def test_odd_names(reg, work):
    """No name may reach outside .drevel/, whatever its shape."""
    # Things a stray path could hit: a sibling file and the modules root.
    sentinel = os.path.join(work.path, "keep.txt")
    with open(sentinel, "w") as f:
        f.write("keep")
    os.makedirs(os.path.join(work.path, ".drevel/modules/real/one"))
    names = ["", ".", "..", "...", "/", "//", "a//b", "a/b/c", "../x", "x/..", "../..",
             "a/../../..", "a...", "./x", "/x.y", "a b/c", "a/b c", " / ", "a/\tb", "..x/..",
             "real/../../..", ". . ."]
    for name in names:
        for command in ("install", "uninstall", "upgrade"):
            expect(work.run(command, name), 1, "", red_error(FORMAT), "%s %r" % (command, name))
    check(os.path.isfile(sentinel), "sibling file untouched")
    check(work.exists(".drevel/modules/real/one"), "installed module untouched")
    check(work.tree() == [".drevel", ".drevel/modules", ".drevel/modules/real",
                          ".drevel/modules/real/one", "keep.txt"], "nothing written", work.tree())

    # Shapes that are valid: a dot inside the module part, a dot at its start.
    reg.put("a", "b.c", "module.yaml", "")
    reg.put("a", "b.c", "index.dv", "let q = 1;\n")
    expect(work.run("install", "a.b.c"), 0, installed("a.b.c"), "", "a.b.c")
    check(work.exists(".drevel/modules/a/b.c/index.dv"), "a.b.c lands in a/b.c")


def test_invalid_file_names(reg, work):
    for bad in ("../evil.dv", "/tmp/drevel-absolute.dv", "lib/../../evil.dv", "..",
                "ok/../../../evil.dv"):
        reg.put("mal", "ware", "module.yaml", "files:\n  - index.dv\n  - '%s'\n" % bad)
        reg.put("mal", "ware", "index.dv", "let x = 1;\n")
        reg.clear_log()
        expect(work.run("install", "mal/ware"), 1,
               start_line("Fetching module metadata...") + done_line("Fetching module metadata..."),
               red_error("Invalid file name in module.yaml: " + bad), "refused " + bad)
        check(reg.requests() == ["/modules/mal/ware/module.yaml"],
              "no file downloaded for " + bad, reg.requests())
        check(work.tree() == [".drevel", ".drevel/modules"], "nothing written for " + bad,
              work.tree())
    check(not os.path.exists("/tmp/drevel-absolute.dv"), "absolute name not written")


def test_curl_missing(reg, work):
    reg.put("fay", "m", "module.yaml", "")
    reg.put("fay", "m", "index.dv", "")
    empty_bin = os.path.join(work.path, "empty-bin")
    os.makedirs(empty_bin)
    env = dict(work.env, PATH=empty_bin)
    expect(work.run("install", "fay/m", env=env), 1,
           start_line("Fetching module metadata...") + failed_line("Fetching module metadata..."),
           red_error("Module 'fay.m' not found in repository"), "curl missing")


def test_registry_address(reg, work):
    reg.put("gus", "m", "module.yaml", "")
    reg.put("gus", "m", "index.dv", "let g = 1;\n")
    env = dict(work.env, DREVEL_REGISTRY=reg.url + "//")
    expect(work.run("install", "gus/m", env=env), 0, installed("gus.m"), "", "trailing slash")


def test_bad_registries(reg, work):
    # Not valid UTF-8: refused like a missing module.
    reg.put("bad", "bin", "module.yaml", bytes(range(256)) * 4)
    expect(work.run("install", "bad/bin"), 1, None,
           red_error("Module 'bad.bin' not found in repository"), "binary module.yaml")
    # A file that is not UTF-8.
    reg.put("bad", "binfile", "module.yaml", "")
    reg.put("bad", "binfile", "index.dv", b"\xff\xfe\x00")
    expect(work.run("install", "bad/binfile"), 1, None,
           red_error("Failed to download file 'index.dv'"), "binary index.dv")
    # Garbage text without a files section installs index.dv only.
    reg.put("bad", "text", "module.yaml", "<html>\n\x00\x01: {[\n- - -\n\r\r\n" * 200)
    reg.put("bad", "text", "index.dv", "let t = 1;\n")
    expect(work.run("install", "bad/text"), 0, installed("bad.text"), "", "garbage text")

    # A huge list: every name is checked before anything is fetched.
    entries = "".join("  - f%d.dv\n" % i for i in range(200000))
    reg.put("bad", "huge", "module.yaml", "files:\n" + entries + "  - ../escape.dv\n")
    reg.clear_log()
    expect(work.run("install", "bad/huge"), 1, None,
           red_error("Invalid file name in module.yaml: ../escape.dv"), "huge list refused")
    check(reg.requests() == ["/modules/bad/huge/module.yaml"], "huge list fetched nothing else")
    reg.put("bad", "huge2", "module.yaml", "files:\n" + entries)
    expect(work.run("install", "bad/huge2"), 1, None, red_error("Failed to download file 'f0.dv'"),
           "huge list of missing files")

    # Nothing listening.
    env = dict(work.env, DREVEL_REGISTRY="http://127.0.0.1:%d" % free_port())
    expect(work.run("install", "bad/closed", env=env), 1, None,
           red_error("Module 'bad.closed' not found in repository"), "closed port")

    # A server that accepts and hangs up without answering.
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.2)
    stop = threading.Event()

    def hang_up():
        while not stop.is_set():
            try:
                conn, _ = listener.accept()
            except OSError:
                continue
            conn.recv(4096)
            conn.close()

    thread = threading.Thread(target=hang_up, daemon=True)
    thread.start()
    try:
        env = dict(work.env, DREVEL_REGISTRY="http://127.0.0.1:%d" % listener.getsockname()[1])
        expect(work.run("install", "bad/silent", env=env), 1, None,
               red_error("Module 'bad.silent' not found in repository"), "no answer")
    finally:
        stop.set()
        thread.join(timeout=5)
        listener.close()


def test_use_installed_module(reg, work):
    reg.put("alice", "math", "module.yaml", "")
    reg.put("alice", "math", "index.dv", MATH_INDEX)
    expect(work.run("install", "alice/math"), 0, None, "", "install for use")
    scripts = {
        "whole.dv": ("use alice.math;\nprint(math.add(1, 2));\nprint(math.pi);\n", "3\n3\n"),
        "hint.dv": ("use `alice.math`;\nprint(math.add(2, 2));\n", "4\n"),
        "alias.dv": ("use alice.math as m;\nprint(m.add(2, 3));\n", "5\n"),
        "items.dv": ("use alice.math { add, pi }\nprint(add(pi, 1));\n", "4\n"),
        "plain.dv": ("use helper;\nprint(helper.twice(4));\n", "8\n"),
    }
    with open(os.path.join(work.path, "helper.dv"), "w") as f:
        f.write("def twice(x) { return x * 2; }\n")
    for name, (source, want) in scripts.items():
        with open(os.path.join(work.path, name), "w") as f:
            f.write(source)
        # The install hint's backquotes are ignored, and said so before the run.
        warned = ("".join(f"\x1b[33m[\x1b[93mWARNING\x1b[33m]\x1b[0m {name}:1:{column}: '`' is not part "
                          "of the language and is ignored\n" for column in (5, 16))
                  if "`" in source else "")
        expect(work.run(name), 0, want, warned, "use: " + name)


TESTS = [test_install_and_reinstall, test_not_found_and_failed_downloads, test_files_section,
         test_upgrade, test_uninstall, test_symbolic_links, test_linked_modules_folder,
         test_scratch_folders, test_listing, test_usage_errors, test_odd_names,
         test_invalid_file_names, test_curl_missing, test_registry_address, test_bad_registries,
         test_use_installed_module]


def main():
    if shutil.which("curl") is None:
        print("curl is required", file=sys.stderr)
        return 1
    only = set(sys.argv[2:])
    reg = Registry()
    try:
        for test in TESTS:
            if only and test.__name__ not in only:
                continue
            work = Workdir(reg.url)
            try:
                test(reg, work)
            except Exception as error:  # a crash of one group must not hide the others
                check(False, test.__name__ + " raised", repr(error))
            finally:
                work.close()
    finally:
        reg.close()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
