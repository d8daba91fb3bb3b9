#!/usr/bin/python3
"""classroom_servers.py BUILD [SEATS] [SECONDS]

What a classroom seat's servers cost, two ways side by side in one run:
Xvfb + x11vnc (what sudz-classroom runs) against one Xvnc process (an X server
with its own VNC server, as it comes and at most 20 updates a second as
x11vnc does), each behind websockify. SEATS (2) watched and SEATS
unwatched seats of each kind, every one running the washing machine with its
programme and "Demarrer" pressed; one headless chromium watches the watched
ones through noVNC. Prints the processor use, as % of one core, of each
seat's X server, VNC server (Xvnc's own is inside its X server) and
websockify over SECONDS (20): the X server's share includes drawing the
machine, which both kinds pay alike."""
import os
import re
import secrets
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
per = int(sys.argv[2]) if len(sys.argv) > 2 else 2
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20.0
sudz = os.path.join(build, "src/sudz/sudz")
programme = os.path.join(build, "examples/washing_programme")
hz = os.sysconf("SC_CLK_TCK")
# Xvnc as it comes, and at most 20 updates a second, as x11vnc polls every 50 ms.
KINDS = ("Xvfb+x11vnc", "Xvnc", "Xvnc-20fps")
if not shutil.which("Xvnc"):
    sys.exit("classroom_servers: Xvnc is missing (Debian's tigervnc-standalone-server)")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def free_display(taken):
    n = 300
    while os.path.exists("/tmp/.X11-unix/X%d" % n) or n in taken:
        n += 1
    taken.add(n)
    return n


def ticks(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            r = f.read().rsplit(")", 1)[1].split()
        return int(r[11]) + int(r[12])
    except OSError:
        return 0


def children(pid):
    out = []
    for n in os.listdir("/proc"):
        if n.isdigit():
            try:
                with open("/proc/%s/stat" % n) as f:
                    if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                        out.append(int(n))
            except OSError:
                pass
    return out


def listening(port):
    out = subprocess.run(["ss", "-Hltn"], capture_output=True, text=True).stdout
    return re.search(r":%d\s" % port, out) is not None


def wait(pred, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if pred():
            return
        time.sleep(0.1)
    sys.exit("classroom_servers: timed out waiting for " + what)


work = tempfile.mkdtemp(prefix="classroom-servers-")
procs = []  # every process started here, each in a session of its own
seats = []
displays = set()


def spawn(argv, env=None, log="/dev/null"):
    with open(log, "ab") as out:
        p = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                             start_new_session=True)
    procs.append(p)
    return p


def seat(kind, n):
    display = free_display(displays)
    auth = os.path.join(work, "seat-%d.xauth" % display)
    cookie = secrets.token_bytes(16)

    def field(b):
        return struct.pack(">H", len(b)) + b
    with open(auth, "wb") as f:
        f.write(struct.pack(">H", 0xFFFF) + field(b"") + field(str(display).encode())
                + field(b"MIT-MAGIC-COOKIE-1") + field(cookie))
    rfb = free_port()
    web = free_port()
    common = [":%d" % display, "-auth", auth, "-nolisten", "tcp"]
    if kind.startswith("Xvnc"):
        x = spawn(["Xvnc"] + common + ["-geometry", "1024x768", "-depth", "24",
                                       "-rfbport", str(rfb), "-localhost", "-interface",
                                       "127.0.0.1", "-SecurityTypes", "None", "-AlwaysShared"]
                  + (["-FrameRate", "20"] if kind.endswith("20fps") else []))
        vnc = None
    else:
        x = spawn(["Xvfb"] + common + ["-screen", "0", "1024x768x24", "-noreset"])
        wait(lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), 20, "Xvfb")
        # The options sudz-classroom gives x11vnc, its password aside.
        vnc = spawn(["x11vnc", "-display", ":%d" % display, "-auth", auth, "-rfbport", str(rfb),
                     "-localhost", "-listen", "127.0.0.1", "-no6", "-forever", "-shared",
                     "-quiet", "-nopw", "-wait", "50", "-defer", "50"])
    wait(lambda: listening(rfb), 20, kind)
    ws = spawn(["websockify", "--web", "/usr/share/novnc", "127.0.0.1:%d" % web,
                "127.0.0.1:%d" % rfb])
    wait(lambda: listening(web), 20, "websockify")
    env = dict(os.environ, DISPLAY=":%d" % display, XAUTHORITY=auth)
    spawn([sudz, programme], env=env)
    return {"kind": kind, "watched": n < per, "x": x.pid, "vnc": vnc.pid if vnc else None,
            "ws": ws.pid, "web": web, "rfb": rfb, "env": env}


