#!/usr/bin/env python3
"""Signs SETUP.EXE with Authenticode for a release, or passes it on unsigned.

    mksign.py --in SETUP.EXE --out SIGNED.EXE --note NOTE --time SECONDS
              [--cert CERT.pem --key KEY.pem | --pkcs12 ID.p12]
              [--pass-file FILE] [--ca CA.pem]

With a certificate and its key, or a PKCS#12 file, OUT is IN signed by
Debian's osslsigncode, the signing time the release time (--time), so that
the same program and identity give the same bytes. A password (of the
PKCS#12 file or of an encrypted key) is read from --pass-file, never taken
on the command line. The signature is verified (osslsigncode verify) against
--ca, or the system's certificate authorities, before OUT is written. NOTE
receives the line release.txt shows: "signed by <subject>, SHA-256
<fingerprint>", or "unsigned" when no identity is given (OUT is then IN).

Refused, in one line and with OUT and NOTE left as they were: a missing
file, a key that does not belong to the certificate, a wrong password, a
certificate that has expired, a key other than RSA (ECDSA and DSA sign
differently each time, so the release would not be reproducible), a
signature that does not verify. The signed program is sealed again
(tools/pesum): its seal and header checksum hold for the signed file.
"""
import argparse
import os
import subprocess
import sys
import tempfile

PESUM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pesum", "pesum.py")


class SignError(Exception):
    pass


def run(args, what):
    """Runs a tool; its output, or a SignError with what failed and the
    tool's last line."""
    result = subprocess.run(args, capture_output=True, text=True)
    if result.returncode != 0:
        lines = (result.stderr.strip() or result.stdout.strip()).splitlines()
        raise SignError("%s (%s: %s)" % (what, args[0], lines[-1].strip() if lines else
                                         "exit %d" % result.returncode))
    return result.stdout


def need(path, what):
    if not os.path.isfile(path):
        raise SignError("%s: no such file (%s)" % (path, what))


def identity(args, work):
    """The certificate as PEM and the osslsigncode options naming the
    identity; checks the password and that key and certificate match."""
    password = ["-passin", "file:" + args.pass_file] if args.pass_file else ["-passin", "pass:"]
    if args.pkcs12:
        need(args.pkcs12, "the PKCS#12 file")
        cert = os.path.join(work, "cert.pem")
        # Reading the file proves the password: PKCS#12 files are sealed with it.
        pem = subprocess.run(["openssl", "pkcs12", "-in", args.pkcs12, "-clcerts", "-nokeys"]
                             + password, capture_output=True, text=True)
        if pem.returncode != 0 or "BEGIN CERTIFICATE" not in pem.stdout:
            raise SignError("%s: cannot be opened: wrong password%s" % (
                args.pkcs12, " (in %s)" % args.pass_file if args.pass_file else
                ", or it needs one (give a pass file)"))
        with open(cert, "w") as f:
            f.write(pem.stdout)
        options = ["-pkcs12", args.pkcs12]
    else:
        need(args.cert, "the certificate")
        need(args.key, "the private key")
        cert = args.cert
        key_public = subprocess.run(["openssl", "pkey", "-in", args.key, "-pubout"] + password,
                                    capture_output=True, text=True)
        if key_public.returncode != 0:
            raise SignError("%s: cannot read the private key: wrong password or not a key" % args.key)
        cert_public = run(["openssl", "x509", "-in", cert, "-noout", "-pubkey"],
                          "%s: not a certificate" % cert)
        if key_public.stdout != cert_public:
            raise SignError("%s: the key does not belong to the certificate %s" % (args.key, cert))
        options = ["-certs", cert, "-key", args.key]
    if args.pass_file:
        options += ["-readpass", args.pass_file]
    return cert, options


