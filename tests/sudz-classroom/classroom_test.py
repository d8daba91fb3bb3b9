#!/usr/bin/python3
"""sudz-classroom end to end: three seats, the washing machine in seat 2,
operated from a headless chromium through noVNC, the wall, repair and stop.
Only this test's own seats, ports, processes and segments are looked at."""
import base64
import ctypes
import json
import os
import re
import resource
import shutil
import socket
import stat
import subprocess
import ssl
import sys
import tempfile
import time
import unittest
import urllib.request

from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.chrome.service import Service

BUILD = os.environ.get("SUDZ_BUILD_DIR", "build")
TOOL = os.path.join(BUILD, "src/sudz-classroom/sudz-classroom")
SUDZ = os.path.join(BUILD, "src/sudz/sudz")
PROGRAMME = os.path.join(BUILD, "examples/washing_programme")
ST = 4            # input "St": slot 4 of the inputs
INPUTS_AT = 32    # byte offset of the input values in the exchange area
DEMARRER = (280, 485)  # centre of "Demarrer" in the machine window


def wait(pred, seconds=60, what="condition"):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        v = pred()
        if v:
            return v
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


def free_base(n):
    """A port with the n following ones free on loopback."""
    for _ in range(200):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            base = s.getsockname()[1]
        if base + n > 65535:
            continue
        ok = True
        for p in range(base, base + n + 1):
            with socket.socket() as s:
                try:
                    s.bind(("127.0.0.1", p))
                except OSError:
                    ok = False
                    break
        if ok:
            return base
    raise AssertionError("no free ports")


def tool(*args, check=True, files=None):
    """Runs the tool; files lowers its file limit (and its servers')."""
    limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (files, files))) if files \
        else None
    r = subprocess.run([TOOL] + list(args), capture_output=True, text=True, timeout=120,
                       preexec_fn=limit)
    if check and r.returncode != 0:
        raise AssertionError("%s: %d\n%s%s" % (args, r.returncode, r.stdout, r.stderr))
    return r


def marked_pids(prefix):
    want = ("SUDZ_SEAT=" + prefix).encode()
    out = []
    for n in os.listdir("/proc"):
        if n.isdigit():
            try:
                with open("/proc/%s/environ" % n, "rb") as f:
                    if any(v.startswith(want) for v in f.read().split(b"\0")):
                        out.append(int(n))
            except OSError:
                pass
    return out


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


def listeners(ports):
    """Local addresses listening on any of ports, from ss."""
    out = subprocess.run(["ss", "-Hltn"], capture_output=True, text=True).stdout
    found = []
    for line in out.splitlines():
        local = line.split()[3]
        addr, port = local.rsplit(":", 1)
        if int(port) in ports:
            found.append(addr)
    return found


def segment_ids():
    with open("/proc/sysvipc/shm") as f:
        next(f)
        return {int(l.split()[1]) for l in f}


def segments_made_by(pids):
    with open("/proc/sysvipc/shm") as f:
        next(f)
        return [l.split()[1] for l in f if int(l.split()[4]) in pids]


def read_input(shmid, slot):
    """Input slot of the area; slot -1 is the input clock at offset 0."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.shmat.restype = ctypes.c_void_p
    libc.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    p = libc.shmat(shmid, None, 0o10000)  # SHM_RDONLY
    if p in (None, ctypes.c_void_p(-1).value):
        return None
    try:
        return ctypes.c_int32.from_address(p + (INPUTS_AT + 4 * slot if slot >= 0 else 0)).value
    finally:
        libc.shmdt(ctypes.c_void_p(p))


def screen_rgb(xenv, geometry):
    raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=xenv,
                         capture_output=True, check=True).stdout
    w, h = geometry
    assert len(raw) == w * h * 3
    return raw


def browser():
    opts = webdriver.ChromeOptions()
    opts.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="classroom-chromium-")
    for f in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--user-data-dir=" + profile, "--window-size=1400,1000"):
        opts.add_argument(f)
    d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
    d.profile_dir = profile
    return d


# The canvas's pixels at every 8th pixel of every 8th row, as RGB bytes.
CANVAS_SAMPLES = """
const c = document.querySelector('#noVNC_container canvas');
if (!c || c.width < 2) return null;
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
let s = '';
for (let y = 0; y < c.height; y += 8)
  for (let x = 0; x < c.width; x += 8) {
    const i = 4 * (y * c.width + x);
    s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
  }
