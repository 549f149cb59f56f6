"""Client and AsyncClient against the bundled simulator: every operation
with its outputs, encodings, threads, asyncio, two clients, and close."""

from __future__ import annotations

import asyncio
import socket
import time
from concurrent.futures import ThreadPoolExecutor
from datetime import datetime
from pathlib import Path

import pytest
from conftest import Simulator, otp

from zephyrcoilvault import (
    ACCEPTED,
    ARGUMENT_REFUSED,
    NO_ANSWER,
    AsyncClient,
    Client,
    ClientClosedError,
    ConfigurationError,
    ExpiryResult,
    PasswordResult,
    Result,
)

EXPIRY = datetime(2030, 1, 1)  # the tests run with TZ=UTC
ENABLED, DISABLED = 1, 2
CARD_LOST, UNKNOWN_CARD, BINDING_NOT_FOUND = 2004, 2001, 2009


def ok(result: Result) -> None:
    assert result.code == ACCEPTED, result
    assert result.accepted


def expires(result: ExpiryResult) -> None:
    ok(result)
    assert result.expiry == EXPIRY


def password(result: PasswordResult) -> str:
    ok(result)
    assert result.reserved_password is not None and len(result.reserved_password) == 6
    return result.reserved_password


def enabled_client(sim: Simulator, encoding: str = "utf-8") -> Client:
    sim.add_card(1001, "SN-1001")
    client = Client(sim.start(), encoding=encoding)
    ok(client.enable("SN-1001", otp(), None, 0, None, None, None, None, None, None))
    return client


def test_every_operation_with_its_outputs(sim: Simulator, tmp_path: Path) -> None:
    for card in (1001, 1002, 1003, 1004):
        sim.add_card(card, f"SN-{card}")
    with Client(sim.start(), log=tmp_path / "log.txt") as c:
        expires(c.enable("SN-1001", otp(), "Ann%20Lee", 1, "ID-1", None, None, None, None, None))
        expires(
            c.enable_next("SN-1002", otp(), otp(1), None, 0, None, None, None, None, None, None)
        )
        expires(c.auth(1001, otp()))
        expires(c.auth2(1001, otp()))
        expires(c.auth2_next(1001, otp(), otp(1)))
        status = c.status(1001)
        ok(status)
        assert (status.card_status, status.expiry) == (ENABLED, EXPIRY)

        password(c.binding(1001, otp(), 1, 100, "alice"))
        password(c.binding2(1001, otp(), 2, 200, "bob"))
        password(c.binding2_next(1001, otp(), otp(1), 3, 300, "carol"))
        for rows in (c.bind_info_query(1001, otp()), c.bind_info_query_next(1001, otp(), otp(1))):
            ok(rows)
            assert rows.row_count == 3
            assert [(b.app_no, b.app_no2, b.account) for b in rows.bindings] == [
                (1, 100, "alice"),
                (2, 200, "bob"),
                (3, 300, "carol"),
            ]
            assert all(b.bind_time for b in rows.bindings)
        ok(c.unbinding(1001, "SN-1001", otp(), 1, 100, "alice"))
        ok(c.unbinding2(1001, "SN-1001", otp(), 2, 200, "bob"))
        ok(c.unbinding2_next(1001, "SN-1001", otp(), otp(1), 3, 300, "carol"))
        password(c.binding(1001, otp(), 4, 400, "dave"))
        ok(c.unbinding_ex(1001, 4, 400, "dave"))
        resv = password(c.binding(1001, otp(), 5, 500, "erin"))
        ok(c.unbinding_ex2(1001, 5, 500, "erin", resv))
        assert c.bind_info_query(1001, otp()).bindings == ()

        ok(c.modify_info(1001, otp(), "Ann%20Lee", 1, "ID-2", "555", None, None, None, None))
        ok(c.modify_info_next(1001, otp(), otp(1), "Ann", 1, "ID-3", None, None, None, None, None))
        password(c.bind_esale(1001, otp()))
        password(c.bind_esale_next(1002, otp(), otp(1)))
        password(c.bind_other(1001, otp()))
        password(c.bind_other_next(1002, otp(), otp(1)))

        ok(c.loss(1001, "SN-1001", 1, 0, 0, None, "desk-7"))
        assert c.auth(1001, otp()) == ExpiryResult(CARD_LOST)
        ok(c.unloss(1001, "SN-1001", otp(), "desk-7"))
        ok(c.loss(1001, "SN-1001", 1, 0, 0, None, None))
        ok(c.unloss_next(1001, "SN-1001", otp(), otp(1), None))

        ok(c.change(1001, "SN-1001", "SN-1003", otp()))
        ok(c.change_next(1002, "SN-1002", "SN-1004", otp(), otp(1)))
        ok(c.disable(1003, "SN-1003", "ID-3", 0, 0, None, "desk-7"))
        assert c.status(1003).card_status == DISABLED


@pytest.mark.parametrize("encoding,account", [("gbk", "张三"), ("utf-8", "张三"), ("utf-8", "Zoë")])
def test_account_names_travel_in_the_clients_encoding(
    sim: Simulator, encoding: str, account: str
) -> None:
    with enabled_client(sim, encoding) as c:
        password(c.binding(1001, otp(), 1, 1, account))
        assert c.bind_info_query(1001, otp()).bindings[0].account == account


