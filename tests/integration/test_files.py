#!/usr/bin/env python3
"""The files module on symbolic links and permissions, through drevel scripts.

Usage: test_files.py DREVEL
Each case builds a temporary directory with links and modes that a script
folder cannot carry, then runs a script in it.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import unittest

from process_support import runnable_by_anyone

DREVEL = None
ERROR = "\x1b[31m[\x1b[91mERROR\x1b[31m]\x1b[0m Error in expression: "


class FilesTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="drevel-files-")
        self.dir = self.tmp.name

    def tearDown(self):
        for root, dirs, _ in os.walk(self.dir):
            for d in dirs:
                if not os.path.islink(os.path.join(root, d)):
                    os.chmod(os.path.join(root, d), 0o755)
        self.tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, data):
        with open(self.path(name), "w") as f:
            f.write(data)

    def run_script(self, body, stdout=subprocess.PIPE):
        with open(self.path("s.dv"), "w") as f:
            f.write("use files;\n\ndef main() {\n" + body + "\n}\n")
        return subprocess.run([DREVEL, "s.dv"], cwd=self.dir, stdout=stdout,
                              stderr=subprocess.PIPE, timeout=30)

    def test_symbolic_links(self):
        os.makedirs(self.path("real", "nested"))
        self.write("real/nested/f.txt", "inside")
        os.symlink("real", self.path("to-dir"))
        os.symlink("real/nested/f.txt", self.path("to-file"))
        os.symlink("nowhere", self.path("dangling"))
        result = self.run_script("""
    print(files.exists("dangling"), files.is_file("dangling"), files.is_folder("dangling"));
    print(files.exists("to-dir"), files.is_folder("to-dir"), files.is_file("to-dir"));
    print(files.is_file("to-file"), files.read("to-file"));
    print(files.list("to-dir"));
    files.append("to-file", "+");
    print(files.read("real/nested/f.txt"));
    files.read("dangling");
    files.delete_folder("to-dir", true);
    files.delete("to-file");
    print(files.exists("to-file"), files.exists("real/nested/f.txt"));
""")
        self.assertEqual(result.stdout.decode().split("\n"), [
            "false", "false", "false", "true", "true", "false", "true", "inside", "[nested]",
            "inside+", "false", "true", ""])
        self.assertEqual(result.stderr.decode(),
                         ERROR + "Failed to read file 'dangling': No such file or directory (os error 2)\n" +
                         ERROR + "Failed to delete folder 'to-dir': Not a directory (os error 20)\n")
        # The dangling link itself is an entry of its folder.
        self.assertTrue(os.path.islink(self.path("dangling")))

    def test_write_replaces_or_writes_in_place(self):
        # Regular files are replaced whole: a link's target gets the content
        # and keeps its mode. A file with two names, a named pipe and
        # /dev/stdout are written where they are.
        os.makedirs(self.path("real"))
        self.write("real/target.txt", "old")
        os.chmod(self.path("real", "target.txt"), 0o640)
        os.symlink("real/target.txt", self.path("link"))
        self.write("one.txt", "old")
        os.link(self.path("one.txt"), self.path("two.txt"))
        os.mkfifo(self.path("pipe"))
        received = []
        reader = threading.Thread(target=lambda: received.append(open(self.path("pipe")).read()),
                                  daemon=True)
        reader.start()
        with open(self.path("out.txt"), "ab") as out:  # appending: /dev/stdout reopens it
            result = self.run_script("""
    files.write("link", "through the link");
    files.write("one.txt", "both names");
    files.write("pipe", "down the pipe");
    files.write("/dev/stdout", "direct\\n");
    print(files.list("real"));