return [c.width, c.height, btoa(s)];
"""


class Classroom(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.state = tempfile.mkdtemp(prefix="classroom-test-")
        os.rmdir(cls.state)  # the tool makes it, mode 0700
        cls.base = free_base(3)
        r = tool("start", "--seats", "3", "--port", str(cls.base), "--state", cls.state)
        cls.table = r.stdout
        with open(os.path.join(cls.state, "classroom.json")) as f:
            cls.data = json.load(f)
        cls.driver = None

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()
            shutil.rmtree(cls.driver.profile_dir, ignore_errors=True)
        if os.path.isdir(cls.state):
            tool("stop", "--state", cls.state, check=False)

    def seat(self, k):
        return self.data["seats"][str(k)]

    def open_seat(self, k, password):
        """Opens seat k's URL as a student does: Connect, then the password."""
        d = self.driver
        d.get("http://127.0.0.1:%d/vnc.html" % (self.base + k))
        wait(lambda: d.find_element(By.ID, "noVNC_connect_button").is_displayed(), what="page")
        d.find_element(By.ID, "noVNC_connect_button").click()
        box = wait(lambda: (lambda e: e if e.is_displayed() else None)(
            d.find_element(By.ID, "noVNC_password_input")), what="password box")
        box.send_keys(password)
        d.find_element(By.ID, "noVNC_credentials_button").click()

    def test_1_table_and_files(self):
        rows = [l.split() for l in self.table.splitlines()[1:4]]
        self.assertEqual([r[0] for r in rows], ["1", "2", "3"])
        passwords = [r[3] for r in rows]
        self.assertTrue(all(len(p) >= 10 for p in passwords))
        self.assertEqual(len(set(p[:8] for p in passwords)), 3, "distinct where VNC compares")
        for k, r in enumerate(rows, 1):
            self.assertEqual(r[2], "http://127.0.0.1:%d/vnc.html" % (self.base + k))
        self.assertRegex(self.table, r"wall: http://127\.0\.0\.1:%d/wall/[\w-]{20,}/" % self.base)
        self.assertEqual(stat.S_IMODE(os.stat(self.state).st_mode), 0o700)
        for name in ("classroom.json", "seats.txt", "seat-1.pass", "seat-2.pass", "seat-3.pass"):
            self.assertEqual(stat.S_IMODE(os.stat(os.path.join(self.state, name)).st_mode),
                             0o600, name)
        env = tool("env", "2", "--state", self.state).stdout
        self.assertIn("export DISPLAY=:%d\n" % self.seat(2)["display"], env)
        # The displays let in only who holds the seat's cookie.
        r = subprocess.run(["xdpyinfo"], env=dict(os.environ, DISPLAY=":%d" % self.seat(2)[
            "display"], XAUTHORITY="/dev/null"), capture_output=True)
        self.assertNotEqual(r.returncode, 0)
        # Every server of the class, seats and wall, on loopback only.
        ports = {self.base + k for k in range(4)} | {self.seat(k)["rfbport"] for k in (1, 2, 3)}
        addrs = listeners(ports)
        self.assertEqual(len(addrs), len(ports), addrs)
        self.assertEqual(set(addrs), {"127.0.0.1"})

    def test_2_machine_in_the_browser(self):
        cls = type(self)
        tool("run", "2", "--state", self.state, "--", SUDZ, PROGRAMME)
        xenv = dict(os.environ, **dict(
            l[len("export "):].split("=", 1)
            for l in tool("env", "2", "--state", self.state).stdout.splitlines()))
        win = wait(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                           "^machine$"], env=xenv, capture_output=True,
                                          text=True).stdout.split(), what="machine window")[0]
        geo = subprocess.run(["xdotool", "getwindowgeometry", "--shell", win], env=xenv,
                             capture_output=True, text=True).stdout
        wx = int(re.search(r"X=(-?\d+)", geo).group(1))
        wy = int(re.search(r"Y=(-?\d+)", geo).group(1))
        cls.driver = browser()
        d = cls.driver

        # Wrong password first: the browser gets no picture of the seat.
        self.open_seat(2, "wrong-pass")
        wait(lambda: re.search("fail", d.find_element(By.ID, "noVNC_status")
                               .get_attribute("textContent"), re.I), 30, "refusal")
        self.assertIsNone(d.execute_script(CANVAS_SAMPLES))

        self.open_seat(2, self.seat(2)["password"])
        samples = wait(lambda: d.execute_script(CANVAS_SAMPLES), 30, "canvas")
        w, h = samples[0], samples[1]
        self.assertEqual((w, h), (1024, 768))

        # The canvas matches the seat's screen, machine included.
        def matches():
            got = base64.b64decode(d.execute_script(CANVAS_SAMPLES)[2])
            want = screen_rgb(xenv, (w, h))
            diff = n = 0
            i = 0
            for y in range(0, h, 8):
                for x in range(0, w, 8):
                    j = 3 * (y * w + x)
                    diff += max(abs(got[i + c] - want[j + c]) for c in range(3)) > 40
                    n += 1
                    i += 3
            return diff <= n // 100
        wait(matches, 30, "canvas showing the seat's screen")
        # The machine's window is there: its grey fills the middle of the picture.
        got = base64.b64decode(d.execute_script(CANVAS_SAMPLES)[2])
        k = 3 * ((wy + 200) // 8 * ((w + 7) // 8) + (wx + 40) // 8)
        self.assertNotEqual(got[k:k + 3], b"\0\0\0", "machine window drawn")

        # A click on "Demarrer" in the browser reaches the simulator.
        sim = [a for a in map(cmdline, marked_pids(self.state + "/2")) if b"-automemlink" in a]
        self.assertTrue(sim, "controller started")
        args = sim[0]
        shmid = int(args[args.index(b"-automemlink") + 1])
        cls.shmid = shmid
        cls.demarrer = (wx + DEMARRER[0] - w // 2, wy + DEMARRER[1] - h // 2)
        self.assertEqual(read_input(shmid, ST), 0)
        canvas = d.find_element(By.CSS_SELECTOR, "#noVNC_container canvas")
        ActionChains(d).move_to_element_with_offset(
            canvas, wx + DEMARRER[0] - w // 2, wy + DEMARRER[1] - h // 2).click().perform()
        wait(lambda: read_input(shmid, ST) == 1, 30, "St set")
        self.assertIn(" 1 ", tool("status", "--state", self.state).stdout.splitlines()[2],
                      "one browser connected to seat 2")

    def test_3_wall(self):
        d = type(self).driver
        m = re.search(r"wall: (\S+)", self.table)
        d.get(m.group(1))
        # Loaded thumbnails: mean brightness of each, drawn into a canvas.
        js = """
        const out = {};
        for (const t of document.querySelectorAll('.seat')) {
          const img = t.querySelector('img');
          if (!img.complete || !img.naturalWidth) continue;
          const c = document.createElement('canvas');
          c.width = img.naturalWidth; c.height = img.naturalHeight;
          const g = c.getContext('2d'); g.drawImage(img, 0, 0);
          const p = g.getImageData(0, 0, c.width, c.height).data;
          let s = 0; for (let i = 0; i < p.length; i += 4) s += p[i] + p[i+1] + p[i+2];
          out[t.querySelector('.num').textContent] = s / (p.length / 4) / 3;
        }
        return out;"""
        shown = wait(lambda: (lambda o: o if len(o) == 3 else None)(d.execute_script(js)), 30,
                     "three thumbnails")
        self.assertLess(shown["1"], 10, "an empty seat is black")
        self.assertGreater(shown["2"], 30, "seat 2 shows the machine")
        link = d.find_element(By.CSS_SELECTOR, "#seat-2 a").get_attribute("href")
        self.assertIn("view_only=true", link)
        self.assertIn("password=" + self.seat(2)["view_password"], link)
        # The wall's password shows the seat but cannot operate it, whatever
        # the page asks: a click on "Demarrer" leaves St as it was over 200 cycles.
        self.open_seat(2, self.seat(2)["view_password"])
        wait(lambda: d.execute_script(CANVAS_SAMPLES), 30, "canvas")
        canvas = d.find_element(By.CSS_SELECTOR, "#noVNC_container canvas")
        ActionChains(d).move_to_element_with_offset(canvas, *type(self).demarrer).click().perform()
        shmid = type(self).shmid
        start = read_input(shmid, -1)
        wait(lambda: read_input(shmid, -1) > start + 200, 60, "200 cycles")
        self.assertEqual(read_input(shmid, ST), 1)
        # The page is a secret: a wrong token gets nothing.
        d.get("http://127.0.0.1:%d/wall/not-the-token/" % self.base)
        self.assertIn("not found", d.page_source)

    def test_4_repair(self):
        d = type(self).driver
        d.quit()
        shutil.rmtree(d.profile_dir, ignore_errors=True)
        type(self).driver = None
        # Killed outright, x11vnc leaves its screen buffers to the seat to remove.
        type(self).killed = self.seat(3)["pids"]["x11vnc"]
        os.kill(type(self).killed, 9)
        wait(lambda: self.seat(3)["rfbport"] and not listeners({self.seat(3)["rfbport"]}), 10,
             "x11vnc gone")
        r = tool("status", "--state", self.state, check=False)
        self.assertEqual(r.returncode, 1)
        lines = r.stdout.splitlines()
        self.assertRegex(lines[3], r"^3\s+:\d+\s+down: x11vnc")
        # The browser that left did not take the seat's programs with it.
        self.assertRegex(lines[2], r"sudz")
        r = tool("status", "--repair", "--state", self.state)
        self.assertRegex(r.stdout.splitlines()[3], r"^3\s+:\d+\s+repaired: x11vnc")
        with open(os.path.join(self.state, "classroom.json")) as f:
            port = json.load(f)["seats"]["3"]["rfbport"]
        self.assertEqual(listeners({port}), ["127.0.0.1"])
        self.assertRegex(tool("status", "--state", self.state).stdout.splitlines()[3],
                         r"^3\s+:\d+\s+up")

    def test_5_stop(self):
        ports = {self.base + k for k in range(4)} | {self.seat(k)["rfbport"] for k in (1, 2)}
        servers = {p for k in (1, 2, 3) for p in self.seat(k)["pids"].values()}
        servers.add(getattr(type(self), "killed", 0))
        # One seat alone, the others untouched.
        tool("stop", "1", "--state", self.state)
        self.assertEqual(marked_pids(self.state + "/1"), [])
        self.assertFalse(os.path.exists(os.path.join(self.state, "seat-1.pass")))
        self.assertEqual(listeners({self.base + 1}), [])
        self.assertTrue(marked_pids(self.state + "/2"))
        tool("stop", "--state", self.state)
        self.assertEqual(marked_pids(self.state + "/"), [])
        self.assertEqual(listeners(ports), [])
        self.assertNotIn(type(self).shmid, segment_ids())
        self.assertEqual(segments_made_by(servers), [], "no screen buffer of a seat's server left")
        self.assertFalse(os.path.exists(self.state), "secrets removed with the state folder")


class CommandLine(unittest.TestCase):
    def test_refusals(self):
        state = tempfile.mkdtemp(prefix="classroom-cli-")
        scratch = tempfile.mkdtemp(prefix="classroom-cli-key-")
        key = os.path.join(scratch, "key.pem")
        with open(key, "w") as f:
            f.write("not even a key\n")
        os.chmod(key, 0o644)
        holder = socket.socket()
        holder.bind(("0.0.0.0", 0))
        holder.listen(1)
        busy = holder.getsockname()[1]
        try:
            cases = [
                (["start", "--state", state], "needs --seats"),
                (["start", "--seats", "2", "--geometry", "huge", "--state", state], "geometry"),
                (["start", "--seats", "0", "--state", state], "--seats"),
                (["env", "1", "--state", state], "no classroom"),
                (["run", "1", "--state", state], "no classroom"),
                (["frobnicate"], "unknown command"),
                (["start", "--seats", "1", "--tls", key, key, "--state", state],
                 "read by other accounts"),
                # Refused for its port, after the warning every open start gives.
                (["start", "--seats", "1", "--listen", "0.0.0.0", "--port", str(busy),
                  "--state", state], "in the clear"),
            ]
            for args, message in cases:
                with self.subTest(args=args):
                    r = tool(*args, check=False)
                    self.assertEqual(r.returncode, 1)
                    self.assertIn(message, r.stderr)
            self.assertEqual(os.listdir(state), [], "a refused start leaves nothing")
        finally:
            holder.close()
            shutil.rmtree(state, ignore_errors=True)
            shutil.rmtree(scratch, ignore_errors=True)



def own_state(mode=0o700, owner=None, files=()):
    """A folder for a class, with files in it (relative paths)."""
    state = tempfile.mkdtemp(prefix="classroom-folder-")
    os.chmod(state, mode)
    for name in files:
        os.makedirs(os.path.dirname(os.path.join(state, name)), exist_ok=True)
        with open(os.path.join(state, name), "w") as f:
            f.write("keep me\n")
    if owner is not None:
        os.chown(state, owner, owner)
    return state


def kinds(prefix):
    """The processes marked prefix by kind: the program, or the tool's own server."""
    out = {}
    for p in marked_pids(prefix):
        argv = [a.decode() for a in cmdline(p)] + ["", "", ""]
        out.setdefault(argv[2] if argv[2].startswith("_") else os.path.basename(argv[0]),
                       []).append(p)
    return out


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("useradd"),
                     "needs root and useradd to make a second account")
class Folders(unittest.TestCase):
    """Folders and processes that are not the teacher's own, with a second
    account made by the test."""

    @classmethod
    def setUpClass(cls):
        import pwd
        cls.user = "sudzt%d" % (os.getpid() % 100000)
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                        cls.user], check=True, capture_output=True)
        cls.uid = pwd.getpwnam(cls.user).pw_uid
        cls.scratch = tempfile.mkdtemp(prefix="classroom-folders-")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["userdel", "-f", cls.user], capture_output=True)
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def test_refused_folders(self):
        link = os.path.join(self.scratch, "link")
        cases = [  # (folder given, folder that must stay as it is, start's and stop's refusal)
            (link, own_state(), "symbolic link", "symbolic link"),
            (None, own_state(owner=self.uid), "another account", "another account"),
            (None, own_state(0o770), "written by other accounts", "written by other accounts"),
            (None, own_state(0o750, files=("notes.txt", "seats.txt", "logs/wall.log")),
             "not a classroom", "no classroom"),
        ]
        os.symlink(cases[0][1], link)
        for given, real, *messages in cases:
            self.addCleanup(shutil.rmtree, real, True)
            before = ([sorted(fs) for _, _, fs in os.walk(real)], os.stat(real).st_mode)
            for command, message in zip(("start", "stop"), messages):
                with self.subTest(real=real, command=command):
                    r = tool(command, "--state", given or real,
                             *(["--seats", "1"] if command == "start" else []), check=False)
                    self.assertEqual(r.returncode, 1, r.stderr)
                    self.assertIn(message, r.stderr)
                    self.assertNotIn("Traceback", r.stderr)
                    self.assertEqual(([sorted(fs) for _, _, fs in os.walk(real)],
                                      os.stat(real).st_mode), before, "folder left as it was")

    def test_running_class(self):
        """A class started in a folder holding links, its state's ids made
        wrong, others' processes marked for it, its folder deleted: the links'
        targets, the wrongly recorded process and the others' processes come
        through untouched, and stop still ends the class."""
        state = own_state()
        outside = os.path.join(self.scratch, "outside.txt")
        with open(outside, "w") as f:
            f.write("not the tool's\n")
        os.mkdir(os.path.join(state, "logs"), 0o700)
        for name in ("seats.txt", "logs/wall.log"):
            os.symlink(outside, os.path.join(state, name))
        base = free_base(1)
        others = []
        try:
            tool("start", "--seats", "1", "--port", str(base), "--state", state)
            with open(outside) as f:
                self.assertEqual(f.read(), "not the tool's\n")
            # Recorded ids that name some other process of ours: repair ends
            # the seat's running x11vnc and starts one, never a second.
            others.append(subprocess.Popen(["sleep", "300"]))
            path = os.path.join(state, "classroom.json")
            with open(path) as f:
                data = json.load(f)
            data["seats"]["1"]["pids"]["x11vnc"] = others[0].pid
            with open(path, "w") as f:
                json.dump(data, f)
            tool("status", "--repair", "--state", state)
            self.assertEqual(len(kinds(state + "/1")["x11vnc"]), 1)
            # Marked for seat 1 by another account, and for no seat by ours.
            others.append(subprocess.Popen(
                ["setpriv", "--reuid", str(self.uid), "--regid", str(self.uid), "--clear-groups",
                 "sleep", "300"], env=dict(os.environ, SUDZ_SEAT=state + "/1")))
            others.append(subprocess.Popen(["sleep", "300"],
                                           env=dict(os.environ, SUDZ_SEAT=state + "/notaseat")))
            wait(lambda: len(marked_pids(state + "/")) >= 6, 10, "marked processes")
            shutil.rmtree(state)
            tool("stop", "--state", state)
            self.assertEqual(sorted(marked_pids(state + "/")), sorted(p.pid for p in others[1:]))
            self.assertEqual(listeners({base, base + 1}), [])
            self.assertEqual([p.poll() for p in others], [None] * 3, "others' processes run")
            self.assertEqual(tool("stop", "--state", state, check=False).returncode, 1)
        finally:
            for p in others:
                p.kill()
                p.wait()
            if os.path.isdir(state):
                tool("stop", "--state", state, check=False)
            shutil.rmtree(state, ignore_errors=True)


