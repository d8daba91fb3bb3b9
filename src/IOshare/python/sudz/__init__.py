"""Controllers for the sudz simulator, in Python.

The simulator starts its controller with the arguments "-automemlink" and
the identifier of its exchange area. A controller:

    import sudz
    link = sudz.Link()               # attaches from the "-automemlink" of sys.argv
    while link.receive() != -1:      # -1 ended, 0 nothing new (after its pause), 1 new inputs
        link.set_output("Vi", 0 if link.input("Niv") else 1)
        link.refresh()

The module is a thin layer over the link library (libIOshare.so) through
ctypes; it behaves as the C++ class IOsharemem_client. It loads the
library installed (or built) with this module, found from this module's
own place, else the one on the system's library path, by its soname
libIOshare.so.0.
"""

import ctypes
import operator
import os
import sys

from . import _where

__all__ = ["Link", "LinkError"]

_HEADER = "IOshare: erreur sur partage memoire"

# Reasons of a failed attach, by the library's codes.
_REASONS = {
    1: "no_switch",
    2: "no_ident",
    3: "not_decimal",
    4: "zero_ident",
    5: "refused",
    6: "wrong_size",
    7: "wrong_counts",
}

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1


class LinkError(Exception):
    """The controller's end could not attach.

    `reason` says why ("no_switch", "no_ident", "not_decimal", "zero_ident",
    "refused", "wrong_size", "wrong_counts"), `code` is the library's number
    for it, and the message is the line that a C++ controller reports.
    """

    def __init__(self, code, line):
        super().__init__(line)
        self.code = code
        self.reason = _REASONS.get(code, "unknown")
        self.line = line


def _load_library():
    here = os.path.dirname(os.path.abspath(__file__))
    candidates = [os.path.join(here, _where.LIBRARY), "libIOshare.so.0"]
    failures = []
    for path in candidates:
        try:
            return ctypes.CDLL(path)
        except OSError as e:
            failures.append(str(e))
    raise ImportError("sudz: libIOshare cannot be loaded: " + "; ".join(failures))


def _declare(lib):
    c_int, c_char_p, c_void_p = ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p
    int_p = ctypes.POINTER(c_int)
    table = {
        "ioshare_try_attach": ([c_int, int_p, ctypes.c_char_p, ctypes.c_size_t], c_void_p),
        "ioshare_try_attach_argv": (
            [c_int, ctypes.POINTER(c_char_p), int_p, c_char_p, ctypes.c_size_t],
            c_void_p,
        ),
        "ioshare_free": ([c_void_p], None),
        "ioshare_receive": ([c_void_p], c_int),
        "ioshare_input": ([c_void_p, c_char_p], c_int),
        "ioshare_set_output": ([c_void_p, c_char_p, c_int], None),
        "ioshare_refresh": ([c_void_p], None),
        "ioshare_clock": ([c_void_p], c_int),
        "ioshare_input_count": ([c_void_p], c_int),
        "ioshare_output_count": ([c_void_p], c_int),
        "ioshare_input_name": ([c_void_p, c_int], c_char_p),
        "ioshare_output_name": ([c_void_p, c_int], c_char_p),
        "ioshare_inputs": ([c_void_p, int_p, c_int], c_int),
        "ioshare_outputs": ([c_void_p, int_p, c_int], c_int),
    }
    for name, (args, result) in table.items():
        f = getattr(lib, name)
        f.argtypes = args
        f.restype = result
    return lib


_lib = _declare(_load_library())


def _name_bytes(name):
    """The name as the area stores it (ISO-8859-1), or None when no stored
    name can be equal to it."""
    if isinstance(name, str):
        try:
            name = name.encode("latin-1")
        except UnicodeEncodeError:
            return None
    elif not isinstance(name, (bytes, bytearray)):
        raise TypeError("a signal name is a str, not " + type(name).__name__)
    # The library reads up to the first NUL: a name holding one would match
    # a shorter name.
    return None if b"\0" in name else bytes(name)


