#!/usr/bin/python3
"""classroom_bench.py BUILD [SEATS] [WATCHED] [SECONDS]

Starts a class of SEATS seats (30), runs the washing machine with its
programme in every one with "Demarrer" pressed, watches the first WATCHED (5)
seats from one headless chromium through their view links, then measures
over SECONDS (20):
  - each simulator's cycle rate (steps of its input clock) against a bare
    5 ms sleep loop run beside them, and the median of the ratios;
  - the processor use of x11vnc + websockify per watched and unwatched seat.
Prints the machine's load beside the figures."""
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
seats = int(sys.argv[2]) if len(sys.argv) > 2 else 30
watched = int(sys.argv[3]) if len(sys.argv) > 3 else 5
seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 20.0
tool = os.path.join(build, "src/sudz-classroom/sudz-classroom")
sudz = os.path.join(build, "src/sudz/sudz")
programme = os.path.join(build, "examples/washing_programme")
hz = os.sysconf("SC_CLK_TCK")


def free_base(n):
    for _ in range(200):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            base = s.getsockname()[1]
        if base + n > 65535:
            continue
        try:
            for p in range(base, base + n + 1):
                with socket.socket() as s:
                    s.bind(("127.0.0.1", p))
            return base
        except OSError:
            pass
    sys.exit("classroom_bench: no free ports")


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


def descendants(pid):
    out, todo = [], [pid]
    while todo:
        c = children(todo.pop())
        out += c
        todo += c
    return out


def segment_of(mark):
    want = ("SUDZ_SEAT=" + mark).encode()
    for n in os.listdir("/proc"):
        if not n.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % n, "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % n, "rb") as f:
                args = f.read().split(b"\0")
        except OSError:
            continue
        if b"-automemlink" in args:
            return int(args[args.index(b"-automemlink") + 1])
    return None


state = tempfile.mkdtemp(prefix="classroom-bench-")
os.rmdir(state)
base = free_base(seats)
subprocess.run([tool, "start", "--seats", str(seats), "--port", str(base), "--state", state],
               check=True, stdout=subprocess.DEVNULL)
driver = None
profile = None
try:
    data = json.load(open(os.path.join(state, "classroom.json")))
    # The browser connects first: on a loaded machine it may take long to start.
    if watched:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        opts = webdriver.ChromeOptions()
        opts.binary_location = "/usr/bin/chromium"
        # A loaded machine may take minutes to finish loading five live
        # views; what counts is that their connections are up (below).
        opts.page_load_strategy = "none"
        profile = tempfile.mkdtemp(prefix="classroom-bench-chromium-")
        for f in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
                  "--window-size=1600,1000"):
            opts.add_argument(f)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
        frames = "".join(
            '<iframe width="500" height="380" src="http://127.0.0.1:%d/vnc.html#autoconnect=true'
            '&view_only=true&resize=scale&password=%s"></iframe>'
            % (base + k, data["seats"][str(k)]["view_password"]) for k in range(1, watched + 1))
        page = os.path.join(profile, "watch.html")
        with open(page, "w") as f:
            f.write("<!DOCTYPE html><body>%s</body>" % frames)
        driver.get("file://" + page)
        rfb = {k: data["seats"][str(k)]["rfbport"] for k in range(1, watched + 1)}

        def connected():
            out = subprocess.run(["ss", "-Htn", "state", "established"], capture_output=True,
                                 text=True).stdout
            return all(re.search(r"127\.0\.0\.1:%d\s" % p, out) for p in rfb.values())
        end = time.monotonic() + 120
        while not connected() and time.monotonic() < end:
            time.sleep(0.2)
        if not connected():
            sys.exit("classroom_bench: the browser did not connect to the watched seats")
        time.sleep(2)  # past the first full picture

    for k in range(1, seats + 1):
        subprocess.run([tool, "run", str(k), "--state", state, "--", sudz, programme],
                       check=True, stdout=subprocess.DEVNULL)
    clocks = {}
    for k in range(1, seats + 1):
        end = time.monotonic() + 60
        shmid = None
        while shmid is None and time.monotonic() < end:
            shmid = segment_of("%s/%d" % (state, k))
            time.sleep(0.1)
        if shmid is None:
            sys.exit("classroom_bench: seat %d has no simulator" % k)
        clocks[k] = shmid
    # "Demarrer" pressed in every machine, so that every one works and redraws.
    for k in range(1, seats + 1):
        lines = subprocess.run([tool, "env", str(k), "--state", state], check=True,
                               capture_output=True, text=True).stdout.splitlines()
        env = dict(os.environ, **dict(l[len("export "):].split("=", 1) for l in lines))
        win = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                              "^machine$"], env=env, capture_output=True, text=True,
                             timeout=60).stdout.split()[0]
        subprocess.run(["xdotool", "mousemove", "--window", win, "280", "485", "click", "1"],
                       env=env, check=True)

    def servers(k):
        s = data["seats"][str(k)]["pids"]
        pids = [s["x11vnc"], s["websockify"]]
        return pids + children(s["websockify"])

    load0 = os.getloadavg()
    ks = sorted(clocks)
    s0 = {k: sum(ticks(p) for p in servers(k)) for k in ks}
    browser = descendants(driver.service.process.pid) if driver else []
    b0 = sum(ticks(p) for p in browser)
    # The bare loop runs in a session of its own, as every seat's programs do:
    # with the kernel's automatic session groups the scheduler shares the
    # processor between sessions first, so a bare loop inside this script's
    # session would be measured against a different share.
    out = subprocess.run([os.path.join(build, "bench/classroom_rate"), str(seconds)]
                         + [str(clocks[k]) for k in ks], start_new_session=True,
                         check=True, capture_output=True, text=True).stdout.split()
    s1 = {k: sum(ticks(p) for p in servers(k)) for k in ks}
    b1 = sum(ticks(p) for p in browser)
    load1 = os.getloadavg()
    elapsed, bare = float(out[0]), int(out[1])
    steps = dict(zip(ks, map(int, out[2:])))

    bare_rate = bare / elapsed
    ratios = [steps[k] / elapsed / bare_rate for k in ks]
    cpu = {k: 100.0 * (s1[k] - s0[k]) / hz / elapsed for k in clocks}
    w = [cpu[k] for k in clocks if k <= watched]
    u = [cpu[k] for k in clocks if k > watched]
    print("seats: %d, watched: %d, measured over %.1f s, %d cores" % (
        seats, watched, elapsed, os.cpu_count()))
    print("load average before / after:        %.2f / %.2f" % (load0[0], load1[0]))
    print("bare 5 ms loop rounds per second:    %8.1f" % bare_rate)
    print("simulator cycle ratio, median:       %8.3f (min %.3f, max %.3f)" % (
        statistics.median(ratios), min(ratios), max(ratios)))
    if w:
        print("x11vnc+websockify per watched seat:  %7.2f %% of one core (max %.2f)" % (
            statistics.mean(w), max(w)))
    if browser:
        print("headless browser watching:           %7.2f %% of one core (%s)" % (
            100.0 * (b1 - b0) / hz / elapsed,
            "all watched seats connected" if connected() else "some watched seat lost"))
    if u:
        print("x11vnc+websockify per unwatched seat: %6.2f %% of one core (max %.2f)" % (
            statistics.mean(u), max(u)))
finally:
    if driver:
        driver.quit()
    if profile:
        shutil.rmtree(profile, ignore_errors=True)
    subprocess.run([tool, "stop", "--state", state])
