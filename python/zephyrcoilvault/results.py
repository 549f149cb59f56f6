"""The immutable results of the client's operations."""

from __future__ import annotations

from dataclasses import dataclass
from datetime import datetime

ACCEPTED = 9999
"""The service accepted the request."""
ARGUMENT_REFUSED = 1011
"""An argument was refused; nothing was sent."""
NO_ANSWER = 1012
"""No server gave a usable answer, or authentication is paused after repeated failures."""


@dataclass(frozen=True, slots=True)
class Result:
    """The result of an operation without outputs.

    ``code`` is ``ACCEPTED``, ``ARGUMENT_REFUSED``, ``NO_ANSWER`` or any
    other value exactly as the service sent it.
    """

    code: int

    @property
    def accepted(self) -> bool:
        """Whether the service accepted the request."""
        return self.code == ACCEPTED


@dataclass(frozen=True, slots=True)
class ExpiryResult(Result):
    """The result of an authentication or an enable: the card's expiry.

    ``expiry`` is the card's expiry in local time (naive), set when the
    request was accepted.
    """

    expiry: datetime | None = None


@dataclass(frozen=True, slots=True)
class PasswordResult(Result):
    """The result of a binding or an account link: its reserved password.

    ``reserved_password`` (at most six characters) is set when the request
    was accepted.
    """

    reserved_password: str | None = None


@dataclass(frozen=True, slots=True)
class Binding:
    """One account a card is bound to.

    ``account`` and ``bind_time`` are the service's texts, at most 20 bytes
    each before decoding.
    """

    app_no: int
    app_no2: int
    account: str
    bind_time: str


@dataclass(frozen=True, slots=True)
class BindingsResult(Result):
    """The result of a binding information query.

    ``row_count`` is the number of bindings the service reported (0 unless
    accepted); ``bindings`` holds the first of them, at most ten.
    """

    row_count: int = 0
    bindings: tuple[Binding, ...] = ()


@dataclass(frozen=True, slots=True)
class StatusResult(Result):
    """The result of a card status query.

    ``card_status`` (as the service numbers it) and ``expiry`` are set when
    the request was accepted.
    """

    card_status: int | None = None
    expiry: datetime | None = None
