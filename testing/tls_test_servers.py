#!/usr/bin/env python3
"""https servers on 127.0.0.1 for the Windows tests, which run under Wine where no TLS server
side is at hand: one per server certificate that make_test_certificates.py made in FOLDER, each
answering every request with the HTTP standard's example Date. Prints NAME=PORT lines, then
serves until killed."""
import pathlib
import socket
import ssl
import sys
import threading

NAMES = ["trusted", "future", "other_host", "self_signed", "bad_signature"]
RESPONSE = (b"HTTP/1.1 200 OK\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
            b"Content-Length: 0\r\nConnection: close\r\n\r\n")


def serve_one(connection, context):
    # The handshake too runs here, not on the accepting thread: a client that never finishes
    # it must not hold up the others.
    connection.settimeout(10)
    try:
        with context.wrap_socket(connection, server_side=True) as secure:
            request = b""
            while b"\r\n\r\n" not in request:
                chunk = secure.recv(4096)
                if not chunk:
                    return
                request += chunk
            secure.sendall(RESPONSE)
    except OSError:
        connection.close()  # a client that refused the certificate, or left


def serve(listener, context):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_one, args=(connection, context), daemon=True).start()


def main(folder):
    folder = pathlib.Path(folder)
    threads = []
    for name in NAMES:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(folder / f"{name}.pem", folder / f"{name}.key")
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        print(f"{name}={listener.getsockname()[1]}", flush=True)
        threads.append(threading.Thread(target=serve, args=(listener, context), daemon=True))
    for thread in threads:
        thread.start()
    threading.Event().wait()


if __name__ == "__main__":
    main(sys.argv[1])
