#!/usr/bin/python3
# minimal_controller.py: the minimal controller in Python. Once the door is closed and "St"
# pressed, it fills the tank to its level, drains it, and then does nothing until the
# simulation ends. It does what minimal_controller.cpp does, through the module sudz.
#
# Run:  sudz ./minimal_controller.py
# (the module must be importable: installed, or on PYTHONPATH; see README.md)
import sudz

WAITING, FILLING, DRAINING, DONE = range(4)


def main():
    # The simulator passes "-automemlink <ident>": attach to its exchange area.
    io = sudz.Link()
    stage = WAITING

    while True:
        news = io.receive()
        if news == -1:  # the simulation is over
            break
        if news == 0:  # no new inputs yet (receive already paused 10 ms)
            continue

        # 1: new inputs. Decide...
        if stage == WAITING and io.input("Tr") == 1 and io.input("St") == 1:
            stage = FILLING
        elif stage == FILLING and io.input("Niv") == 1:
            stage = DRAINING
        elif stage == DRAINING and io.input("Vide") == 1:
            stage = DONE

        # ...then write the outputs and announce them.
        io.set_output("Vi", stage == FILLING and io.input("Niv") == 0)
        io.set_output("Vo", stage == DRAINING)
        io.refresh()

    print("minimal_controller.py: simulation ended", flush=True)


if __name__ == "__main__":
    main()
