"""The line settings that CSerialPort puts on a real port under Wine, seen from the other end
of a pty: the channel's settings while it is open, the port's own settings after Close."""

import select
import termios
import unittest

from harness import Machine, describe_line_settings, program

PROGRAMS = [program("mavris-serial-hold.exe")]
SCREEN = False

CHANNEL = {"ispeed": 115200, "ospeed": 115200, "csize": 8, "parity": False, "stop": 1,
           "crtscts": True, "ixon": False, "ixoff": False}
# What the port is set to before the channel opens it: every setting that the channel
# changes differs from the channel's value. (A pty always keeps 8 bits without parity.)
BEFORE = {"ispeed": 9600, "ospeed": 9600, "csize": 8, "parity": False, "stop": 2,
          "crtscts": False, "ixon": True, "ixoff": True}


def read_line(proc, timeout=60):
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        raise AssertionError(f"no line from the program within {timeout} s")
    return proc.stdout.readline().strip()


class SerialLinesTest(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.machine = Machine("lines")
        cls.addClassCleanup(cls.machine.close)
        cls.machine.boot()
        cls.sim = cls.machine.add_modem(3)

    def setUp(self):
        attrs = self.sim.line_settings()
        attrs[4] = attrs[5] = termios.B9600
        attrs[2] = (attrs[2] | termios.CSTOPB) & ~termios.CRTSCTS
        attrs[0] |= termios.IXON | termios.IXOFF
        self.sim.set_line_settings(attrs)
        self.assertEqual(BEFORE, describe_line_settings(self.sim.line_settings()))

    def start_hold(self, port):
        proc = self.machine.popen(program("mavris-serial-hold.exe"), port)

        def stop():
            if proc.poll() is None:
                proc.kill()
            proc.wait()
            for stream in (proc.stdin, proc.stdout, proc.stderr):
                stream.close()
        self.addCleanup(stop)
        return proc

    def test_channel_settings_while_open_and_the_old_ones_after_close(self):
        proc = self.start_hold(3)
        self.assertEqual("open", read_line(proc))
        self.assertEqual(CHANNEL, describe_line_settings(self.sim.line_settings()))

        proc.stdin.write("\n")
        proc.stdin.flush()
        self.assertEqual("closed", read_line(proc))
        self.assertEqual(BEFORE, describe_line_settings(self.sim.line_settings()))

        proc.stdin.write("\n")
        proc.stdin.flush()
        self.assertEqual(0, proc.wait(timeout=60))
        self.assertEqual([], self.sim.commands(), "opening and closing sends nothing")

    def test_a_port_without_a_device_does_not_open(self):
        proc = self.start_hold(9)
        self.assertEqual("open failed", read_line(proc))
        self.assertEqual(1, proc.wait(timeout=60))


if __name__ == "__main__":
    unittest.main()
