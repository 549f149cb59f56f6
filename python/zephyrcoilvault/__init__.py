"""Python client of the one-time-password token service, over the zephyrcoilvault library.

>>> from zephyrcoilvault import Client
>>> with Client("cfgfile.ini") as client:          # doctest: +SKIP
...     result = client.auth(1001, 123456)
...     if result.accepted:
...         print("valid until", result.expiry)
"""

from .aio import AsyncClient
from .client import Client, ClientClosedError, ConfigurationError
from .results import (
    ACCEPTED,
    ARGUMENT_REFUSED,
    NO_ANSWER,
    Binding,
    BindingsResult,
    ExpiryResult,
    PasswordResult,
    Result,
    StatusResult,
)

__all__ = [
    "ACCEPTED",
    "ARGUMENT_REFUSED",
    "NO_ANSWER",
    "AsyncClient",
    "Binding",
    "BindingsResult",
    "Client",
    "ClientClosedError",
    "ConfigurationError",
    "ExpiryResult",
    "PasswordResult",
    "Result",
    "StatusResult",
]