def test_refused_arguments_send_nothing(sim: Simulator) -> None:
    with enabled_client(sim, "gbk") as gbk, Client(sim.dir / "cfgfile.ini") as utf8:
        refused = [
            gbk.binding(1001, otp(), 1, 1, "smile\U0001F600"),  # not in GBK
            gbk.binding(1001, otp(), 1, 1, None),  # type: ignore[arg-type]
            utf8.binding(1001, otp(), 1, 1, "a\0b"),
            utf8.binding(1001, otp(), 1, 1, "lone\ud800"),
            utf8.binding(1001, otp(), 2**31, 1, "a"),
            utf8.loss(1001, None, 1, 0, 0, None, None),  # type: ignore[arg-type]
        ]
        assert [r.code for r in refused] == [ARGUMENT_REFUSED] * len(refused)
        assert utf8.bind_info_query(1001, otp()).row_count == 0
        expires(utf8.auth(1001, otp()))  # not reported lost

        # GBK bytes read as UTF-8 arrive as U+FFFD, never as an exception.
        password(gbk.binding(1001, otp(), 2, 2, "张三"))
        assert "\ufffd" in utf8.bind_info_query(1001, otp()).bindings[0].account


def test_sixteen_threads_share_one_client(sim: Simulator) -> None:
    with enabled_client(sim) as c:

        def work(app: int) -> None:
            for _ in range(20):
                expires(c.auth(1001, otp()))
                assert c.status(1001).card_status == ENABLED
                assert c.unbinding_ex(1001, app, app, f"user{app}").code == BINDING_NOT_FOUND

        with ThreadPoolExecutor(16) as pool:
            list(pool.map(work, range(16)))


def test_async_client_runs_calls_off_the_loop(sim: Simulator) -> None:
    sim.add_card(1001, "SN-1001")
    config = sim.start()

    async def main() -> None:
        async with AsyncClient(config) as c:
            ok(await c.enable("SN-1001", otp(), None, 0, None, None, None, None, None, None))
            results = await asyncio.gather(*(c.auth(1001, otp()) for _ in range(8)))
            for r in results:
                expires(r)
            rows = await c.bind_info_query(1001, otp())
            assert rows.accepted and rows.bindings == ()
        with pytest.raises(ClientClosedError):
            await c.auth(1001, otp())

    asyncio.run(main())


def test_two_clients_on_two_configurations(simulators: list[Simulator]) -> None:
    a, b = simulators
    a.add_card(1001, "SN-1001")
    b.add_card(2002, "SN-2002")
    with Client(a.start()) as ca, Client(b.start()) as cb:
        ok(ca.enable("SN-1001", otp(), None, 0, None, None, None, None, None, None))
        ok(cb.enable("SN-2002", otp(), None, 0, None, None, None, None, None, None))
        expires(ca.auth(1001, otp()))
        assert cb.auth(1001, otp()).code == UNKNOWN_CARD
        ca.close()
        expires(cb.auth(2002, otp()))


def test_closed_client_and_bad_configuration(tmp_path: Path) -> None:
    config = tmp_path / "cfgfile.ini"
    config.write_text("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=9\n")
    c = Client(config)
    c.close()
    c.close()
    assert c.closed
    for call in (lambda: c.auth(1, 1), lambda: c.binding(1, 1, 1, 1, "a"), lambda: c.status(1)):
        with pytest.raises(ClientClosedError):
            call()
    with pytest.raises(ConfigurationError) as error:
        Client(tmp_path / "missing.ini")
    assert str(error.value)


@pytest.mark.parametrize(
    "encoding,config_suffix,log",
    [
        ("utf-16-le", "", None),  # "alice" would go out as "a"
        ("utf-16", "", None),
        ("utf-32-be", "", None),
        ("utf-8-sig", "", None),  # a byte-order mark in front of every text
        ("cp037", "", None),  # ASCII letters become other bytes
        ("rot13", "", None),  # not a text encoding
        ("utf-8", "\0.other", None),
        ("utf-8", "", "log\0.other"),
    ],
)
def test_what_c_strings_would_change_is_refused_at_open(
    tmp_path: Path, encoding: str, config_suffix: str, log: str | None
) -> None:
    config = tmp_path / "cfgfile.ini"
    config.write_text("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=9\n")
    with pytest.raises(ValueError):
        Client(str(config) + config_suffix, None if log is None else tmp_path / log, encoding)


def test_open_from_bytes_with_the_calls_time_out(sim: Simulator, tmp_path: Path) -> None:
    sim.add_card(1001, "SN-1001")
    config = sim.start().read_bytes()
    with Client.from_bytes(config, call_timeout=5) as c:
        ok(c.enable("SN-1001", otp(), None, 0, None, None, None, None, None, None))
        expires(c.auth(1001, otp()))

    async def from_bytes() -> None:
        async with AsyncClient.from_bytes(config) as c:
            expires(await c.auth(1001, otp()))

    asyncio.run(from_bytes())
    for timeout in (0, 601, True, 1.5):
        with pytest.raises(ValueError):
            Client.from_bytes(config, call_timeout=timeout)  # type: ignore[arg-type]
    with pytest.raises(ConfigurationError, match="ServerNumber"):  # readable, not GBK bytes
        Client.from_bytes(b"[ServerSet]\nServerIP0=127.0.0.1\n")

    # A server that never answers: the call's own bound ends the call, not the
    # file's minute-long ReceiveTimeout.
    with socket.create_server(("127.0.0.1", 0)) as silent:
        port = silent.getsockname()[1]
        slow = (
            "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\n"
            f"ServerPort0={port}\nReceiveTimeout=60\n"
        )
        with Client.from_bytes(slow.encode(), call_timeout=1) as c:
            started = time.monotonic()
            assert c.auth(1001, 1).code == NO_ANSWER
            assert time.monotonic() - started < 30
