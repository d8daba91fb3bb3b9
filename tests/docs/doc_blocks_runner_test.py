#!/usr/bin/python3
"""The example runner on scratch Markdown files: a sound file passes, and each kind of
broken example fails the run, named by its file and line."""
import os
import subprocess
import sys
import tempfile

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check-doc-blocks")
FENCE = "`" * 3

# (name, markdown, expected status, text the report must hold)
CASES = [
    ("sound", f"""# Sound
<!-- file greeting.txt -->
{FENCE}text
bonjour
{FENCE}
<!-- run -->
{FENCE}sh
export WORD=$(cat greeting.txt)
{FENCE}
<!-- run -->
{FENCE}sh
echo "word: $WORD"; sudz --help > /dev/null
{FENCE}
<!-- output -->
{FENCE}text
word: bonjour
...
{FENCE}
<!-- not run: plc -->
{FENCE}sh
mbpoll 192.168.0.10
{FENCE}
""", 0, "2 block(s) run, 1 output(s) checked, 1 file(s) written, 1 not run (plc 1); 0 failure(s)"),
    ("wrong_command", f"""# Broken
<!-- run -->
{FENCE}sh
true
sudz-no-such-program --help
{FENCE}
""", 1, "wrong_command.md:3: ended with status 127"),
    ("wrong_output", f"""# Broken
<!-- run -->
{FENCE}sh
echo one; echo two
{FENCE}
<!-- output -->
{FENCE}text
one
three
{FENCE}
""", 1, "wrong_output.md:9: not in the output of the block above: three"),
    ("unmarked", f"""# Broken

{FENCE}sh
echo not checked
{FENCE}
""", 1, "unmarked.md:3: shell block without a marker"),
    ("gui_never_shows", f"""# Broken
<!-- run window="no such window" timeout=3 -->
{FENCE}sh
sleep 30
{FENCE}
""", 1, "gui_never_shows.md:3: still running after 3 s"),
]


def main():
    build = sys.argv[1]
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, text, status, needle in CASES:
            path = os.path.join(tmp, name + ".md")
            with open(path, "w") as f:
                f.write(text)
            r = subprocess.run([RUNNER, "--build", build, path], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
            if r.returncode != status or needle not in r.stdout:
                failed += 1
                print(f"{name}: status {r.returncode} (expected {status}), "
                      f"expected \"{needle}\" in:\n{r.stdout}")
    print(f"{len(CASES) - failed}/{len(CASES)} cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
