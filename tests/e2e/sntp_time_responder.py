#!/usr/bin/env python3
"""A small TIME and SNTP server for whole-program tests, on 127.0.0.1 only.

It answers with this machine's clock moved by --shift seconds, so a check or
a dry-run correction against it has a known difference; with --silent it
takes requests and connections and never answers, so that every query to it
times out. It stops by itself after --lifetime seconds."""
import argparse
import select
import socket
import struct
import time

NTP_EPOCH = 2_208_988_800  # seconds from 1900 to 1970


def ntp_timestamp(seconds):
    whole = int(seconds)
    return struct.pack("!II", (whole + NTP_EPOCH) & 0xFFFFFFFF, int((seconds - whole) * 2**32) & 0xFFFFFFFF)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sntp-port", type=int, default=123)
    parser.add_argument("--time-port", type=int, default=37)
    parser.add_argument("--shift", type=float, default=0.0)
    parser.add_argument("--lifetime", type=float, default=60.0)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--ready-file")
    args = parser.parse_args()

    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    udp.bind(("127.0.0.1", args.sntp_port))
    tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    tcp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    tcp.bind(("127.0.0.1", args.time_port))
    tcp.listen(5)
    if args.ready_file:
        open(args.ready_file, "w").close()

    end = time.monotonic() + args.lifetime
    if args.silent:
        # Datagrams stay unread and connections wait in the listen queue.
        time.sleep(args.lifetime)
    while time.monotonic() < end:
        ready, _, _ = select.select([udp, tcp], [], [], 0.2)
        for sock in ready:
            now = time.time() + args.shift
            if sock is udp:
                request, peer = udp.recvfrom(512)
                if len(request) != 48:
                    continue
                reply = bytes([0x1C, 2, 6, 0xF6]) + struct.pack("!II", 0, 0) + b"LOCL"
                reply += ntp_timestamp(now) + request[40:48] + ntp_timestamp(now) + ntp_timestamp(now)
                udp.sendto(reply, peer)
            else:
                conn, _ = tcp.accept()
                conn.sendall(struct.pack("!I", (int(now) + NTP_EPOCH) & 0xFFFFFFFF))
                conn.close()


if __name__ == "__main__":
    main()
