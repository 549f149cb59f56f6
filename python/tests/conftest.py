"""The bundled token-service simulator for the tests, on a loopback port it picks.

Cards get a known secret, so the tests compute their codes directly. The
simulator is ZCVSIM from the environment (the build's), else zcvsim on PATH.
"""

from __future__ import annotations

import hashlib
import hmac
import os
import struct
import subprocess
import time
from collections.abc import Iterator
from pathlib import Path

import pytest

SECRET_HEX = "3132333435363738393031323334353637383930"
EXPIRE_AT = 1893456000  # 2030-01-01 00:00:00 UTC; the service sends 32-bit times
START_WAIT_STEPS = 100  # of 0.05 s
LIFETIME_SECONDS = 300


def otp(ahead: int = 0) -> int:
    """The code a test card shows now, or ``ahead`` steps later."""
    step = int(time.time()) // 60 + ahead
    digest = hmac.new(bytes.fromhex(SECRET_HEX), struct.pack(">q", step), hashlib.sha1).digest()
    offset = digest[-1] & 0xF
    return (struct.unpack(">I", digest[offset : offset + 4])[0] & 0x7FFFFFFF) % 1_000_000


class Simulator:
    """One zcvsim with its own card file."""

    def __init__(self, directory: Path) -> None:
        self.dir = directory
        self.dir.mkdir(parents=True, exist_ok=True)
        self.db = str(directory / "cards.db")
        self.exe = os.environ.get("ZCVSIM", "zcvsim")
        self.server: subprocess.Popen[bytes] | None = None

    def add_card(self, card: int, service_no: str) -> Simulator:
        subprocess.run(
            [
                self.exe,
                "add-card",
                "--db",
                self.db,
                "--card",
                str(card),
                "--service-no",
                service_no,
                "--secret-file",
                "-",
                "--expire-at",
                str(EXPIRE_AT),
            ],
            input=SECRET_HEX.encode(),
            check=True,
            capture_output=True,
            timeout=30,
        )
        return self

    def start(self) -> Path:
        """Serves, and returns a configuration file naming this simulator alone."""
        port_file = self.dir / "port"
        self.server = subprocess.Popen(
            [
                self.exe,
                "serve",
                "--db",
                self.db,
                "--port",
                "0",
                "--port-file",
                str(port_file),
                "--max-seconds",
                str(LIFETIME_SECONDS),
            ],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        for _ in range(START_WAIT_STEPS):
            if port_file.exists() and port_file.read_text().strip():
                break
            time.sleep(0.05)
        port = int(port_file.read_text().strip())
        config = self.dir / "cfgfile.ini"
        config.write_text(f"[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0={port}\n")
        return config

    def close(self) -> None:
        if self.server is not None:
            self.server.terminate()
            self.server.wait(timeout=5)


@pytest.fixture
def simulators(tmp_path: Path) -> Iterator[list[Simulator]]:
    """Two simulators; most tests use the first."""
    sims = [Simulator(tmp_path / "a"), Simulator(tmp_path / "b")]
    yield sims
    for sim in sims:
        sim.close()


@pytest.fixture
def sim(simulators: list[Simulator]) -> Simulator:
    return simulators[0]
