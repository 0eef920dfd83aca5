"""The Tessaly evaluation board from Python, on Larkspur's core.

    import larkspur
    with larkspur.Board(port=None, interface="iic", address=76) as evm:
        evm.write(0x11, 0x05)
        print(evm.read(0x10, 10), evm.registers[0x10:0x1A])
        evm["DAC L"] = -12.5              # fields by caption or name, typed values
        assert evm["DAC L"] == -12.5 and "DAC L" in evm

A measurement loop as a test, on the virtual board (pytest -p larkspur.pytest_plugin):

    def test_attenuation_steps(evm):       # the fixture: a Board on the virtual EVM
        for db in (0.0, -6.0, -12.5, -63.0):
            evm["DAC L"] = db
            assert evm["DAC L"] == db
            assert evm.registers[0x18] == 255 - int(-db * 2)

Field values are bool (check boxes), float dB (attenuations) or the item's text (lists); an
unknown field raises KeyError. Link failures raise LinkError (LinkTimeout, also a TimeoutError,
when the board did not answer) with ``code`` a ReadResult or WriteResult; a missing script
ScriptNotFoundError, also a FileNotFoundError.

The link library holds one port per process: one Board may be open at a time. To drive
several boards, use one process per board (for example with multiprocessing). One Board may be
used from several threads: its calls run one at a time, each waiting for the one before it
(without holding the GIL).
"""

from __future__ import annotations

import collections
import logging
import os
import warnings
import enum
from typing import Dict, Iterator, List, Optional, Sequence, Tuple, Union, overload

from . import _larkspur

# Every register operation of a Board, at DEBUG: a lab's own logging takes it without a file.
_log = logging.getLogger("larkspur")

__version__ = _larkspur.VERSION

__all__ = [
    "Board",
    "Change",
    "Error",
    "Field",
    "LinkError",
    "LinkTimeout",
    "ReadResult",
    "ScriptNotFoundError",
    "NoBoardError",
    "Port",
    "ScriptError",
    "WriteResult",
    "diff",
    "export",
    "fields",
    "ports",
]


class Error(Exception):
    """Every failure of the board or its link."""


class NoBoardError(Error):
    """No board answered, or the link library cannot be loaded.

    ``details`` holds the lines that say what stands behind each port, or, when the library
    cannot be loaded ("Cannot load DLL"), the file looked for and each place it was looked in."""

    def __init__(self, message: str, details: Sequence[str] = ()):
        super().__init__("\n".join([message, *details]) if details else message)
        self.details = list(details)


class LinkError(Error):
    """A transaction failed: ``code`` is the link library's result, ``step`` the call
    ("read", "write" or "board write") and ``register`` the register it addressed."""

    def __init__(self, message: str, code: int, step: str, register: int):
        super().__init__(message)
        self.code = code
        self.step = step
        self.register = register


class ReadResult(enum.IntEnum):
    """A read's result codes, as ``LinkError.code`` carries them when ``step`` is "read"."""

    NOT_SENT = 1  # the request did not go out (the port took nothing)
    NO_ACKNOWLEDGEMENT = 2  # nothing came back: board off, unplugged, wrong port or speed
    WRONG_ACKNOWLEDGEMENT = 3  # bytes came, but no acknowledgement: noise, another program
    NO_REPLY = 4  # acknowledged, but no reply frame of this request: a late or torn answer
    CLOSE_NOT_SENT = 5  # the closing acknowledgement did not go out


class WriteResult(enum.IntEnum):
    """A write's result codes, as ``LinkError.code`` carries them when ``step`` is "write" or
    "board write"."""

    NOT_SENT = 1
    NO_ACKNOWLEDGEMENT = 2
    NO_REPLY = 3  # acknowledged, but the write's reply frame did not come or was not its own
    CLOSE_NOT_SENT = 4


class LinkTimeout(LinkError, TimeoutError):
    """A board that did not acknowledge the request in time (code 2)."""


class ScriptError(Error):
    """A register script that is not there, or a line that is no script line."""

    def __init__(self, path: str, line: int, message: str):
        super().__init__(f"{path}:{line}: {message}" if line else f"{path}: {message}")
        self.path = path
        self.line = line
        self.message = message


