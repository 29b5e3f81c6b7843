#!/usr/bin/python3
"""A local SMTP server for Pelmora's tests, on 127.0.0.1 only.

    smtp_server.py --dir DIR [--mode MODE] [--reply-delay SECONDS]
                   [--tls starttls|implicit --cert PEM --key PEM] [--auth USER:PASSWORD]

Prints "PORT <n>" once it listens and runs until its standard input closes,
so it never outlives the test that started it.

Every message received is stored in DIR as NNNN.eml (the DATA exactly as
received, CR LF and all) next to NNNN.json (envelope sender, recipients and
the EHLO name); the .json file appears last, so a reader that sees it also
sees the whole message. DIR/sessions.log gets one "open" line when a client
session starts, "mail" for every MAIL command, "auth" for every AUTH command,
"quit" when the client says QUIT, and "closed" when it ends.

--tls with --cert and --key presents that certificate, by STARTTLS (offered
and required) or from the first byte. --auth offers AUTH (PLAIN, LOGIN),
accepts only that pair and refuses mail without it; over TLS only when --tls
is given, so that without it the server tempts a client to log in in the
clear.

Modes:
  normal     accepts everything
  reject550  refuses every recipient with 550
  greet554   greets with 554 and does nothing else
  silent     accepts the connection and never sends a byte
  starttls   like normal, but offers STARTTLS with a self-signed certificate
             and refuses mail until the client has started TLS
  slow       a plain server that waits --reply-delay seconds before each
             reply, the greeting included
  mute-data  a plain server that never answers the end of the message
  mute-quit  a plain server that takes the message but never answers QUIT
  mute-ehlo, mute-datacmd: never answers EHLO, or the DATA command
  mute-auth  TLS from the first byte (self-signed), never answers AUTH

--recover-after N: from the N+1-th session on, a raw mode takes everything.
"""
import argparse
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

HOST = "127.0.0.1"
REJECT_TEXT = "5.1.1 No such user here"
GREET554_TEXT = "Service not available, closing channel"


class Store:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0
        self.lock = threading.Lock()

    def log_session(self, event):
        with self.lock:
            with open(os.path.join(self.directory, "sessions.log"), "a") as log:
                log.write(event + "\n")

    def save(self, envelope, ehlo, tls=False):
        with self.lock:
            self.count += 1
            base = os.path.join(self.directory, "%04d" % self.count)
        with open(base + ".eml", "wb") as eml:
            eml.write(envelope.original_content)
        meta = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "ehlo": ehlo or "",
            "tls": tls,
        }
        with open(base + ".json.tmp", "w", encoding="utf-8") as out:
            json.dump(meta, out, ensure_ascii=False)
        os.rename(base + ".json.tmp", base + ".json")


class Handler:
    def __init__(self, store, reject_recipients, implicit_tls=False):
        self.store = store
        self.reject_recipients = reject_recipients
        self.implicit_tls = implicit_tls

    # A session counts from its first greeting: the controller's own start-up
    # probe connects without ever sending a command.
    async def handle_HELO(self, server, session, envelope, hostname):
        self.store.log_session("open")
        session.host_name = hostname
        return "250 {}".format(server.hostname)

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        if not session.host_name:
            self.store.log_session("open")
        session.host_name = hostname
        return responses

    async def handle_QUIT(self, server, session, envelope):
        self.store.log_session("quit")
        return "221 Bye"

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        self.store.log_session("mail")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if self.reject_recipients:
            return "550 " + REJECT_TEXT
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.store.save(envelope, session.host_name,
                        self.implicit_tls or session.ssl is not None)
        return "250 Message accepted for delivery"


