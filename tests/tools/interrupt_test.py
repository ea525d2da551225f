#!/usr/bin/python3
"""kr90x reading a long curve with its standard error on a terminal: the progress shows
there, and Ctrl+C (SIGINT) ends the read with status 130, SIGTERM with 143, each with one
line naming what was cut, and nothing written or kept.

    interrupt_test.py KR90X
"""
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time

kr90x = sys.argv[1]
BOUND_S = 60  # the whole test; each wait below ends on what it waits for


def fail(why):
    print("FAIL: " + why, file=sys.stderr)
    sys.exit(1)


def interrupted(number, expected):
    """One read ended by the signal `number`, which must end with status `expected`."""
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(home, "data"))
        env.pop("QT_QPA_PLATFORM", None)
        out = os.path.join(home, "rail.json")
        master, slave = pty.openpty()
        # 20,000 samples at the USB pace of 1 ms: long enough to be interrupted.
        child = subprocess.Popen(
            [kr90x, "read", "rail", "--virtual-tester=samples=20000", "-o", out],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave, env=env)
        os.close(slave)
        seen = b""
        deadline = time.monotonic() + BOUND_S
        # The progress line, "reading rail:   2 % (400 of 19999)", well into the download.
        while b"  2 % (" not in seen:
            left = deadline - time.monotonic()
            if left <= 0 or child.poll() is not None:
                fail("no progress on the terminal: %r" % seen)
            if select.select([master], [], [], left)[0]:
                seen += os.read(master, 4096)
        if b"reading rail:" not in seen or b"of 19999)" not in seen:
            fail("progress reads %r" % seen)
        child.send_signal(number)
        status = child.wait(timeout=BOUND_S)
        try:
            while select.select([master], [], [], 0.5)[0]:  # what is left to read, then EOF
                chunk = os.read(master, 4096)
                if not chunk:
                    break
                seen += chunk
        except OSError:
            pass  # the terminal's other end has gone with the child
        if status != expected:
            fail("%s: exit status %d, not %d" % (number.name, status, expected))
        # The progress line is cleared (carriage return, erase to its end) before the failure.
        last = seen.replace(b"\x1b[K", b"").replace(b"\r", b"\n").decode().strip().split("\n")[-1].strip()
        if not last.startswith("kr90x: interrupted after ") or not last.endswith(" of 19999 samples"):
            fail("last line on the terminal: %r" % last)
        if os.path.exists(out) or any(f.startswith("rail.json") for f in os.listdir(home)):
            fail("a file was left: %s" % os.listdir(home))
        listed = subprocess.run([kr90x, "records", "list"], env=env, capture_output=True, timeout=BOUND_S)
        if listed.returncode != 0 or listed.stdout.count(b"\n") != 1:
            fail("something was kept: %r" % listed.stdout)
        os.close(master)
        print("%s: %s" % (number.name, last))


interrupted(signal.SIGINT, 130)
interrupted(signal.SIGTERM, 143)