driver = profile = None
try:
    for kind in KINDS:
        for n in range(2 * per):
            seats.append(seat(kind, n))
    for s in seats:
        win = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                              "^machine$"], env=s["env"], capture_output=True, text=True,
                             timeout=60).stdout.split()[0]
        subprocess.run(["xdotool", "mousemove", "--window", win, "280", "485", "click", "1"],
                       env=s["env"], check=True)
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    opts = webdriver.ChromeOptions()
    opts.binary_location = "/usr/bin/chromium"
    opts.page_load_strategy = "none"
    profile = tempfile.mkdtemp(prefix="classroom-servers-chromium-")
    for f in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--user-data-dir=" + profile, "--window-size=1600,1000"):
        opts.add_argument(f)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
    page = os.path.join(profile, "watch.html")
    with open(page, "w") as f:
        f.write("<!DOCTYPE html><body>%s</body>" % "".join(
            '<iframe width="500" height="380" src="http://127.0.0.1:%d/vnc.html#autoconnect=true'
            '&view_only=true&resize=scale"></iframe>' % s["web"] for s in seats if s["watched"]))
    driver.get("file://" + page)

    def connected():
        out = subprocess.run(["ss", "-Htn", "state", "established"], capture_output=True,
                             text=True).stdout
        return all(re.search(r"127\.0\.0\.1:%d\s" % s["rfb"], out) for s in seats
                   if s["watched"])
    wait(connected, 120, "the browser's connections")
    time.sleep(3)  # past the first full picture

    def used(s):
        """Ticks of the seat's X server, its VNC server, its websockify."""
        return (ticks(s["x"]), ticks(s["vnc"]) if s["vnc"] else 0,
                sum(ticks(p) for p in [s["ws"]] + children(s["ws"])))
    load0 = os.getloadavg()[0]
    t0 = time.monotonic()
    u0 = [used(s) for s in seats]
    time.sleep(seconds)
    u1 = [used(s) for s in seats]
    elapsed = time.monotonic() - t0
    print("%d watched and %d unwatched seats of each kind, %.1f s, load average %.2f / %.2f"
          % (per, per, elapsed, load0, os.getloadavg()[0]))
    print("%% of one core, mean of the seats: %-13s %-10s %6s %6s %6s %6s" % (
        "servers", "seat", "all", "X", "VNC", "wsock"))
    for kind in KINDS:
        for watched in (True, False):
            cpu = [[100.0 * (b[i] - a[i]) / hz / elapsed for i in range(3)]
                   for s, a, b in zip(seats, u0, u1)
                   if s["kind"] == kind and s["watched"] == watched]
            parts = [statistics.mean(c[i] for c in cpu) for i in range(3)]
            print("%33s %-13s %-10s %6.2f %6.2f %6.2f %6.2f" % (
                "", kind, "watched" if watched else "unwatched", sum(parts), *parts))
    if not connected():
        print("some watched seat lost its browser during the measure")
finally:
    if driver:
        driver.quit()
    for p in reversed(procs):
        p.terminate()
    for p in procs:
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
    if profile:
        shutil.rmtree(profile, ignore_errors=True)
    shutil.rmtree(work, ignore_errors=True)