""", stdout=out)
        reader.join(30)
        self.assertEqual(result.stderr, b"")
        self.assertTrue(os.path.islink(self.path("link")))
        with open(self.path("real", "target.txt")) as f:
            self.assertEqual(f.read(), "through the link")
        self.assertEqual(os.stat(self.path("real", "target.txt")).st_mode & 0o777, 0o640)
        with open(self.path("two.txt")) as f:
            self.assertEqual(f.read(), "both names")
        self.assertEqual(received, ["down the pipe"])
        with open(self.path("out.txt")) as f:
            self.assertEqual(f.read(), "direct\n[target.txt]\n")

    def test_full_file_system_keeps_the_old_content(self):
        # On a small tmpfs of its own (a private mount namespace, so nothing
        # outlives the test): with no inode left for the new file, and with
        # no block left for the new content, a rewrite reports the error and
        # the old content stays whole.
        if shutil.which("unshare") is None:
            self.skipTest("unshare is missing")
        mount = self.path("small")
        os.makedirs(mount)
        with open(self.path("s.dv"), "w") as f:
            f.write('use files\nfiles.write("keep.txt", "new text")\nprint(files.read("keep.txt"))\n')
        shell = f"""
            mount -t tmpfs -o size=1m,nr_inodes=3 tmpfs {mount} || exit 77
            cd {mount} && printf 'old content' > keep.txt && touch filler || exit 1
            {DREVEL} ../s.dv
            rm filler
            dd if=/dev/zero of=filler bs=4096 2>/dev/null
            {DREVEL} ../s.dv
            ls -a
        """
        result = subprocess.run(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                                 shell], capture_output=True, timeout=60)
        if result.returncode == 77 or b"unshare failed" in result.stderr:
            self.skipTest("cannot mount a tmpfs here: " + result.stderr.decode())
        self.assertEqual(result.stdout.decode().split("\n"), [
            "old content",  # no inode for the new file
            "old content",  # no block for the new content
            ".", "..", "filler", "keep.txt", ""])  # and no scratch file left
        self.assertEqual(result.stderr.decode(), 2 * (
            ERROR + "Failed to write file 'keep.txt': No space left on device (os error 28)\n"))

    def test_locked_folder_with_a_writable_file(self):
        # A folder we may not write holds a file we may: no new file can be
        # made beside it, so it is written in place. As root the script runs
        # as nobody, for whom the folder's bits count.
        os.makedirs(self.path("locked"))
        self.write("locked/open.txt", "old")
        os.chmod(self.path("locked", "open.txt"), 0o666)
        os.chmod(self.path("locked"), 0o555)
        os.chmod(self.dir, 0o755)
        with open(self.path("s.dv"), "w") as f:
            f.write('use files\nfiles.write("locked/open.txt", "new")\n'
                    'print(files.read("locked/open.txt"), files.list("locked"))\n')
        drop, drevel = None, DREVEL
        if os.geteuid() == 0:
            def drop():
                os.setgroups([])
                os.setgid(65534)
                os.setuid(65534)
            drevel = runnable_by_anyone(DREVEL, self.dir)
        result = subprocess.run([drevel, "s.dv"], cwd=self.dir, capture_output=True, timeout=30,
                                preexec_fn=drop)
        self.assertEqual((result.stdout, result.stderr), (b"new\n[open.txt]\n", b""))

    def test_files_beyond_a_text_are_refused(self):
        # Sparse files larger than any text: every reader refuses them by
        # their size, without reading, and the script goes on.
        for name in ("huge.txt", "huge.dv"):
            with open(self.path(name), "wb") as f:
                f.truncate(5 << 30)
        result = self.run_script("""
    print(files.read("huge.txt"));
    print("after");
""")
        self.assertEqual(result.stdout, b"after\n")
        self.assertEqual(result.stderr.decode(), ERROR + "Failed to read file 'huge.txt': "
                         "File too large (os error 27)\n")
        run = subprocess.run([DREVEL, "huge.dv"], cwd=self.dir, capture_output=True, timeout=30)
        self.assertEqual((run.returncode, run.stdout, run.stderr.decode()),
                         (1, b"", "Error: Failed to read the file: File too large (os error 27)\n"))

    def test_permissions(self):
        if os.geteuid() == 0:
            self.skipTest("running as root: permission denials do not happen")
        self.write("secret.txt", "x")
        os.chmod(self.path("secret.txt"), 0)
        os.makedirs(self.path("locked", "in"))
        os.chmod(self.path("locked"), 0o500)
        result = self.run_script("""
    files.read("secret.txt");
    files.write("secret.txt", "y");
    files.append("secret.txt", "y");
    files.create_folder("locked/new");
    files.delete_folder("locked/in");
    files.list("locked");
    print(files.exists("secret.txt"));
""")
        self.assertEqual(result.stdout, b"true\n")
        denied = "Permission denied (os error 13)"
        self.assertEqual(result.stderr.decode(), "".join(ERROR + line + "\n" for line in [
            f"Failed to read file 'secret.txt': {denied}",
            f"Failed to write file 'secret.txt': {denied}",
            f"Failed to open file 'secret.txt': {denied}",
            f"Failed to create folder 'locked/new': {denied}",
            f"Failed to delete folder 'locked/in': {denied}",
        ]))


def main():
    global DREVEL
    if len(sys.argv) < 2:
        sys.exit("usage: test_files.py DREVEL")
    DREVEL = os.path.abspath(sys.argv.pop(1))
    signal.alarm(120)
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
