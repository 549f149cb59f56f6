"""The Python side of the binding benchmark: CPU time of this thread per
Client.auth call against the configured loopback server. Prints one line per
round: "<nanoseconds per call>".

    auth_bench.py CONFIG CALLS ROUNDS
"""

import sys
import time

from zephyrcoilvault import ACCEPTED, Client


def main() -> None:
    config, calls, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    with Client(config) as client:
        for _ in range(calls // 4):
            assert client.auth(1, 2).code == ACCEPTED
        for _ in range(rounds):
            start = time.thread_time_ns()
            for _ in range(calls):
                if client.auth(1, 2).code != ACCEPTED:
                    raise SystemExit("auth was not accepted")
            print((time.thread_time_ns() - start) // calls, flush=True)


if __name__ == "__main__":
    main()