class DamagedState(unittest.TestCase):
    def test_damaged(self):
        def state(seat=None, **top):
            d = {"listen": "127.0.0.1", "base": 6080, "geometry": "1024x768", "tls": None,
                 "token": "abcdefghijklmnopqrstuvwx", "wall_pid": 0, "seats": {"1": dict({
                     "display": 40, "rfbport": 5901, "password": "abcdefghijkm",
                     "view_password": "nopqrstuvwxy", "cookie": "0" * 32, "pids": {}},
                     **(seat or {}))}}
            d.update(top)
            return json.dumps({k: v for k, v in d.items() if v is not None or k == "tls"})
        contents = {
            "not JSON": "{\"listen\": ",
            "a list": "[]",
            "no seats": state(seats=None),
            "base a string": state(base="6080"),
            "seat ../../x": state(seats={"../../x": json.loads(state())["seats"]["1"]}),
            "password with a newline": state({"password": "abcdefgh\nijk"}),
            "pids a list": state({"pids": [1, 2]}),
            "display a string": state({"display": ":40"}),
        }
        folder = own_state()
        path = os.path.join(folder, "classroom.json")
        try:
            for what, text in contents.items():
                for args in (["status"], ["status", "--repair"], ["env", "1"], ["stop", "1"],
                             ["start", "--seats", "1"]):
                    with self.subTest(what=what, args=args):
                        with open(path, "w") as f:
                            f.write(text)
                        r = tool(*args, "--state", folder, check=False)
                        self.assertEqual(r.returncode, 1)
                        self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                        self.assertIn(path, r.stderr)
            # stop still clears what the tool made, whatever the state says.
            tool("stop", "--state", folder)
            self.assertEqual(os.listdir(folder), [])
        finally:
            shutil.rmtree(folder, ignore_errors=True)


