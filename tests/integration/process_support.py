"""Helpers shared by the integration tests that watch a drevel process."""
import os


def is_sanitized(binary):
    """An AddressSanitizer build: resident-size figures mean nothing there, and
    it cannot run under an address-space limit."""
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


def resident_kb(pid):
    """Resident memory of a live process in kB (from /proc/PID/statm)."""
    with open("/proc/%d/statm" % pid) as f:
        pages = int(f.read().split()[1])
    if pages == 0:
        with open("/proc/%d/stat" % pid) as f:
            raise RuntimeError("no resident memory for %d: %s" % (pid, f.read()))
    return pages * (os.sysconf("SC_PAGE_SIZE") // 1024)