class Link:
    """The controller's end of the exchange area.

    Link() attaches from the "-automemlink" argument of sys.argv, as a
    controller started by sudz: when it cannot, it writes the same message
    as a C++ controller on standard error and ends the script with status 1.
    Link(ident) and Link(argv=[...]) are library calls: they raise LinkError
    instead. Attaching writes "ident_mem=<ident>" on standard error.
    """

    def __init__(self, ident=None, argv=None):
        self._link = None
        error = ctypes.c_int(0)
        message = ctypes.create_string_buffer(512)
        sys.stderr.flush()
        if ident is not None:
            if argv is not None:
                raise TypeError("give ident or argv, not both")
            ident = operator.index(ident)
            if not _INT_MIN <= ident <= _INT_MAX:
                # No segment has such an identifier.
                raise LinkError(5, "shmat() client refuse pour ident mem=%d" % ident)
            handle = _lib.ioshare_try_attach(ident, ctypes.byref(error), message, len(message))
        else:
            script = argv is None
            args = list(sys.argv if script else argv)
            # argv[0] is the program, as in C.
            encoded = [a if isinstance(a, bytes) else os.fsencode(a) for a in args]
            if not encoded:
                encoded = [b""]
            c_argv = (ctypes.c_char_p * (len(encoded) + 1))(*encoded, None)
            handle = _lib.ioshare_try_attach_argv(
                len(encoded), c_argv, ctypes.byref(error), message, len(message)
            )
            if not handle and script:
                line = message.value.decode("latin-1")
                sys.stderr.write("%s\n%s\n\n" % (_HEADER, line))
                sys.stderr.flush()
                raise SystemExit(1)
        if not handle:
            raise LinkError(error.value, message.value.decode("latin-1"))
        self._link = handle
        self._inputs = tuple(
            _lib.ioshare_input_name(handle, i).decode("latin-1")
            for i in range(_lib.ioshare_input_count(handle))
        )
        self._outputs = tuple(
            _lib.ioshare_output_name(handle, i).decode("latin-1")
            for i in range(_lib.ioshare_output_count(handle))
        )
        self._in_values = (ctypes.c_int * max(1, len(self._inputs)))()
        self._out_values = (ctypes.c_int * max(1, len(self._outputs)))()

    def _handle(self):
        if self._link is None:
            raise ValueError("the link is closed")
        return self._link

    def receive(self):
        """-1: the simulation has ended; 0: nothing new (the 10 ms pause is
        taken); 1: a new set of inputs is in the local copy."""
        return _lib.ioshare_receive(self._handle())

    def input(self, name):
        """The named input as of the last receive that returned 1; 0 when
        no input has that name (names are exact: "niv" is not "Niv")."""
        handle = self._handle()
        b = _name_bytes(name)
        return 0 if b is None else _lib.ioshare_input(handle, b)

    def set_output(self, name, value):
        """Writes value (an int or a bool) into the named output, at once;
        an unknown name changes nothing."""
        handle = self._handle()
        v = operator.index(value)
        if not _INT_MIN <= v <= _INT_MAX:
            raise OverflowError("an output value is a 32-bit int: %d" % v)
        b = _name_bytes(name)
        if b is not None:
            _lib.ioshare_set_output(handle, b, v)

    def refresh(self):
        """Announces a fresh set of outputs (raises the output clock)."""
        _lib.ioshare_refresh(self._handle())

    @property
    def clock(self):
        """The input clock of the last receive that returned 1 (0 before)."""
        return _lib.ioshare_clock(self._handle())

    def inputs(self):
        """Every input, name to value, as of the last receive that returned 1."""
        n = _lib.ioshare_inputs(self._handle(), self._in_values, len(self._inputs))
        return {self._inputs[i]: self._in_values[i] for i in range(n)}

    def outputs(self):
        """Every output, name to value, as the area holds them now."""
        n = _lib.ioshare_outputs(self._handle(), self._out_values, len(self._outputs))
        return {self._outputs[i]: self._out_values[i] for i in range(n)}

    def close(self):
        """Releases the link; the area stays attached until the process ends."""
        if self._link is not None:
            _lib.ioshare_free(self._link)
            self._link = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        if getattr(self, "_link", None) is not None and _lib is not None:
            self.close()
