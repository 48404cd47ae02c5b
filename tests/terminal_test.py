#!/usr/bin/env python3
# The usage path on real pseudo-terminals: the exact bytes, the wait, whole keys, signals, and
# the terminal handed back exactly as it was found.
#
# Usage: terminal_test.py OPFREQ SAMPLES_DIR
import fcntl
import os
import select
import signal
import sys
import termios
import time
import unittest

OPFREQ, SAMPLES = sys.argv.pop(1), sys.argv.pop(1)
USAGE = open(os.path.join(SAMPLES, "usage.expected"), "rb").read()
UTF8 = {"LANG": "C.UTF-8"}


# opfreq without arguments on a fresh pseudo-terminal whose output is not post-processed, so
# that the bytes read from the master are the bytes written. As a job, it runs under a minimal
# job-control shell that leads the session, as under a real shell: only then do the terminal's
# stop signals stop it, and the hangup of a terminal that goes away reaches the shell alone.
class Run:
    def __init__(self, job=False, stdout_pipe=False, env=None, typed_ahead=b""):
        self.master, self.slave = os.openpty()
        attrs = termios.tcgetattr(self.slave)
        attrs[1] &= ~termios.OPOST
        attrs[3] |= termios.ICANON | termios.ECHO | termios.ISIG | termios.IEXTEN
        attrs[6][termios.VINTR], attrs[6][termios.VSUSP] = b"\x03", b"\x1a"
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)
        self.before = termios.tcgetattr(self.slave)
        os.write(self.master, typed_ahead)  # in the terminal's input queue before opfreq starts
        self.events, self.commands = os.pipe(), os.pipe()
        self.out_pipe, out_w = os.pipe()
        self.output, self.stdout, self.status, self.rusage = b"", b"", None, None
        self.job = job
        self.pid = os.fork()
        if self.pid == 0:
            try:
                os.close(self.master)  # or the terminal outlives the test's close of it
                os.setsid()
                fcntl.ioctl(self.slave, termios.TIOCSCTTY, 0)
                for fd in (0, 1, 2):
                    os.dup2(self.slave, fd)
                if stdout_pipe:
                    os.dup2(out_w, 1)
                for number in (signal.SIGPIPE, signal.SIGXFSZ, signal.SIGINT):
                    signal.signal(number, signal.SIG_DFL)  # as a shell starts it
                if job:
                    self._shell()
                os.closerange(3, 256)
                os.execve(OPFREQ, [OPFREQ], {"PATH": "/usr/bin:/bin", "TERM": "xterm", **(env or {})})
            finally:
                os._exit(127)
        os.close(out_w)

    # Runs opfreq in a process group of its own in the foreground; when it stops, takes the
    # terminal back, says so, and continues the job when told to.
    def _shell(self):
        signal.signal(signal.SIGTTOU, signal.SIG_IGN)
        signal.signal(signal.SIGHUP, signal.SIG_IGN)
        job = os.fork()
        if job == 0:
            os.setpgid(0, 0)
            signal.signal(signal.SIGTTOU, signal.SIG_DFL)
            signal.signal(signal.SIGHUP, signal.SIG_DFL)
            return
        os.setpgid(job, job)
        os.tcsetpgrp(0, job)
        while True:
            _, status = os.waitpid(job, os.WUNTRACED)
            if not os.WIFSTOPPED(status):
                os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 100)
            os.tcsetpgrp(0, os.getpgrp())
            os.write(self.events[1], b"S")
            os.read(self.commands[0], 1)
            os.tcsetpgrp(0, job)
            os.kill(-job, signal.SIGCONT)

    # Ends everything in the session that the child leads, opfreq in its own job included,
    # whatever state a failed test left it in.
    def close(self):
        for entry in os.listdir("/proc"):
            try:
                if entry.isdigit() and os.getsid(int(entry)) == self.pid:
                    os.kill(int(entry), signal.SIGKILL)
            except OSError:
                pass  # gone meanwhile
        if self.status is None:
            os.waitpid(self.pid, 0)
        for fd in (self.master, self.slave, self.out_pipe, *self.events, *self.commands):
            if fd >= 0:
                os.close(fd)

    def drain(self, timeout):
        for fd in select.select([fd for fd in (self.master, self.out_pipe) if fd >= 0], [], [],
                                timeout)[0]:
            try:
                data = os.read(fd, 4096)
            except OSError:
                data = b""
            if fd == self.master:
                self.output += data
            elif data:
                self.stdout += data
            else:
                os.close(fd)
                self.out_pipe = -1

    def wait_until_waiting(self):
        for _ in range(500):
            raw = not termios.tcgetattr(self.slave)[3] & termios.ICANON
            # A job waits for its keys only once the shell has made it the foreground: until
            # then Ctrl+Z stops nothing (on a loaded machine opfreq may get there first).
            raw = raw and not (self.job and os.tcgetpgrp(self.master) == self.pid)
            self.drain(0.01)  # after the check: all that came before the wait is read
            if raw:
                return True
        return False

    def type(self, data):
        os.write(self.master, data)

    def wait_for_exit(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.drain(0.01)
            pid, status, rusage = os.wait4(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status, self.rusage = status, rusage
                self.drain(0.01)
                return True
        return False

    def exited(self, code):
        return os.WIFEXITED(self.status) and os.WEXITSTATUS(self.status) == code

    def restored(self):
        return termios.tcgetattr(self.slave) == self.before

    def left_over(self):
        attrs = termios.tcgetattr(self.slave)
        attrs[3] &= ~termios.ICANON
        attrs[6][termios.VMIN], attrs[6][termios.VTIME] = 0, 0
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)
        return os.read(self.slave, 64)


class TerminalWait(unittest.TestCase):
    def start(self, **options):
        run = Run(**options)
        self.addCleanup(run.close)
        self.assertTrue(run.wait_until_waiting())
        return run

    def assertEnded(self, run, code=0):
        self.assertTrue(run.wait_for_exit(5))
        self.assertTrue(run.exited(code))
        self.assertTrue(run.restored())

    def test_writes_the_usage_and_waits_for_one_key(self):
        # A terminal of a UTF-8 locale is shown the same characters in its own encoding.
        for env, shown in [(None, USAGE), (UTF8, USAGE.decode("cp866").encode())]:
            with self.subTest(env=env):
                run = self.start(env=env)
                self.assertFalse(run.wait_for_exit(0.3))
                self.assertEqual(run.output, shown)
                run.type(b"k")
                self.assertEnded(run)

    def test_the_prompt_is_also_shown_when_standard_output_is_not(self):
        run = self.start(stdout_pipe=True, env=UTF8)  # a pipe gets the bytes, whatever the locale
        self.assertEqual(run.output, b"--- press any key to end ---\n")
        run.type(b"k")
        self.assertEnded(run)
        self.assertEqual(run.stdout, USAGE)

    def test_keys_are_consumed_whole_and_type_ahead_is_kept(self):
        for typed, left in [(b"\x1bOP", b""), (b"\x1b[1;5A", b""), (b"\x1b[15~z", b"z"),
                            ("Ж".encode(), b""), ("😀".encode(), b""), (b"\x1b", b""), (b"ab", b"b")]:
            with self.subTest(typed=typed):
                run = self.start()
                run.type(typed)
                self.assertEnded(run)
                self.assertEqual(run.left_over(), left)
        # Typed before opfreq set the terminal up: the wait ends at once, the key consumed.
        run = Run(typed_ahead=b"x")
        self.addCleanup(run.close)
        self.assertEnded(run)
        self.assertEqual(run.left_over(), b"")

    def test_signals_end_the_wait_with_the_terminal_restored(self):
        for action in (b"\x03", signal.SIGHUP, signal.SIGTERM):
            with self.subTest(action=action):
                run = self.start()
                self.assertFalse(run.wait_for_exit(0.5))
                if action == b"\x03":
                    run.type(action)
                    self.assertTrue(run.wait_for_exit(5))
                    self.assertEqual(os.WTERMSIG(run.status), signal.SIGINT)
                    self.assertTrue(run.restored())
                else:
                    os.kill(run.pid, action)
                    self.assertEnded(run)
                # An idle wait sleeps: a busy loop would use about half a second.
                self.assertLess(run.rusage.ru_utime + run.rusage.ru_stime, 0.1)

    def test_ctrl_z_stops_with_the_terminal_restored_and_waits_again_on_continue(self):
        run = self.start(job=True)
        run.type(b"\x1a")
        self.assertEqual(select.select([run.events[0]], [], [], 5)[0], [run.events[0]])
        self.assertTrue(run.restored())  # the shell gets its terminal back as it was
        os.write(run.commands[1], b"C")
        self.assertTrue(run.wait_until_waiting())  # raw again, still waiting
        run.type(b"k")
        self.assertEnded(run)

    def test_the_wait_ends_when_the_terminal_goes_away(self):
        run = self.start(job=True)
        os.close(run.master)
        run.master = -1
        self.assertTrue(run.wait_for_exit(5))
        self.assertTrue(run.exited(0))


if __name__ == "__main__":
    unittest.main(verbosity=2)
