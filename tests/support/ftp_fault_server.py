"""FTP server for the client's tests: pyftpdlib on 127.0.0.1, a free port printed on
stdout, one account, and one fault chosen on the command line.

    ftp_fault_server.py --root DIR --log FILE [--fault NAME] [--fault-file NAME]
                        [--release FILE] [--user U --password P]
                        [--tls-cert FILE --tls-key FILE --data-cert FILE]

With a certificate and its key, the server takes explicit TLS (AUTH TLS, PBSZ, PROT) and
its data connections show --data-cert instead: a certificate problem on the data
connections alone, which a server with one certificate (vsftpd) cannot make.

With --fault-file, a data fault hits only the files of that name; others go out whole.
The faults "hold", "flood500" and "late_pasv" wait for the release file before they go
on, so that a test decides when, not a clock.
"""
import argparse
import logging
import os
import socket
import struct
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, proto_cmds
from pyftpdlib.servers import FTPServer

# Faults that replace the data transfer of RETR with our own sending.
DATA_FAULTS = {"cut226", "cut426", "cutdrop", "no226", "early226", "stall_short",
               "stall_long", "reset", "reset426", "retr421", "endless", "oversize", "hold"}


# Connections of the "auth_silent" fault, kept open for as long as the server runs.
SILENT = []