class ScriptNotFoundError(ScriptError, FileNotFoundError):
    """A script (or a snapshot to compare or export) that is not there: both a ScriptError
    and a FileNotFoundError."""

    def __init__(self, path: str, line: int = 0, message: str = "File not exist."):
        ScriptError.__init__(self, path, line, message)
        self.filename = path


Field = collections.namedtuple(
    "Field", ["name", "caption", "register", "shift", "width", "choices", "settable"]
)
Field.__doc__ = """A bit-field of the codec, as the control panel binds it. ``choices`` is a
tuple: ("on", "off"), a list's items, or the attenuation's range in dB."""

# The kind of each field by name: what its value's Python type is.
_KINDS = {row[0]: row[7] for row in _larkspur.fields()}

Port = collections.namedtuple("Port", ["number", "path", "state", "detail"])
Port.__doc__ = "A port of the link library's table and what stands behind it."

_INTERFACES = {"iic": _larkspur.INTERFACE_IIC, "i2c": _larkspur.INTERFACE_IIC,
               "spi": _larkspur.INTERFACE_SPI}


def fields() -> List[Field]:
    """Every field of the codec's control catalogue."""
    return [Field(*row[:5], tuple(row[5].split("|")), row[6]) for row in _larkspur.fields()]


def _field_name(key) -> str:
    """The name of the field `key` names (a name or caption); KeyError when none does."""
    if not isinstance(key, str):
        raise TypeError(f"a field is named by its name or caption (str), not {type(key).__name__}")
    name, alike = _larkspur.find_field(key)
    if name is not None:
        return name
    if alike:
        raise ValueError(f"'{key}' names several fields: {', '.join(alike)}")
    raise KeyError(key)


def _no_board(lines: Sequence[str], fallback: str) -> "NoBoardError":
    """The error for a session's NoBoard lines: the message names the library's file when it
    is the library that could not be loaded (the lines after say where it was looked for)."""
    message = lines[0] if lines else fallback
    if message in ("Cannot load DLL", "Invalid DLL"):
        message += f": Sundial's link library {_larkspur.LIBRARY_FILE}"
        message += " was not found" if message.startswith("Cannot") else " lacks its entries"
    return NoBoardError(message, lines[1:])


def ports(include_absent: bool = False) -> List[Port]:
    """Every port of the link library's table, free ones probed for a board. Raises
    NoBoardError when a free port is there to probe and the library cannot be loaded."""
    session = _larkspur.Session()
    try:
        status, rows, lines = session.ports(include_absent)
    except RuntimeError as error:
        raise Error(str(error)) from None
    if status != _larkspur.DONE:
        raise _no_board(lines, "Cannot load DLL")
    return [Port(*row) for row in rows]


# What one call came to: its status, the lines it reported, its failed transaction.
_Outcome = Tuple[int, List[str], Optional[Tuple[str, int, int]]]


Change = collections.namedtuple("Change", "field caption old new")
Change.__doc__ = """One difference of two setups: the field's name and caption, and its value in
each, typed as the field is: bool for a check box, the item's text for a list or radio group,
float dB for an attenuation. Bits outside any field come last, with ``field`` None, the caption
"0x15 bits 0x01", and the bits of each as ints."""

Setup = Union[str, "os.PathLike[str]", Dict[int, int], Sequence[int]]


def _image(setup: Setup) -> List[int]:
    """The ten registers of a snapshot or history file, a snapshot dict or a list of ten."""
    if isinstance(setup, dict):
        return [setup[register] for register in range(0x10, 0x1A)]
    if isinstance(setup, (str, os.PathLike)):
        values, failure = _larkspur.image(_script(setup))
        if values is None:
            raise ScriptError(*failure)
        return values
    return [int(value) for value in setup]


def _typed(kind: int, item: int, text: str):
    if kind == _larkspur.KIND_CHECK_BOX:
        return item != 0
    if kind == _larkspur.KIND_TRACK:
        return float(text)
    return text


