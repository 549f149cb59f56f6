#!/usr/bin/python3
"""A Python host of the installed library: authenticates a card and asks for its status."""

import sys

from zephyrcoilvault import Client


def main() -> int:
    if len(sys.argv) != 4:
        print("usage: host.py CONFIG CARD PASSWORD", file=sys.stderr)
        return 64
    card = int(sys.argv[2])
    with Client(sys.argv[1]) as client:
        auth = client.auth(card, int(sys.argv[3]))
        status = client.status(card)
    print(f"{auth.code} valid until {auth.expiry}, status {status.card_status}")
    return 0 if auth.accepted else 1


if __name__ == "__main__":
    sys.exit(main())