def describe(cert, shown):
    """(subject, SHA-256 fingerprint) of the signing certificate; refuses one
    that has expired. shown names it in a refusal."""
    expiry = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-checkend", "0",
                             "-enddate"], capture_output=True, text=True)
    if expiry.returncode != 0:
        ended = [line.partition("=")[2] for line in expiry.stdout.splitlines()
                 if line.startswith("notAfter=")] or ["an unreadable date"]
        raise SignError("%s: the certificate expired on %s" % (shown, ended[0]))
    out = run(["openssl", "x509", "-in", cert, "-noout", "-subject", "-fingerprint", "-sha256",
               "-nameopt", "RFC2253"], "%s: not a certificate" % cert)
    fields = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return fields["subject"].strip(), fields["sha256 Fingerprint"].strip()


def require_rsa(cert, shown):
    """Refuses a key other than RSA: ECDSA and DSA signatures take a random
    number, so the same release signed twice would differ."""
    text = run(["openssl", "x509", "-in", cert, "-noout", "-text"], "%s: not a certificate" % cert)
    kinds = [line.partition(":")[2].strip() for line in text.splitlines()
             if line.strip().startswith("Public Key Algorithm:")]
    kind = kinds[0] if kinds else "unknown"
    if kind != "rsaEncryption":
        named = {"id-ecPublicKey": "ECDSA", "dsaEncryption": "DSA"}.get(kind, kind)
        raise SignError("%s: %s keys sign differently each time, so the release would not be "
                        "reproducible: sign with an RSA key" % (shown, named))


def sign(args, work):
    cert, options = identity(args, work)
    subject, fingerprint = describe(cert, args.pkcs12 or cert)
    require_rsa(cert, args.pkcs12 or cert)
    signed = os.path.join(work, "signed.exe")
    run(["osslsigncode", "sign"] + options + ["-n", "Quillmark Professional Installation",
         "-h", "sha256", "-st", str(args.time), "-in", args.input, "-out", signed],
        "%s: signing failed" % args.input)
    # The seal and the header's checksum, written again over the signed file.
    run([sys.executable, PESUM, signed], "%s: sealing the signed program failed" % args.input)
    verify = ["osslsigncode", "verify", "-in", signed] + (["-CAfile", args.ca] if args.ca else [])
    run(verify, "the signed %s does not verify against %s" % (
        os.path.basename(args.input), args.ca if args.ca else
        "the system's authorities; SIGN_CA names a company's own authority"))
    return signed, "signed by %s, SHA-256 %s" % (subject, fingerprint)


def replace(path, data):
    """Writes path through a temporary file beside it; a file that already
    holds the bytes keeps its date, so that what is made from it is not
    made again."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def build(args):
    need(args.input, "the program to sign")
    if args.ca:
        need(args.ca, "the certificate authority")
    if args.pass_file:
        need(args.pass_file, "the password file")
    if bool(args.cert) != bool(args.key) or (args.pkcs12 and args.cert):
        raise SignError("give --cert with --key, or --pkcs12")
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        if args.cert or args.pkcs12:
            signed, note = sign(args, work)
        else:
            signed, note = args.input, "unsigned"
        replace(args.out, read(signed))
    replace(args.note, (note + "\n").encode())
    return note


def main(argv):
    parser = argparse.ArgumentParser(description="Signs SETUP.EXE with Authenticode.")
    parser.add_argument("--in", dest="input", required=True, help="the program")
    parser.add_argument("--out", required=True, help="the signed program to write")
    parser.add_argument("--note", required=True, help="file for release.txt's signature line")
    parser.add_argument("--time", type=int, required=True, help="the signing time, seconds "
                        "since 1970 (the release time)")
    parser.add_argument("--cert", help="the signing certificate (PEM), with --key")
    parser.add_argument("--key", help="its private key (PEM)")
    parser.add_argument("--pkcs12", help="certificate and key in one PKCS#12 file")
    parser.add_argument("--pass-file", help="file whose first line is the password")
    parser.add_argument("--ca", help="certificate authorities to verify the signature against")
    args = parser.parse_args(argv[1:])
    try:
        print("SETUP.EXE: %s" % build(args))
    except SignError as e:
        sys.stderr.write("mksign: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
