"""The library's C interface through ctypes: loading it and its prototypes.

The library is ``libzephyrcoilvault.so.1`` from the system's library path,
or the file that the environment variable ``ZEPHYRCOILVAULT_LIBRARY`` names.
"""

from __future__ import annotations

import ctypes
import os
import sys

EXPIRE_TEXT_BYTES = 20
RESV_PASSWORD_BYTES = 7
MAX_BIND_ROWS = 10
ERROR_BYTES = 256


class BindInfo(ctypes.Structure):
    """One binding row as the C interface writes it (52 bytes)."""

    _fields_ = [
        ("reserved", ctypes.c_int),
        ("app_no", ctypes.c_int),
        ("app_no2", ctypes.c_int),
        ("account", ctypes.c_char * 20),
        ("bind_time", ctypes.c_char * 20),
    ]


def _library_name() -> str:
    override = os.environ.get("ZEPHYRCOILVAULT_LIBRARY")
    if override:
        return override
    if sys.platform == "win32":
        return "zephyrcoilvault.dll"
    return "libzephyrcoilvault.so.1"


_H = ctypes.c_void_p
_I = ctypes.c_int
_T = ctypes.c_char_p
_SIZE = ctypes.c_size_t
_OUT = ctypes.POINTER(ctypes.c_char)
_INT_OUT = ctypes.POINTER(ctypes.c_int)
_ROWS = ctypes.POINTER(BindInfo)
_TEXT_OUT: list[type] = [_OUT, _SIZE]
_PROFILE: list[type] = [_T, _I, _T, _T, _T, _T, _T, _T]

# Each operation's parameters after the client handle; all return unsigned.
_OPERATIONS: dict[str, list[type]] = {
    "zcv_auth": [_I, _I, *_TEXT_OUT],
    "zcv_auth2": [_I, _I, *_TEXT_OUT],
    "zcv_auth2_next": [_I, _I, _I, *_TEXT_OUT],
    "zcv_binding": [_I, _I, _I, _I, _T, *_TEXT_OUT],
    "zcv_binding2": [_I, _I, _I, _I, _T, *_TEXT_OUT],
    "zcv_binding2_next": [_I, _I, _I, _I, _I, _T, *_TEXT_OUT],
    "zcv_unbinding": [_I, _T, _I, _I, _I, _T],
    "zcv_unbinding2": [_I, _T, _I, _I, _I, _T],
    "zcv_unbinding2_next": [_I, _T, _I, _I, _I, _I, _T],
    "zcv_unbinding_ex": [_I, _I, _I, _T],
    "zcv_unbinding_ex2": [_I, _I, _I, _T, _T],
    "zcv_enable": [_T, _I, *_PROFILE, *_TEXT_OUT],
    "zcv_enable_next": [_T, _I, _I, *_PROFILE, *_TEXT_OUT],
    "zcv_disable": [_I, _T, _T, _I, _I, _T, _T],
    "zcv_loss": [_I, _T, _I, _I, _I, _T, _T],
    "zcv_unloss": [_I, _T, _I, _T],
    "zcv_unloss_next": [_I, _T, _I, _I, _T],
    "zcv_bind_info_query": [_I, _I, _INT_OUT, _ROWS, _SIZE],
    "zcv_bind_info_query_next": [_I, _I, _I, _INT_OUT, _ROWS, _SIZE],
    "zcv_status": [_I, _INT_OUT, *_TEXT_OUT],
    "zcv_change": [_I, _T, _T, _I],
    "zcv_change_next": [_I, _T, _T, _I, _I],
    "zcv_modify_info": [_I, _I, *_PROFILE],
    "zcv_modify_info_next": [_I, _I, _I, *_PROFILE],
    "zcv_bind_esale": [_I, _I, *_TEXT_OUT],
    "zcv_bind_esale_next": [_I, _I, _I, *_TEXT_OUT],
    "zcv_bind_other": [_I, _I, *_TEXT_OUT],
    "zcv_bind_other_next": [_I, _I, _I, *_TEXT_OUT],
}


def _load() -> ctypes.CDLL:
    lib = ctypes.CDLL(_library_name())
    lib.zcv_version.argtypes = []
    lib.zcv_version.restype = ctypes.c_char_p
    lib.zcv_client_open.argtypes = [_T, _T, ctypes.c_uint, _OUT, _SIZE]
    lib.zcv_client_open.restype = _H
    lib.zcv_client_close.argtypes = [_H]
    lib.zcv_client_close.restype = None
    for name, params in _OPERATIONS.items():
        function = getattr(lib, name)
        function.argtypes = [_H, *params]
        function.restype = ctypes.c_uint
    return lib


lib = _load()