def diff(a: Setup, b: Setup) -> List[Change]:
    """What differs from setup ``a`` to setup ``b``: each a snapshot or history file (played
    into the registers from the codec's defaults, without a board), a ``Board.snapshot()``
    dict or a list of the ten register values."""
    fields, bits = _larkspur.diff(_image(a), _image(b))
    changes = [Change(name, caption, _typed(kind, old, old_text), _typed(kind, new, new_text))
               for name, caption, kind, old, new, old_text, new_text in fields]
    changes += [Change(None, f"0x{register:02X} bits 0x{mask:02X}", old, new)
                for register, mask, old, new in bits]
    return changes


def export(setup: Setup, format: str = "c") -> str:
    """The setup for firmware, as ``larkspur-cli export`` gives it: ``"c"`` a C header with the
    codec's register and field definitions and an initialisation table, ``"linux"`` the
    ``reg_sequence`` and ``reg_default`` tables of an ASoC codec driver's regmap, ``"json"``
    registers and fields with their values. ``setup`` as for :func:`diff`."""
    return _larkspur.export(_image(setup), format)


def _script(path) -> str:
    """A script or setup file's path; ScriptNotFoundError when nothing is there."""
    path = os.fspath(path)
    if not os.path.exists(path):
        raise ScriptNotFoundError(path)
    return path


def _raise_for(outcome: _Outcome) -> None:
    """Raises LinkError when the call the outcome is of failed on the link."""
    status, lines, failure = outcome
    if status == _larkspur.DONE:
        return
    step, code, register = failure if failure else ("", 0, 0)
    codes = ReadResult if step == "read" else WriteResult
    if code in codes.__members__.values():
        code = codes(code)
    kind = LinkTimeout if code == 2 else LinkError
    raise kind(lines[0] if lines else f"the {step} failed with code {code}", code, step,
               register)


def _interface(name: str) -> int:
    try:
        return _INTERFACES[name.lower()]
    except (KeyError, AttributeError):
        raise ValueError(f"--interface is iic or spi, not '{name}'") from None


def _byte(value: int, what: str = "value") -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    if not 0 <= value <= 255:
        raise ValueError(f"{what} '{value}' is not 0 to 255")
    return value


def _register(value: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"register must be an int, not {type(value).__name__}")
    if not 0 <= value <= 0xFF:
        raise ValueError(f"register '{value}' is not 0 to 0xFF")
    return value


def _shown(value) -> str:
    """A call's argument or result as the DEBUG log gives it: numbers in hex as registers are."""
    if isinstance(value, bool) or not isinstance(value, (int, list, tuple)):
        return repr(value)
    if isinstance(value, int):
        return f"0x{value:02X}"
    inner = ", ".join(_shown(item) for item in value)
    return f"[{inner}]" if isinstance(value, list) else f"({inner})"


