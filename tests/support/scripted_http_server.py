#!/usr/bin/env python3
"""A scripted HTTP server for the transfer engine's tests.

Serves on 127.0.0.1 only. Each accepted connection gets the next reply of the
script (the last one repeats), records the exact bytes of the request it read
as request-<n>.bin in the record folder, and plays its reply, faults included.
It shares nothing with the engine: it knows HTTP only as the tests describe it.

Script (JSON): {"replies": [reply, ...]}. A reply holds:
  status        status line, default "HTTP/1.1 200 OK" (or 206 for a range)
  headers       extra header lines, in order
  body          text body, or body_file: path of a file whose bytes are the body
  length        "auto" (default), null (no Content-Length line) or a raw value
  ranges        true: answer a Range line with 206, Content-Range and the slice
  range_shift   add this to the first byte named in Content-Range (a lie)
  ignore_range  true: answer a Range line with the whole body and 200
  pad_header    grow the header to this many bytes with an X-Pad line
  close_after   close the connection after this many body bytes
  extra         bytes sent after the body (more than announced)
  stall_ms      wait this long before the header (a server that never answers
                uses a large value)
  trickle       [bytes, delay_ms]: send the body in pieces with pauses
  rate          bytes per second for the body
Prints "port <n>" on its first line once it listens.
"""

import argparse
import json
import os
import re
import socket
import threading
import time


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def body_of(reply, base):
    if "body_file" in reply:
        with open(os.path.join(base, reply["body_file"]), "rb") as f:
            return f.read()
    return reply.get("body", "").encode("latin-1")


def send_paced(conn, data, reply):
    trickle = reply.get("trickle")
    rate = reply.get("rate")
    if trickle:
        size, delay = trickle
        for i in range(0, len(data), size):
            conn.sendall(data[i:i + size])
            time.sleep(delay / 1000.0)
    elif rate:
        piece = max(1, rate // 20)
        for i in range(0, len(data), piece):
            conn.sendall(data[i:i + piece])
            time.sleep(piece / rate)
    else:
        conn.sendall(data)


def serve(conn, reply, request, base, cache):
    key = reply.get("body_file")
    body = cache.get(key) if key else None
    if body is None:
        body = body_of(reply, base)
        if key:
            cache[key] = body
    status = reply.get("status", "HTTP/1.1 200 OK")
    headers = list(reply.get("headers", []))
    match = re.search(rb"\r\nRange: bytes=(\d+)-", request)
    if match and reply.get("ranges") and not reply.get("ignore_range"):
        first = int(match.group(1))
        shown = first + reply.get("range_shift", 0)
        headers.append("Content-Range: bytes %d-%d/%d" % (shown, len(body) - 1, len(body)))
        body = body[first:]
        status = reply.get("status", "HTTP/1.1 206 Partial Content")
    length = reply.get("length", "auto")
    if length == "auto":
        headers.insert(0, "Content-Length: %d" % len(body))
    elif length is not None:
        headers.insert(0, "Content-Length: %s" % length)
    header = status + "\r\n" + "".join(h + "\r\n" for h in headers)
    pad = reply.get("pad_header")
    if pad:
        header += "X-Pad: " + "x" * max(0, pad - len(header) - len("X-Pad: \r\n\r\n")) + "\r\n"
    header = (header + "\r\n").encode("latin-1")

    time.sleep(reply.get("stall_ms", 0) / 1000.0)
    conn.sendall(header)
    if "close_after" in reply:
        body = body[:reply["close_after"]]
    send_paced(conn, body, reply)
    if "extra" in reply:
        conn.sendall(reply["extra"].encode("latin-1"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--record", required=True)
    args = parser.parse_args()
    with open(args.script) as f:
        replies = json.load(f)["replies"]
    base = os.path.dirname(os.path.abspath(args.script))

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print("port %d" % listener.getsockname()[1], flush=True)

    counter = {"n": 0}
    lock = threading.Lock()
    cache = {}

    def handle(conn, n):
        try:
            request = read_request(conn)
            with open(os.path.join(args.record, "request-%d.bin" % n), "wb") as f:
                f.write(request)
            serve(conn, replies[min(n, len(replies)) - 1], request, base, cache)
            conn.shutdown(socket.SHUT_WR)
            # Let the client read to the end before the socket goes away.
            conn.settimeout(30)
            while conn.recv(65536):
                pass
        except OSError:
            pass
        finally:
            conn.close()

    while True:
        conn, _ = listener.accept()
        with lock:
            counter["n"] += 1
            n = counter["n"]
        threading.Thread(target=handle, args=(conn, n), daemon=True).start()


if __name__ == "__main__":
    main()
