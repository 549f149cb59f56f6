"""The token-service client on one configuration file: the 28 operations.

Each method sends one synchronous request on the calling thread, with
failover across the configured servers, and returns a frozen result whose
``code`` is ``ACCEPTED``, ``ARGUMENT_REFUSED``, ``NO_ANSWER`` or the
service's own verdict. A verdict or a network failure is a result code,
never an exception.
"""

from __future__ import annotations

import codecs
import ctypes
import functools
import os
import threading
from collections.abc import Callable
from datetime import datetime
from types import TracebackType

from ._native import (
    ERROR_BYTES,
    EXPIRE_TEXT_BYTES,
    MAX_BIND_ROWS,
    MAX_TIMEOUT_SECONDS,
    RESV_PASSWORD_BYTES,
    BindInfo,
    Options,
    lib,
)
from .results import (
    ACCEPTED,
    ARGUMENT_REFUSED,
    Binding,
    BindingsResult,
    ExpiryResult,
    PasswordResult,
    Result,
    StatusResult,
)

_INT32_MIN = -(2**31)
_INT32_MAX = 2**31 - 1
_EXPIRY_LENGTH = len("YYYY-MM-DD hh:mm:ss")

StrPath = str | os.PathLike[str]
_Values = tuple[int | bytes | None, ...]


class ClientClosedError(ValueError):
    """A call on a client that has been closed."""


class ConfigurationError(OSError):
    """The configuration file could not be read or is not valid."""


class _Args:
    """The arguments of one call, converted for C; notes any it must refuse.

    ctypes would wrap an integer outside 32 bits silently, and a NUL would
    cut a text short, so both are refused like an unencodable text.
    """

    __slots__ = ("encoding", "refused")

    def __init__(self, encoding: str) -> None:
        self.encoding = encoding
        self.refused = False

    def int32(self, value: int) -> int:
        if not _INT32_MIN <= value <= _INT32_MAX:
            self.refused = True
            return 0
        return value

    def required(self, text: str | None) -> bytes | None:
        if text is None:
            self.refused = True
        return self.optional(text)

    def optional(self, text: str | None) -> bytes | None:
        if text is None or self.refused:
            return None
        try:
            data = text.encode(self.encoding)
        except UnicodeEncodeError:
            self.refused = True
            return None
        if b"\0" in data:
            self.refused = True
            return None
        return data


@functools.lru_cache(maxsize=None)
def _fits_c_strings(codec_name: str) -> bool:
    """Whether ASCII stays ASCII, byte for byte, and no character encodes to a NUL byte."""
    try:
        if any(chr(c).encode(codec_name) != bytes((c,)) for c in range(0x80)):
            return False
        # Every other character (the surrogates are none), those it cannot encode left out.
        others = "".join(map(chr, (*range(0x80, 0xD800), *range(0xE000, 0x110000))))
        return b"\0" not in others.encode(codec_name, errors="ignore")
    except (UnicodeError, LookupError):  # LookupError: a codec of bytes, not of texts
        return False


def _checked_encoding(encoding: str) -> str:
    """``encoding`` when texts in it pass through C strings unchanged; ValueError otherwise."""
    name = codecs.lookup(encoding).name  # an unknown encoding raises LookupError here
    if not _fits_c_strings(name):
        raise ValueError(
            f"encoding {encoding!r} cannot be used: ASCII must stay ASCII and no character"
            " may encode to a NUL byte"
        )
    return encoding


def _path_bytes(path: StrPath, what: str) -> bytes:
    """A path as the C library takes it; one holding a NUL would name another file."""
    data = os.fsencode(path)
    if b"\0" in data:
        raise ValueError(f"the {what} path holds a NUL")
    return data


def _timeout_seconds(call_timeout: int | None) -> int:
    """The option's value: 0 keeps the file's time-out."""
    if call_timeout is None:
        return 0
    if (
        isinstance(call_timeout, bool)
        or not isinstance(call_timeout, int)
        or not 1 <= call_timeout <= MAX_TIMEOUT_SECONDS
    ):
        raise ValueError(f"call_timeout must be whole seconds from 1 to {MAX_TIMEOUT_SECONDS}")
    return call_timeout


def _expiry(out: ctypes.Array[ctypes.c_char]) -> datetime | None:
    """The library's "YYYY-MM-DD hh:mm:ss", read by fromisoformat (strptime costs 50 times more)."""
    text = out.value
    if len(text) != _EXPIRY_LENGTH or text[10:11] != b" ":
        return None
    try:
        return datetime.fromisoformat(text.decode("ascii"))
    except (UnicodeDecodeError, ValueError):
        return None


