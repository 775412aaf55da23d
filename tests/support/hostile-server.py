#!/usr/bin/env python3
"""A TLS server on loopback that misbehaves on purpose, for the client's limits tests.

Every connection gets the same treatment, chosen by --mode:
  hold       completes the TLS handshake, reads the request, then says nothing
  handshake  accepts the TCP connection, reads the client's hello and never answers it
  headers    sends the status line and headers of a 4096-byte reply, then nothing
  trickle    sends the headers of a 4096-byte reply, then one body byte every --interval-ms
  big        a 200 MiB body announced by Content-Length
  unsized    a 200 MiB body without Content-Length (ended by closing the connection)
  empty      200 with an empty body
  random     200 with --body-bytes random bytes (64 unless told)
  tls12      an ordinary empty 200 reply, over TLS 1.2 only with the OpenSSL cipher list --ciphers (DHE suites
             need --dh-params)

Prints "listening on 127.0.0.1:PORT" once it accepts connections, and one line "connection" per accepted client.
"""

import argparse
import os
import socket
import ssl
import sys
import threading
import time

BIG = 200 * 1024 * 1024
CHUNK = 64 * 1024


def read_request(conn):
    """Reads up to the end of the request's body (the client always sends Content-Length)."""
    data = b""
    while b"\r\n\r\n" not in data:
        piece = conn.recv(4096)
        if not piece:
            return data
        data += piece
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        piece = conn.recv(4096)
        if not piece:
            break
        body += piece
    return data


def headers(length=None, close=False):
    lines = [b"HTTP/1.1 200 OK", b"Content-Type: application/octet-stream"]
    if length is not None:
        lines.append(b"Content-Length: %d" % length)
    if close:
        lines.append(b"Connection: close")
    return b"\r\n".join(lines) + b"\r\n\r\n"


def hold_forever(conn, stop):
    while not stop.wait(0.2):
        pass


def serve(conn, args, stop):
    if args.mode == "handshake":
        conn.recv(4096)
        hold_forever(conn, stop)
        return
    conn = args.context.wrap_socket(conn, server_side=True)
    read_request(conn)
    if args.mode == "hold":
        hold_forever(conn, stop)
    elif args.mode == "headers":
        conn.sendall(headers(4096))
        hold_forever(conn, stop)
    elif args.mode == "trickle":
        conn.sendall(headers(4096))
        for _ in range(4096):
            if stop.wait(args.interval_ms / 1000.0):
                return
            conn.sendall(b"x")
    elif args.mode in ("big", "unsized"):
        sized = args.mode == "big"
        conn.sendall(headers(BIG if sized else None, close=not sized))
        chunk = os.urandom(CHUNK)
        for _ in range(BIG // CHUNK):
            if stop.is_set():
                return
            conn.sendall(chunk)
    elif args.mode in ("empty", "tls12"):
        conn.sendall(headers(0))
    elif args.mode == "random":
        body = os.urandom(args.body_bytes)
        conn.sendall(headers(len(body)) + body)
    conn.close()


def handle(conn, args, stop):
    try:
        serve(conn, args, stop)
    except (OSError, ssl.SSLError):
        pass  # the client went away: that is what it is expected to do
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--interval-ms", type=int, default=1000)
    parser.add_argument("--body-bytes", type=int, default=64)
    parser.add_argument("--ciphers", default="")
    parser.add_argument("--dh-params", default="")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    if args.mode == "tls12":
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.maximum_version = ssl.TLSVersion.TLSv1_2
        context.set_ciphers(args.ciphers)
        if args.dh_params:
            context.load_dh_params(args.dh_params)
    args.context = context

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("listening on 127.0.0.1:%d" % listener.getsockname()[1], flush=True)
    stop = threading.Event()
    try:
        while True:
            conn, _ = listener.accept()
            print("connection", flush=True)
            threading.Thread(target=handle, args=(conn, args, stop), daemon=True).start()
    except KeyboardInterrupt:
        pass
    finally:
        stop.set()


if __name__ == "__main__":
    sys.exit(main())