class FaultHandler(FTPHandler):
    fault = ""
    fault_file = ""
    release_file = ""
    command_log = None
    stall_seconds = 0.3
    proto_cmds = dict(proto_cmds)
    proto_cmds["ACCT"] = dict(perm=None, auth=False, arg=None,
                              help="Syntax: ACCT <SP> account-information.")
    proto_cmds["AUTH"] = dict(perm=None, auth=False, arg=True,
                              help="Syntax: AUTH <SP> TLS.")

    # --- what the client sent, for tests that check the order of commands
    def pre_process_command(self, line, cmd, arg):
        with open(self.command_log, "a") as f:
            f.write(line + "\n")
        # "late_pasv": from PASV on nothing is answered until the release, and then all
        # in order, as a server that is stuck on a command answers.
        if self.fault == "late_pasv" and (cmd == "PASV" or self._held):
            self._held.append((line, cmd, arg))
            if len(self._held) == 1:
                self._answer_held()
            return
        return super().pre_process_command(line, cmd, arg)

    def _answer_held(self):
        if not os.path.exists(self.release_file):
            self.ioloop.call_later(0.02, self._answer_held)
            return
        held, self._held = self._held, []
        self.fault = ""
        for line, cmd, arg in held:
            super().pre_process_command(line, cmd, arg)

    def respond(self, resp, logfun=logging.debug):
        if resp.startswith("227 ") and self.fault in ("pasv_multiline", "pasv_bad"):
            start, end = resp.index("("), resp.index(")")
            nums = resp[start + 1:end].split(",")
            if self.fault == "pasv_multiline":
                # the address on the final line only, without parentheses
                resp = "227-Entering passive mode\r\n227 =%s" % ",".join(nums)
            else:
                resp = "227 Entering passive mode (%s,1216,256)." % ",".join(nums[:4])
        if resp.startswith("227 ") and self.fault == "pasv_other":
            # name an address the client must not use
            start, end = resp.index("("), resp.index(")")
            nums = resp[start + 1:end].split(",")
            resp = "227 Entering passive mode (10,0,0,5,%s,%s)." % (nums[4], nums[5])
        if resp[:4] in ("150 ", "125 ") and getattr(self, "_retr_size", None) is not None:
            resp = resp.rstrip(".") + " (%d bytes)." % self._retr_size
            self._retr_size = None
        super().respond(resp, logfun)

    # --- greeting
    def handle(self):
        self._held = []
        self.on_connect()
        if self.fault == "multiline_greeting":
            self.push("220-Welcome to the test server\r\n220-second line\r\n"
                      "221 not the end: other code\r\n220 ready\r\n")
        elif self.fault == "huge_greeting":
            line = "220-" + "x" * 66 + "\r\n"
            self.push(line * 600)  # about 42 KiB
            self.push("220 ready\r\n")
        elif self.fault == "silent":
            pass  # accepts, then never says a word
        elif self.fault == "http":
            self.push("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")
        elif self.fault == "slow_greeting":
            self.push("22")
            self.ioloop.call_later(0.1, lambda: self.push("0-slow"))
            self.ioloop.call_later(0.2, lambda: self.push(" start\r\n220 ready\r\n"))
        else:
            super().handle()

    # --- TLS: this server has none. "auth_silent" agrees to it, then says nothing more
    # and reads nothing more, like a server that hangs in the handshake.
    def ftp_AUTH(self, line):
        if self.fault == "auth_silent":
            self.respond("234 AUTH TLS successful.")
            self.del_channel()
            SILENT.append(self)  # the connection stays open, unread
            return
        self.respond("502 AUTH not available.")

    # --- login faults
    def ftp_USER(self, line):
        if self.fault == "flood500":
            # One error, and the other 1999 once the test says (its first box is open).
            self.push("500 Flood of errors.\r\n")
            self._flood_when_released()
            return
        if self.fault == "login421":
            self.respond("421 Service not available, closing control connection.")
            self.close_when_done()
            return
        super().ftp_USER(line)

    def ftp_PASS(self, line):
        if self.fault == "acct332" and not self.authenticated:
            self._held_password = line
            self.respond("332 Need account for login.")
            return
        super().ftp_PASS(line)
        if self.authenticated and self.fault == "idle421":
            self.ioloop.call_later(0.1, self._send_421)
        if self.authenticated and self.fault == "drop_idle":
            self.ioloop.call_later(0.1, self.close)

    def ftp_ACCT(self, line):
        FTPHandler.ftp_PASS(self, self._held_password)

    def _send_421(self):
        self.respond("421 Idle too long, closing control connection.")
        self.close_when_done()

    def ftp_QUIT(self, line):
        if self.fault == "ignore_quit":
            return
        if self.fault == "quit_close":
            self.close()  # the connection ends without a 221
            return
        super().ftp_QUIT(line)

    # --- retrieve faults
    def ftp_RETR(self, file):
        if self.fault == "retr425":
            self.fault = ""
            self.respond("425 Can't open data connection.")
            return
        try:
            size = os.path.getsize(file)
        except OSError:
            size = None
        hit = not self.fault_file or os.path.basename(file) == self.fault_file
        if self.fault not in DATA_FAULTS or size is None or not hit:
            self._retr_size = size
            return super().ftp_RETR(file)
        with open(file, "rb") as f:
            self._fault_data = f.read()
        announced = len(self._fault_data)
        if self.fault == "oversize":
            announced //= 2
        if self.fault == "endless":
            self.respond("150 Opening BINARY mode data connection.")
        else:
            self.respond("150 Opening BINARY mode data connection (%d bytes)." % announced)
        self._when_data_channel()
        return file

    def _when_data_channel(self):
        if self.data_channel is None:
            self.ioloop.call_later(0.01, self._when_data_channel)
            return
        # Take the socket over from pyftpdlib and send by hand.
        channel = self.data_channel
        raw = channel.socket.dup()
        channel.close()
        self.data_channel = None
        raw.setblocking(True)
        self._raw = raw
        data = self._fault_data
        half = data[:len(data) // 2]
        fault = self.fault
        if fault == "cut226":
            self._send_close(half, "226 Transfer complete.")
        elif fault == "cut426":
            self._send_close(half, "426 Connection closed; transfer aborted.")
        elif fault == "cutdrop":
            self._send_close(half, None)
            self.close()
        elif fault == "no226":
            self._send_close(data, None)
        elif fault == "early226":
            self.respond("226 Transfer complete.")
            self.ioloop.call_later(0.1, lambda: self._send_close(data, None))
        elif fault == "stall_short":
            raw.sendall(half)
            self.ioloop.call_later(
                self.stall_seconds,
                lambda: self._send_close(data[len(half):], "226 Transfer complete."))
        elif fault == "stall_long":
            raw.sendall(half)  # and nothing more until ABOR or the client gives up
        elif fault in ("reset", "reset426"):
            raw.sendall(half)
            # SO_LINGER with a zero time: the close resets the connection.
            raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            raw.close()
            self._raw = None
            if fault == "reset426":
                self.respond("426 Connection reset; transfer aborted.")
        elif fault == "retr421":
            raw.sendall(half)
            self.respond("421 Server going down for maintenance.")
            self.close_when_done()
        elif fault == "oversize":
            self._send_close(data, "226 Transfer complete.")
        elif fault == "endless":
            try:
                while True:  # until the client closes its end
                    raw.sendall(data or b"x" * 65536)
            except OSError:
                pass
            raw.close()
            self._raw = None
            self.respond("426 Connection closed; transfer aborted.")
        elif fault == "hold":
            self._hold(data)

    def _flood_when_released(self):
        if not os.path.exists(self.release_file):
            self.ioloop.call_later(0.02, self._flood_when_released)
            return
        self.push("500 Flood of errors.\r\n" * 1999)

    def _hold(self, data):
        # Nothing until the test creates the release file: the transfer ends when the
        # test says, not when a clock does.
        if not os.path.exists(self.release_file):
            self.ioloop.call_later(0.02, lambda: self._hold(data))
            return
        self._send_close(data, "226 Transfer complete.")

    def _send_close(self, data, reply):
        if self._raw is None:
            return
        try:
            self._raw.sendall(data)
        except OSError:
            pass
        self._raw.close()
        self._raw = None
        if reply:
            self.respond(reply)

    def ftp_ABOR(self, line):
        if getattr(self, "_raw", None) is not None:
            self._raw.close()
            self._raw = None
            self.respond("426 Transfer aborted via ABOR.")
            self.respond("226 ABOR command successful.")
            return
        super().ftp_ABOR(line)


def tls_handler(cert, key, data_cert):
    from OpenSSL import SSL
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    data_context = SSL.Context(SSL.TLS_SERVER_METHOD)
    data_context.use_certificate_chain_file(data_cert)
    data_context.use_privatekey_file(key)

    class DataHandler(TLS_DTPHandler):
        def secure_connection(self, ssl_context):
            super().secure_connection(data_context)

    class TlsFaultHandler(FaultHandler, TLS_FTPHandler):
        certfile = cert
        keyfile = key
        dtp_handler = DataHandler
        proto_cmds = dict(FaultHandler.proto_cmds, **TLS_FTPHandler.proto_cmds)

        def ftp_AUTH(self, line):
            TLS_FTPHandler.ftp_AUTH(self, line)

    return TlsFaultHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--fault", default="")
    parser.add_argument("--user", default="orvo")
    parser.add_argument("--password", default="secretpassword")
    parser.add_argument("--stall", type=float, default=0.3)
    parser.add_argument("--fault-file", default="")
    parser.add_argument("--release", default="")
    parser.add_argument("--tls-cert", default="")
    parser.add_argument("--tls-key", default="")
    parser.add_argument("--data-cert", default="")
    args = parser.parse_args()

    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    FaultHandler.authorizer = authorizer
    FaultHandler.fault = args.fault
    FaultHandler.command_log = args.log
    FaultHandler.stall_seconds = args.stall
    FaultHandler.fault_file = args.fault_file
    FaultHandler.release_file = args.release
    handler = FaultHandler
    if args.tls_cert:
        handler = tls_handler(args.tls_cert, args.tls_key, args.data_cert)
    server = FTPServer(("127.0.0.1", 0), handler)
    server.max_cons = 16
    print(server.socket.getsockname()[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