def connect_idle(port, n):
    """n connections to port that send nothing, not waiting to be accepted."""
    socks = [socket.socket() for _ in range(n)]
    for s in socks:
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
    return socks


@unittest.skipUnless(resource.getrlimit(resource.RLIMIT_NOFILE)[1] >= 2600,
                     "needs a file limit of at least 2,600 for the test's own connections")
class Exhaustion(unittest.TestCase):
    """A TLS class under a 1024 file limit: the wall and a seat's port keep
    answering through idle and half-open connections, and log little."""

    @classmethod
    def setUpClass(cls):
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 4096), hard))
        cls.scratch = tempfile.mkdtemp(prefix="classroom-load-")
        cls.state = os.path.join(cls.scratch, "state")
        cert, key = (os.path.join(cls.scratch, n) for n in ("cert.pem", "key.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        os.chmod(key, 0o600)
        cls.base = free_base(1)
        table = tool("start", "--seats", "1", "--port", str(cls.base), "--tls", cert, key,
                     "--state", cls.state, files=1024).stdout
        cls.wall = re.search(r"wall: (\S+)", table).group(1)
        cls.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        cls.tls.check_hostname = False
        cls.tls.verify_mode = ssl.CERT_NONE

    @classmethod
    def tearDownClass(cls):
        tool("stop", "--state", cls.state, check=False)
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def get(self, url):
        """(seconds taken, status, headers) of a GET, failing after 5 s."""
        t0 = time.monotonic()
        with urllib.request.urlopen(url, timeout=5, context=self.tls) as r:
            r.read()
            return time.monotonic() - t0, r.status, r.headers

    def test_wall(self):
        idle = connect_idle(self.base, 2000)
        try:
            time.sleep(1)
            for path in ("", "status.json"):
                took, status, headers = self.get(self.wall + path)
                self.assertEqual(status, 200)
                self.assertLess(took, 5)
            self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
            self.assertEqual(headers["X-Frame-Options"], "DENY")
            wall = kinds(self.state + "/wall")["_wall"][0]
            self.assertLess(len(os.listdir("/proc/%d/task" % wall)), 10, "threads")
        finally:
            for s in idle:
                s.close()
        # Plain HTTP to the TLS wall: refused, one short line now and then.
        log = os.path.join(self.state, "logs", "wall.log")
        size = os.path.getsize(log)
        for _ in range(200):
            with socket.create_connection(("127.0.0.1", self.base), timeout=5) as s:
                s.sendall(b"GET / HTTP/1.0\r\n\r\n")
                try:
                    self.assertEqual(s.recv(100), b"", "closed unanswered")
                except ConnectionResetError:
                    pass
        self.assertLess(os.path.getsize(log) - size, 8000)
        with open(log, errors="replace") as f:
            self.assertNotIn("Traceback", f.read())

    def test_seat_port(self):
        port = self.base + 1
        page = "https://127.0.0.1:%d/vnc.html" % port
        servers = lambda: len(kinds(self.state + "/1").get("_seat", []))
        half = connect_idle(port, 100)
        try:
            # Idle connections cost the seat no process and the student no wait.
            time.sleep(1)
            self.assertEqual(servers(), 1)
            self.assertLess(self.get(page)[0], 5)
            # A browser's WebSocket, up before the flood below and kept through it.
            ws = self.tls.wrap_socket(socket.create_connection(("127.0.0.1", port)))
            half.append(ws)
            ws.sendall(b"GET /websockify HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                       b"Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                       b"Sec-WebSocket-Version: 13\r\nSec-WebSocket-Protocol: binary\r\n\r\n")
            self.assertIn(b" 101 ", ws.recv(4096))
            up = time.monotonic()
            # Handshakes begun and never finished: a bounded number of
            # handlers, each ended in time, though the clients stay.
            for _ in range(40):
                half.append(socket.create_connection(("127.0.0.1", port)))
                half[-1].sendall(b"\x16\x03\x01")
            time.sleep(1)
            self.assertLessEqual(servers(), 1 + 16)
            wait(lambda: servers() == 2, 60, "unfinished handshakes ended")
            time.sleep(max(0, up + 12 - time.monotonic()))
            self.assertEqual(servers(), 2, "the WebSocket's handler outlives the handshake limit")
            ws.settimeout(0.5)
            with self.assertRaises(socket.timeout, msg="the WebSocket stays open"):
                while ws.recv(4096):
                    pass
            self.assertEqual(self.get(page)[1], 200)
        finally:
            for s in half:
                s.close()

if __name__ == "__main__":
    unittest.main(verbosity=2)