class Board:
    """A connected board. Use it in a ``with`` block, which opens the link and closes it
    again however the block ends.

    ``port``: None for the search, a port number of the library's table, a device path or a
    URL (``tcp://HOST:PORT``, ``rfc2217://HOST:PORT``). ``interface``: "iic" or "spi";
    ``address``: 76 to 79 over IIC, 0 to 3 over SPI. Unset ones come from Larkspur.ini.
    ``trace``: a file the link library appends its trace of every frame and call to, from
    ``open()`` on (``"-"``: standard error; the README's "The link's trace" gives the format).
    Every register operation is also logged at DEBUG on the ``larkspur`` logger.

    Each call has its own outcome: after one that failed, the next goes to the board as any
    other, and an error names the call that failed. Threads may share a Board: its calls run one
    at a time, each waiting (without holding the GIL) for the one before it to end."""

    def __init__(self, port: Union[None, int, str] = None, interface: Optional[str] = None,
                 address: Optional[int] = None, trace: Union[None, str, os.PathLike] = None):
        self._session = _larkspur.Session()
        self._trace = None if trace is None else os.fspath(trace)
        if port is not None and not isinstance(port, (int, str)) or isinstance(port, bool):
            raise TypeError(f"port must be None, an int or a str, not {type(port).__name__}")
        self._port = "" if port is None else str(port)
        self._interface = None if interface is None else _interface(interface)
        self._address = address
        self._closed = False
        self._interface_name = interface

    def __repr__(self) -> str:
        port = "the search" if not self._port else repr(self._port)
        state = "closed" if self._closed else "open" if self._session.is_open() else "not open"
        interface = self._interface_name or "Larkspur.ini"
        address = "Larkspur.ini" if self._address is None else self._address
        return (f"<larkspur.Board port={port} interface={interface} address={address} "
                f"{state}>")

    # The link -----------------------------------------------------------------------------

    def open(self) -> "Board":
        """Opens the link (the board set-up is not sent)."""
        if self._closed:
            raise Error("this Board was closed; make a new one")
        if self._session.is_open():
            return self
        self._warn(self._session.select(self._interface, self._address))
        # The library reads the variable when it opens the port; other Boards keep theirs.
        before = os.environ.get("SUNDIAL_TRACE")
        if self._trace is not None:
            os.environ["SUNDIAL_TRACE"] = self._trace
        try:
            status, lines = self._session.open(self._port)
        except RuntimeError as error:
            raise Error(str(error)) from None
        finally:
            if self._trace is not None:
                if before is None:
                    del os.environ["SUNDIAL_TRACE"]
                else:
                    os.environ["SUNDIAL_TRACE"] = before
        _log.debug("open(%r) -> %s", self._port, "done" if status == _larkspur.DONE else lines)
        if status != _larkspur.DONE:
            raise _no_board(lines, "No EVM was found")
        return self

    def close(self) -> None:
        """Closes the link; later calls raise."""
        self._session.close()
        self._closed = True

    def __enter__(self) -> "Board":
        return self.open()

    def __exit__(self, *exc) -> None:
        self.close()

    def _call(self, name: str, *args):
        """The session's call `name`, on the open link; its result."""
        if self._closed:
            raise Error("the Board is closed")
        try:
            result = getattr(self._session, name)(*args)
        except RuntimeError as error:  # not open, or closed by another thread meanwhile
            raise Error(str(error)) from None
        if _log.isEnabledFor(logging.DEBUG):
            _log.debug("%s(%s) -> %s", name, ", ".join(_shown(arg) for arg in args),
                       _shown(result))
        return result

    @staticmethod
    def _warn(lines: List[str]) -> None:
        for line in lines:
            warnings.warn(line, RuntimeWarning, stacklevel=3)

    # Registers ----------------------------------------------------------------------------

    @overload
    def read(self, register: int) -> int: ...

    @overload
    def read(self, register: int, count: int) -> List[int]: ...

    def read(self, register: int, count: Optional[int] = None) -> Union[int, List[int]]:
        """One register's value, or a list of ``count`` values from ``register`` on."""
        first = _register(register)
        n = 1 if count is None else count
        if isinstance(n, bool) or not isinstance(n, int):
            raise TypeError(f"count must be an int, not {type(n).__name__}")
        if not 1 <= n <= 255:
            raise ValueError("count must be 1 to 255")
        if first + n - 1 > 0xFF:
            raise ValueError(f"{n} registers from '0x{first:02X}' go beyond 0xFF")
        registers, outcome = self._call("read", first, n)
        _raise_for(outcome)
        values = [value for _, value in registers]
        return values[0] if count is None else values

    def write(self, register: int, values: Union[int, Sequence[int]]) -> None:
        """Writes one value, or a sequence of values to consecutive registers; an empty
        sequence is refused."""
        first = _register(register)
        data = [values] if isinstance(values, int) else list(values)
        data = [_byte(value) for value in data]
        if first + len(data) - 1 > 0xFF:
            raise ValueError(f"{len(data)} registers from '0x{first:02X}' go beyond 0xFF")
        _raise_for(self._call("write", first, data))

    def snapshot(self) -> Dict[int, int]:
        """The codec's ten registers, read now."""
        registers, outcome = self._call("snapshot")
        _raise_for(outcome)
        return dict(registers)

    def diff(self, path: Union[str, "os.PathLike[str]"]) -> List[Change]:
        """What differs from the snapshot (or history) file to the codec as it is now."""
        return diff(path, self.snapshot())

    def export(self, format: str = "c") -> str:
        """The codec's setup as it is now, for firmware (see :func:`larkspur.export`)."""
        return export(self.snapshot(), format)

    def run_script(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Runs a register script; stops at the first line the board did not take. A script
        that is not there raises ScriptNotFoundError, a ScriptError and a FileNotFoundError."""
        outcome, where = self._call("run_script", _script(path), False)
        if outcome[0] == _larkspur.FILE_ERROR:
            raise ScriptError(*where)
        _raise_for(outcome)

    # Fields -------------------------------------------------------------------------------

    @property
    def fields(self) -> List[Field]:
        """Every field of the codec's control catalogue."""
        return fields()

    @property
    def registers(self) -> "Registers":
        """The codec's registers as a sequence view: ``registers[0x11]`` reads one,
        ``registers[0x10:0x1A]`` reads a range, assignment writes."""
        return Registers(self)

    def __getitem__(self, key: str) -> Union[bool, float, str]:
        """A field's value, by caption or name, typed as the field is: a bool for a check box,
        a float in dB for an attenuation, the item's text for a list or radio group. KeyError
        for a name that is no field's, TypeError for a key that is no str."""
        name = _field_name(key)
        value, outcome = self._call("get_field", name)
        _raise_for(outcome)
        text = value[0]
        return _typed(_KINDS[name], 1 if text == "on" else 0, text)

    def __contains__(self, key: object) -> bool:
        if not isinstance(key, str):
            return False
        return _larkspur.find_field(key)[0] is not None

    def __iter__(self) -> Iterator[str]:
        return iter(self.keys())

    def keys(self) -> List[str]:
        """The fields' names, in the catalogue's order."""
        return [field.name for field in fields()]

    def __setitem__(self, key: str, value: Union[str, int, float, bool]) -> None:
        """Sets a field: a list item's text or number, on/off (or a bool), dB for attenuation.
        An attenuation between two of the codec's steps is set to the one with more attenuation,
        which is logged on the "larkspur" logger at INFO ("DAC L: -55.3 dB set as -55.5 dB")."""
        if isinstance(value, bool):
            text = "on" if value else "off"
        elif isinstance(value, (int, float, str)):
            text = str(value)
        else:
            raise TypeError(f"a field takes a str, int, float or bool, not {type(value).__name__}")
        name = _field_name(key)
        written, outcome = self._call("set_field", name, text)
        _raise_for(outcome)
        if written is not None and _KINDS[name] == _larkspur.KIND_TRACK:
            try:
                moved = float(text) != float(written)
            except ValueError:
                moved = False
            if moved:
                _log.info("%s: %s dB set as %s dB", key, text, written)

    def flags(self) -> Tuple[bool, bool]:
        """The zero-detect flags ZERO1 and ZERO2."""
        zero, outcome = self._call("flags")
        _raise_for(outcome)
        return tuple(zero)

    def reset(self, which: str) -> None:
        """The codec's resets: "master" (MRST) or "sync" (SRST)."""
        _raise_for(self._call("reset", which))


class Registers:
    """The codec's registers of a Board, by address: an int reads or writes one, a slice (step
    1) a range of them in one call each."""

    def __init__(self, board: Board):
        self._board = board

    @staticmethod
    def _range(key: slice) -> Tuple[int, int]:
        if key.step not in (None, 1) or key.start is None or key.stop is None:
            raise ValueError("a register range is [first:stop] with both ends and step 1")
        return key.start, key.stop - key.start

    def __getitem__(self, key: Union[int, slice]) -> Union[int, List[int]]:
        if isinstance(key, slice):
            first, count = self._range(key)
            return self._board.read(first, count)
        if isinstance(key, bool) or not isinstance(key, int):
            raise TypeError(f"registers are read by an int or a slice, not {type(key).__name__}")
        return self._board.read(key)

    def __setitem__(self, key: Union[int, slice], value: Union[int, Sequence[int]]) -> None:
        if isinstance(key, slice):
            first, count = self._range(key)
            values = list(value)  # type: ignore[arg-type]
            if len(values) != count:
                raise ValueError(f"{count} registers take {count} values, not {len(values)}")
            self._board.write(first, values)
            return
        if isinstance(key, bool) or not isinstance(key, int):
            raise TypeError(f"registers are written by an int or a slice, not {type(key).__name__}")
        self._board.write(key, value)
