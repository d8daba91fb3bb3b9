# Run by test_ioshare_c against a simulator end whose inputs are 100 + i,
# published three times, and whose last output is a second "Vi". Exits 0
# when every check holds, else prints the failures and exits 1.
import sys

import sudz

failures = []


def check(what, got, expected):
    if got != expected:
        failures.append("%s: %r, expected %r" % (what, got, expected))


def raises(what, error, call):
    try:
        call()
    except error:
        return
    except Exception as e:
        failures.append("%s: %r instead of %s" % (what, e, error.__name__))
        return
    failures.append("%s: no %s" % (what, error.__name__))


link = sudz.Link(int(sys.argv[1]))
check("inputs before a snapshot", set(link.inputs().values()), {0})
check("clock before", link.clock, 0)
check("first receive", link.receive(), 1)
check("clock", link.clock, 3)
check("second receive", link.receive(), 0)
names = ["T", "Niv", "Vide", "Tr", "St", "Prel", "Lav", "Rinc", "Ess", "T1mt", "T5mt"]
check("inputs", link.inputs(), {n: 100 + i for i, n in enumerate(names)})
check("input Niv", link.input("Niv"), 101)
check("input by bytes", link.input(b"Vide"), 102)
for unknown in ["niv", "Niv ", "Niv\0", "Niv\0x", "N\u0131v", ""]:
    check("input %r" % unknown, link.input(unknown), 0)
raises("input of an int", TypeError, lambda: link.input(1))

outputs = ["nF", "H", "Vo", "So", "Pw", "Vi", "AvL", "ArL", "AvR", "T1m"]
check("outputs at attach", link.outputs(), {n: 0 for n in outputs})
link.set_output("H", True)
link.set_output("Vi", -5)
link.set_output("Vi\0", 9)
link.set_output("Unknown", 9)
raises("float value", TypeError, lambda: link.set_output("nF", 1.0))
raises("None value", TypeError, lambda: link.set_output("nF", None))
raises("value above 32 bits", OverflowError, lambda: link.set_output("nF", 2**31))
raises("value below 32 bits", OverflowError, lambda: link.set_output("nF", -(2**31) - 1))
check("outputs", link.outputs()["Vi"], -5)
check("outputs H", link.outputs()["H"], 1)
link.refresh()

raises("ident and argv", TypeError, lambda: sudz.Link(1, argv=["x"]))
raises("ident out of range", sudz.LinkError, lambda: sudz.Link(2**40))

link.close()
link.close()
raises("receive after close", ValueError, link.receive)
with sudz.Link(int(sys.argv[1])) as second:
    check("a second link sees the last inputs", second.receive(), 1)
    # Its attach set the output clock back to 0: one refresh leaves it at 1.
    second.refresh()

for f in failures:
    print(f, file=sys.stderr)
sys.exit(1 if failures else 0)