class LoggingSMTP(SMTP):
    def __init__(self, store, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.store = store

    async def smtp_AUTH(self, arg):
        self.store.log_session("auth")
        return await super().smtp_AUTH(arg)

    def connection_lost(self, error):
        greeted = self.session is not None and self.session.host_name
        super().connection_lost(error)
        if greeted:
            self.store.log_session("closed")


class LoggingController(Controller):
    def __init__(self, store, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.store = store

    def factory(self):
        return LoggingSMTP(self.store, self.handler, **self.SMTP_kwargs)


def free_port():
    with socket.socket() as probe:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]


def self_signed_context(directory):
    cert = os.path.join(directory, "server.crt")
    key = os.path.join(directory, "server.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=pelmora-test", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def secure_options(args):
    options = {}
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        if args.tls == "starttls":
            options.update(tls_context=context, require_starttls=True)
        else:
            options.update(ssl_context=context)
    if args.auth:
        user, password = args.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            return AuthResult(success=(auth_data.login == user.encode()
                                       and auth_data.password == password.encode()),
                              handled=False)

        # aiosmtpd counts only STARTTLS as TLS; SMTPS is TLS from the start.
        options.update(authenticator=authenticator, auth_required=True,
                       auth_require_tls=(args.tls == "starttls"))
    return options


def start_aiosmtpd(store, mode, options=None):
    tls = dict(options or {})
    handler = Handler(store, reject_recipients=(mode == "reject550"),
                      implicit_tls="ssl_context" in tls)
    if mode == "starttls":
        tls = {"tls_context": self_signed_context(store.directory), "require_starttls": True}
    # The controller needs a fixed port; another process may take the one we
    # picked in between, so try a few.
    for _ in range(20):
        port = free_port()
        controller = LoggingController(store, handler, hostname=HOST, port=port, **tls)
        try:
            controller.start()
        except Exception:
            continue
        return port, controller.stop
    raise RuntimeError("no free port")


def start_raw(store, mode, delay=0, recover_after=None):
    listener = socket.socket()
    listener.bind((HOST, 0))
    listener.listen(16)
    accepted = [0]
    tls = self_signed_context(store.directory) if mode == "mute-auth" else None

    def serve(conn, mode):
        if mode == "mute-auth":
            conn = tls.wrap_socket(conn, server_side=True)
        if mode == "slow" or mode.startswith("mute-"):
            with conn:
                try:
                    serve_scripted(store, conn, mode, delay)
                except OSError:
                    store.log_session("closed")
            return
        store.log_session("open")
        with conn:
            if mode == "greet554":
                conn.sendall(("554 " + GREET554_TEXT + "\r\n").encode())
            try:
                while conn.recv(4096):
                    pass
            except OSError:
                pass
        store.log_session("closed")

    def accept_loop():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            accepted[0] += 1
            recovered = recover_after is not None and accepted[0] > recover_after
            threading.Thread(target=serve, args=(conn, "mute-none" if recovered else mode),
                             daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    return listener.getsockname()[1], listener.close


class Envelope:
    def __init__(self):
        self.mail_from = ""
        self.rcpt_tos = []
        self.original_content = b""


def serve_scripted(store, conn, mode, delay):
    """A plain SMTP dialogue, one line at a time, paced or muted by the mode."""
    import time
    reader = conn.makefile("rb")

    def reply(text):
        if delay:
            time.sleep(delay)
        conn.sendall((text + "\r\n").encode())

    store.log_session("open")
    envelope, ehlo = Envelope(), ""
    reply("220 pelmora-test ESMTP")
    for raw in reader:
        command = raw.decode("latin-1").rstrip("\r\n")
        verb = command[:4].upper()
        if verb in ("EHLO", "HELO"):
            ehlo = command[5:]
            if mode == "mute-ehlo":
                continue
            reply("250-pelmora-test\r\n250 AUTH PLAIN LOGIN" if mode == "mute-auth"
                  else "250 pelmora-test")
        elif verb == "AUTH" and mode == "mute-auth":
            store.log_session("auth")
        elif verb == "MAIL":
            store.log_session("mail")
            envelope.mail_from = command.split(":", 1)[1].strip().strip("<>").split(">")[0]
            reply("250 OK")
        elif verb == "RCPT":
            envelope.rcpt_tos.append(command.split(":", 1)[1].strip().strip("<>"))
            reply("250 OK")
        elif verb == "DATA":
            if mode == "mute-datacmd":
                continue
            reply("354 End data with <CR><LF>.<CR><LF>")
            lines = []
            for data_line in reader:
                if data_line == b".\r\n":
                    break
                lines.append(data_line[1:] if data_line.startswith(b".") else data_line)
            envelope.original_content = b"".join(lines)
            if mode == "mute-data":
                continue
            store.save(envelope, ehlo)
            envelope = Envelope()
            reply("250 Message accepted for delivery")
        elif verb == "QUIT":
            store.log_session("quit")
            if mode != "mute-quit":
                reply("221 Bye")
                break
        else:
            reply("250 OK")
    store.log_session("closed")


def main():
    warnings.simplefilter("ignore")  # aiosmtpd's advice on AUTH without TLS is the point here
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--mode", default="normal",
                        choices=["normal", "reject550", "greet554", "silent", "starttls",
                                 "slow", "mute-data", "mute-quit", "mute-ehlo", "mute-auth",
                                 "mute-datacmd"])
    parser.add_argument("--recover-after", type=int)
    parser.add_argument("--reply-delay", type=float, default=0)
    parser.add_argument("--tls", choices=["starttls", "implicit"])
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--auth")
    args = parser.parse_args()

    store = Store(args.dir)
    if args.mode in ("normal", "reject550", "starttls"):
        port, stop = start_aiosmtpd(store, args.mode, secure_options(args))
    else:
        port, stop = start_raw(store, args.mode, args.reply_delay, args.recover_after)

    print("PORT %d" % port, flush=True)
    sys.stdin.read()  # until the test closes our input or ends
    stop()


if __name__ == "__main__":
    main()