def _field(raw: bytes) -> bytes:
    """A fixed-size text field up to its first NUL."""
    return raw.split(b"\0", 1)[0]


class Client:
    """A client of the token service, reading its servers from one configuration file.

    ``Client(config, log=None, encoding="utf-8", call_timeout=None)`` reads
    ``config`` now and raises :class:`ConfigurationError` when it cannot be
    used; :meth:`from_bytes` takes the configuration's bytes instead. ``log``
    names the file failed attempts are logged to; ``call_timeout`` (whole
    seconds, 1 to 600) bounds each call in place of the file's
    ``CallTimeout``. Texts are sent in ``encoding``
    (a text it cannot encode, a NUL in a text, a ``None`` where a text is
    required or an integer outside 32 bits gives ``ARGUMENT_REFUSED`` and
    nothing is sent) and outputs are decoded with it, malformed bytes as
    U+FFFD. An encoding that changes ASCII or encodes any character to a
    NUL byte (UTF-16, UTF-32) raises :class:`ValueError`, as does a path
    holding a NUL; an unknown encoding raises :class:`LookupError`.

    Any number of threads may call one client at once. Use it as a context
    manager, or call :meth:`close`; after that, calls raise
    :class:`ClientClosedError`.
    """

    def __init__(
        self,
        config: StrPath,
        log: StrPath | None = None,
        encoding: str = "utf-8",
        *,
        call_timeout: int | None = None,
    ) -> None:
        options = Options(size=ctypes.sizeof(Options))
        options.config_path = _path_bytes(config, "configuration")
        self._open(options, log, encoding, call_timeout)

    @classmethod
    def from_bytes(
        cls,
        config: bytes,
        log: StrPath | None = None,
        encoding: str = "utf-8",
        *,
        call_timeout: int | None = None,
    ) -> Client:
        """A client on a configuration given as the bytes of its file (at most 1 MiB).

        Nothing is written back to it; the rest is as for :class:`Client`.
        """
        client = cls.__new__(cls)
        options = Options(size=ctypes.sizeof(Options))
        options.config_data = bytes(config)
        options.config_size = len(config)
        client._open(options, log, encoding, call_timeout)
        return client

    def _open(
        self, options: Options, log: StrPath | None, encoding: str, call_timeout: int | None
    ) -> None:
        self._handle: int | None = None
        self._encoding = _checked_encoding(encoding)
        self._lock = threading.Condition()
        self._busy = 0
        options.log_path = None if log is None else _path_bytes(log, "log")
        options.call_timeout_s = _timeout_seconds(call_timeout)
        error = ctypes.create_string_buffer(ERROR_BYTES)
        handle = lib.zcv_client_open_options(ctypes.byref(options), error, ERROR_BYTES)
        if not handle:
            # The library's configuration messages are GBK, as its log keeps them.
            raise ConfigurationError(error.value.decode("gbk", errors="replace"))
        self._handle = int(handle)

    def close(self) -> None:
        """Wait for the calls in flight, then release the client. Closing again does nothing."""
        with self._lock:
            handle, self._handle = self._handle, None
            while self._busy:
                self._lock.wait()
        if handle is not None:
            lib.zcv_client_close(handle)

    def __enter__(self) -> Client:
        return self

    def __exit__(
        self,
        exc_type: type[BaseException] | None,
        exc: BaseException | None,
        traceback: TracebackType | None,
    ) -> None:
        self.close()

    @property
    def encoding(self) -> str:
        """The encoding texts are sent and outputs read in."""
        return self._encoding

    @property
    def closed(self) -> bool:
        """Whether :meth:`close` has been called."""
        return self._handle is None

    def _enter(self) -> int:
        with self._lock:
            if self._handle is None:
                raise ClientClosedError("the client is closed")
            self._busy += 1
            return self._handle

    def _leave(self) -> None:
        with self._lock:
            self._busy -= 1
            if not self._busy:
                self._lock.notify_all()

    def _decode(self, raw: bytes) -> str:
        return raw.decode(self._encoding, errors="replace")

    def _bindings(self, code: int, count: int, rows: ctypes.Array[BindInfo]) -> BindingsResult:
        if code != ACCEPTED:
            return BindingsResult(code)
        bindings = tuple(
            Binding(
                row.app_no,
                row.app_no2,
                self._decode(_field(bytes(row.account))),
                self._decode(_field(bytes(row.bind_time))),
            )
            for row in rows[: max(0, min(count, MAX_BIND_ROWS))]
        )
        return BindingsResult(code, count, bindings)

    def _run(
        self, args: _Args, function: Callable[..., int], values: _Values, *outputs: object
    ) -> int | None:
        """The C function's result on the client's handle, or None for refused arguments.

        Raises :class:`ClientClosedError` once the client is closed; close() waits for it.
        """
        handle = self._enter()
        try:
            if args.refused:
                return None
            return int(function(handle, *values, *outputs))
        finally:
            self._leave()

    def _result(self, args: _Args, function: Callable[..., int], values: _Values) -> Result:
        code = self._run(args, function, values)
        return Result(ARGUMENT_REFUSED if code is None else code)

    def _expiry_call(
        self, args: _Args, function: Callable[..., int], values: _Values
    ) -> ExpiryResult:
        out = ctypes.create_string_buffer(EXPIRE_TEXT_BYTES)
        code = self._run(args, function, values, out, EXPIRE_TEXT_BYTES)
        if code is None:
            return ExpiryResult(ARGUMENT_REFUSED)
        return ExpiryResult(code, _expiry(out) if code == ACCEPTED else None)

    def _password_call(
        self, args: _Args, function: Callable[..., int], values: _Values
    ) -> PasswordResult:
        out = ctypes.create_string_buffer(RESV_PASSWORD_BYTES)
        code = self._run(args, function, values, out, RESV_PASSWORD_BYTES)
        if code is None:
            return PasswordResult(ARGUMENT_REFUSED)
        if code != ACCEPTED:
            return PasswordResult(code)
        return PasswordResult(code, self._decode(out.value))

    def _rows_call(
        self, args: _Args, function: Callable[..., int], values: _Values
    ) -> BindingsResult:
        count = ctypes.c_int(0)
        rows = (BindInfo * MAX_BIND_ROWS)()
        code = self._run(args, function, values, ctypes.byref(count), rows, MAX_BIND_ROWS)
        if code is None:
            return BindingsResult(ARGUMENT_REFUSED)
        return self._bindings(code, count.value, rows)

    def _status_call(
        self, args: _Args, function: Callable[..., int], values: _Values
    ) -> StatusResult:
        status = ctypes.c_int(0)
        out = ctypes.create_string_buffer(EXPIRE_TEXT_BYTES)
        code = self._run(args, function, values, ctypes.byref(status), out, EXPIRE_TEXT_BYTES)
        if code is None:
            return StatusResult(ARGUMENT_REFUSED)
        if code != ACCEPTED:
            return StatusResult(code)
        return StatusResult(code, status.value, _expiry(out))

    # The operations, each converting its arguments and calling its C function.
    # ---- Generated by tools/bindgen/bindgen.py from the operation table: do not edit.
    def auth(self, card_no: int, dynpasswd: int) -> ExpiryResult:
        """Check a card's one-time password.

        Returns the verdict and, when accepted, the card's expiry.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd))
        return self._expiry_call(a, lib.zcv_auth, values)

    def auth2(self, card_no: int, dynpasswd: int) -> ExpiryResult:
        """Check a card's one-time password on the service's second authentication page.

        Returns the verdict and, when accepted, the card's expiry.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd))
        return self._expiry_call(a, lib.zcv_auth2, values)

    def auth2_next(self, card_no: int, dynpasswd1: int, dynpasswd2: int) -> ExpiryResult:
        """Check two consecutive one-time passwords of a card.

        Returns the verdict and, when accepted, the card's expiry.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd1), a.int32(dynpasswd2))
        return self._expiry_call(a, lib.zcv_auth2_next, values)

    def binding(
        self, card_no: int, dynpasswd: int, app_no: int, app_no2: int, account: str
    ) -> PasswordResult:
        """Bind a card to an account.

        Returns the verdict and, when accepted, the reserved password.

        Texts (required: account) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(dynpasswd),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._password_call(a, lib.zcv_binding, values)

    def binding2(
        self, card_no: int, dynpasswd: int, app_no: int, app_no2: int, account: str
    ) -> PasswordResult:
        """Bind a card to an account on the service's second binding page.

        Returns the verdict and, when accepted, the reserved password.

        Texts (required: account) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(dynpasswd),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._password_call(a, lib.zcv_binding2, values)

    def binding2_next(
        self,
        card_no: int,
        dynpasswd1: int,
        dynpasswd2: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> PasswordResult:
        """Bind a card to an account, proven by two consecutive one-time passwords.

        Returns the verdict and, when accepted, the reserved password.

        Texts (required: account) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._password_call(a, lib.zcv_binding2_next, values)

    def unbinding(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a card's binding to an account.

        Returns the verdict.

        Texts (required: account; may be None: service_no) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.optional(service_no),
            a.int32(dynpasswd),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._result(a, lib.zcv_unbinding, values)

    def unbinding2(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a binding on the service's second unbinding page.

        Returns the verdict.

        Texts (required: account; may be None: service_no) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.optional(service_no),
            a.int32(dynpasswd),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._result(a, lib.zcv_unbinding2, values)

    def unbinding2_next(
        self,
        card_no: int,
        service_no: str | None,
        dynpasswd1: int,
        dynpasswd2: int,
        app_no: int,
        app_no2: int,
        account: str,
    ) -> Result:
        """Remove a binding, proven by two consecutive one-time passwords.

        Returns the verdict.

        Texts (required: account; may be None: service_no) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.optional(service_no),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
        )
        return self._result(a, lib.zcv_unbinding2_next, values)

    def unbinding_ex(self, card_no: int, app_no: int, app_no2: int, account: str) -> Result:
        """Remove a binding without a one-time password.

        Returns the verdict.

        Texts (required: account) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(app_no), a.int32(app_no2), a.required(account))
        return self._result(a, lib.zcv_unbinding_ex, values)

    def unbinding_ex2(
        self, card_no: int, app_no: int, app_no2: int, account: str, resv_password: str
    ) -> Result:
        """Remove a binding, proven by its reserved password.

        Returns the verdict.

        Texts (required: account, resv_password) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(app_no),
            a.int32(app_no2),
            a.required(account),
            a.required(resv_password),
        )
        return self._result(a, lib.zcv_unbinding_ex2, values)

    def enable(
        self,
        service_no: str | None,
        dynpasswd: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> ExpiryResult:
        """Put a card into service and record its holder's profile.

        Returns the verdict and, when accepted, the card's expiry.

        Texts (may be None: service_no, user_name, id, mobile, tel, post, email, address) are sent
        in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.optional(service_no),
            a.int32(dynpasswd),
            a.optional(user_name),
            a.int32(id_type),
            a.optional(id),
            a.optional(mobile),
            a.optional(tel),
            a.optional(post),
            a.optional(email),
            a.optional(address),
        )
        return self._expiry_call(a, lib.zcv_enable, values)

    def enable_next(
        self,
        service_no: str | None,
        dynpasswd1: int,
        dynpasswd2: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> ExpiryResult:
        """Put a card into service, proven by two consecutive one-time passwords.

        Returns the verdict and, when accepted, the card's expiry.

        Texts (may be None: service_no, user_name, id, mobile, tel, post, email, address) are sent
        in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.optional(service_no),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
            a.optional(user_name),
            a.int32(id_type),
            a.optional(id),
            a.optional(mobile),
            a.optional(tel),
            a.optional(post),
            a.optional(email),
            a.optional(address),
        )
        return self._expiry_call(a, lib.zcv_enable_next, values)

    def disable(
        self,
        card_no: int,
        service_no: str,
        id_code: str,
        app_no: int,
        app_no2: int,
        account: str | None,
        operator_name: str | None,
    ) -> Result:
        """Take a card out of service.

        Returns the verdict.

        Texts (required: service_no, id_code; may be None: account, operator_name) are sent in the
        client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.required(service_no),
            a.required(id_code),
            a.int32(app_no),
            a.int32(app_no2),
            a.optional(account),
            a.optional(operator_name),
        )
        return self._result(a, lib.zcv_disable, values)

    def loss(
        self,
        card_no: int,
        service_no: str,
        type: int,
        app_no: int,
        app_no2: int,
        account: str | None,
        operator_name: str | None,
    ) -> Result:
        """Report a card lost.

        Returns the verdict.

        Texts (required: service_no; may be None: account, operator_name) are sent in the client's
        encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.required(service_no),
            a.int32(type),
            a.int32(app_no),
            a.int32(app_no2),
            a.optional(account),
            a.optional(operator_name),
        )
        return self._result(a, lib.zcv_loss, values)

    def unloss(
        self, card_no: int, service_no: str, dynpasswd: int, operator_name: str | None
    ) -> Result:
        """Withdraw a card's loss report.

        Returns the verdict.

        Texts (required: service_no; may be None: operator_name) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.required(service_no),
            a.int32(dynpasswd),
            a.optional(operator_name),
        )
        return self._result(a, lib.zcv_unloss, values)

    def unloss_next(
        self,
        card_no: int,
        service_no: str,
        dynpasswd1: int,
        dynpasswd2: int,
        operator_name: str | None,
    ) -> Result:
        """Withdraw a loss report, proven by two consecutive one-time passwords.

        Returns the verdict.

        Texts (required: service_no; may be None: operator_name) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.required(service_no),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
            a.optional(operator_name),
        )
        return self._result(a, lib.zcv_unloss_next, values)

    def bind_info_query(self, card_no: int, dynpasswd: int) -> BindingsResult:
        """List the accounts a card is bound to.

        Returns the verdict and, when accepted, the row count and up to ten bindings.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd))
        return self._rows_call(a, lib.zcv_bind_info_query, values)

    def bind_info_query_next(
        self, card_no: int, dynpasswd1: int, dynpasswd2: int
    ) -> BindingsResult:
        """List a card's bindings, proven by two consecutive one-time passwords.

        Returns the verdict and, when accepted, the row count and up to ten bindings.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd1), a.int32(dynpasswd2))
        return self._rows_call(a, lib.zcv_bind_info_query_next, values)

    def status(self, card_no: int) -> StatusResult:
        """Ask for a card's status and expiry.

        Returns the verdict and, when accepted, the card's status and expiry.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no),)
        return self._status_call(a, lib.zcv_status, values)

    def change(
        self, card_no_old: int, service_no_old: str, service_no_new: str, dynpasswd: int
    ) -> Result:
        """Replace a card by a new one.

        Returns the verdict.

        Texts (required: service_no_old, service_no_new) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no_old),
            a.required(service_no_old),
            a.required(service_no_new),
            a.int32(dynpasswd),
        )
        return self._result(a, lib.zcv_change, values)

    def change_next(
        self,
        card_no_old: int,
        service_no_old: str,
        service_no_new: str,
        dynpasswd1: int,
        dynpasswd2: int,
    ) -> Result:
        """Replace a card, proven by two consecutive one-time passwords.

        Returns the verdict.

        Texts (required: service_no_old, service_no_new) are sent in the client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no_old),
            a.required(service_no_old),
            a.required(service_no_new),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
        )
        return self._result(a, lib.zcv_change_next, values)

    def modify_info(
        self,
        card_no: int,
        dynpasswd: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> Result:
        """Change the holder's profile.

        Returns the verdict.

        Texts (may be None: user_name, id, mobile, tel, post, email, address) are sent in the
        client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(dynpasswd),
            a.optional(user_name),
            a.int32(id_type),
            a.optional(id),
            a.optional(mobile),
            a.optional(tel),
            a.optional(post),
            a.optional(email),
            a.optional(address),
        )
        return self._result(a, lib.zcv_modify_info, values)

    def modify_info_next(
        self,
        card_no: int,
        dynpasswd1: int,
        dynpasswd2: int,
        user_name: str | None,
        id_type: int,
        id: str | None,
        mobile: str | None,
        tel: str | None,
        post: str | None,
        email: str | None,
        address: str | None,
    ) -> Result:
        """Change the holder's profile, proven by two consecutive one-time passwords.

        Returns the verdict.

        Texts (may be None: user_name, id, mobile, tel, post, email, address) are sent in the
        client's encoding.
        """
        a = _Args(self._encoding)
        values = (
            a.int32(card_no),
            a.int32(dynpasswd1),
            a.int32(dynpasswd2),
            a.optional(user_name),
            a.int32(id_type),
            a.optional(id),
            a.optional(mobile),
            a.optional(tel),
            a.optional(post),
            a.optional(email),
            a.optional(address),
        )
        return self._result(a, lib.zcv_modify_info_next, values)

    def bind_esale(self, card_no: int, dynpasswd: int) -> PasswordResult:
        """Link the card to the e-sale account kind.

        Returns the verdict and, when accepted, the reserved password.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd))
        return self._password_call(a, lib.zcv_bind_esale, values)

    def bind_esale_next(self, card_no: int, dynpasswd1: int, dynpasswd2: int) -> PasswordResult:
        """Link the card to the e-sale account kind with two consecutive one-time passwords.

        Returns the verdict and, when accepted, the reserved password.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd1), a.int32(dynpasswd2))
        return self._password_call(a, lib.zcv_bind_esale_next, values)

    def bind_other(self, card_no: int, dynpasswd: int) -> PasswordResult:
        """Link the card to a further account kind.

        Returns the verdict and, when accepted, the reserved password.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd))
        return self._password_call(a, lib.zcv_bind_other, values)

    def bind_other_next(self, card_no: int, dynpasswd1: int, dynpasswd2: int) -> PasswordResult:
        """Link the card to a further account kind with two consecutive one-time passwords.

        Returns the verdict and, when accepted, the reserved password.
        """
        a = _Args(self._encoding)
        values = (a.int32(card_no), a.int32(dynpasswd1), a.int32(dynpasswd2))
        return self._password_call(a, lib.zcv_bind_other_next, values)
    # ---- End of the generated operations.
