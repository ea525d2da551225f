"""A private vsftpd for the tests and the benchmark: its own configuration in a work
folder, anonymous login (any password) serving a root folder, on 127.0.0.1 at a free
port, which is printed on stdout once the server answers there.

    vsftpd_server.py --root DIR --work DIR [--tls-cert FILE --tls-key FILE]
                     [--no-ssl-reuse]

With a certificate and its key, vsftpd takes explicit TLS and requires it for the login
and the data connections; each data connection must resume the control connection's TLS
session (require_ssl_reuse, vsftpd's default) unless --no-ssl-reuse.

As root, vsftpd logs in as its "ftp" user, shut in the root folder (paths start at "/"
there). Run by anyone else it runs as that user (run_as_launching_user), without a
chroot: remote paths are then the folder's real paths. Stops vsftpd when it is stopped.
"""
import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import time

PR_SET_PDEATHSIG = 1


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def tls_config(cert, key, ssl_reuse):
    if not cert:
        return []
    return [
        "ssl_enable=YES",
        "allow_anon_ssl=YES",
        "force_anon_logins_ssl=YES",
        "force_anon_data_ssl=YES",
        "rsa_cert_file=%s" % cert,
        "rsa_private_key_file=%s" % key,
        # vsftpd's own default list names a cipher OpenSSL 3 no longer offers.
        "ssl_ciphers=HIGH",
        "require_ssl_reuse=%s" % ("YES" if ssl_reuse else "NO"),
    ]


def config(port, root, work, tls=()):
    lines = [
        "listen=YES",
        "listen_ipv6=NO",
        "listen_address=127.0.0.1",
        "listen_port=%d" % port,
        "background=NO",
        "anonymous_enable=YES",
        "no_anon_password=NO",
        "local_enable=NO",
        "write_enable=NO",
        "anon_root=%s" % root,
        "ftp_username=ftp",
        "secure_chroot_dir=%s" % os.path.join(work, "empty"),
        # Containers refuse the sandbox's system calls and new network namespaces.
        "seccomp_sandbox=NO",
        "isolate=NO",
        "isolate_network=NO",
        "pasv_enable=YES",
        "log_ftp_protocol=YES",
        "vsftpd_log_file=%s" % os.path.join(work, "vsftpd.log"),
        "xferlog_enable=YES",
        "xferlog_std_format=NO",
        "syslog_enable=NO",
    ] + list(tls)
    if os.geteuid() != 0:
        lines.append("run_as_launching_user=YES")
    return "\n".join(lines) + "\n"


def answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            return s.recv(4).startswith(b"220")
    except OSError:
        return False


def start(root, work, tls):
    """Starts vsftpd on a free port; (process, port), or (None, reason)."""
    reason = ""
    for _ in range(5):  # another program may take the port first
        port = free_port()
        conf = os.path.join(work, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write(config(port, root, work, tls))
        # vsftpd writes its errors to file descriptor 0, where it expects a client.
        errors = open(os.path.join(work, "errors.txt"), "w+")
        process = subprocess.Popen(
            ["/usr/sbin/vsftpd", conf], stdin=errors, stdout=subprocess.DEVNULL,
            preexec_fn=lambda: ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGKILL))
        deadline = time.monotonic() + 10
        while process.poll() is None and time.monotonic() < deadline:
            if answers(port):
                return process, port
            time.sleep(0.01)
        if process.poll() is None:
            process.kill()
        errors.seek(0)
        reason = errors.read().strip() or "vsftpd did not answer"
    return None, reason


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--tls-cert", default="")
    parser.add_argument("--tls-key", default="")
    parser.add_argument("--no-ssl-reuse", action="store_true")
    args = parser.parse_args()
    tls = tls_config(os.path.abspath(args.tls_cert) if args.tls_cert else "",
                     os.path.abspath(args.tls_key) if args.tls_key else "",
                     not args.no_ssl_reuse)
    os.makedirs(os.path.join(args.work, "empty"), exist_ok=True)
    process, port = start(os.path.abspath(args.root), os.path.abspath(args.work), tls)
    if process is None:
        print("vsftpd: %s" % port, file=sys.stderr, flush=True)
        return 1
    signal.signal(signal.SIGTERM, lambda *_: (process.kill(), sys.exit(0)))
    print(port, flush=True)
    return process.wait()


if __name__ == "__main__":
    sys.exit(main())
