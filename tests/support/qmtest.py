"""What the Python tests of the tools and the bench share: files read and
written whole, a release description and product files written into a
scratch folder, LZ files expanded, and the release read through the
release tools' own reader (tools/mkrelease), never through a walk of our own.

    sys.path.insert(0, "<repo>/tests/support"); import qmtest
"""
import os
import re
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "mkrelease"))
import mkrelease  # noqa: E402

SZDD = b"SZDD\x88\xf0\x27\x33"   # the magic of an LZ-compressed file


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    """Writes bytes, or text as UTF-8, as the whole file."""
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


def write_files(folder, files):
    """Each {name: bytes or text} as a file in folder (made if need be)."""
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        write(os.path.join(folder, name), data)


def write_release(folder, manifest, disks, billboard, version="1.0.0"):
    """A release description of four texts in folder."""
    write_files(folder, {"manifest.txt": manifest, "disks.txt": disks, "billboard.txt": billboard,
                         "version.txt": version + "\n"})


def expand(path):
    """The bytes of an LZ file, expanded by msexpand."""
    with open(path, "rb") as source:
        return subprocess.run(["msexpand"], stdin=source, capture_output=True, check=True).stdout


def by_upper_name(folder):
    """{NAME: path} of the files in folder: Windows names ignore letter case."""
    return {n.upper(): os.path.join(folder, n) for n in os.listdir(folder) if n != ".mkmedium"}


def release_file_names(folder):
    """The file names of the release's manifest, in order, as the release
    tools read them."""
    release = mkrelease.read_release(folder)
    return [name for _, name in mkrelease.file_entries(release.entries())]


def install_tree(entries, renamed=None):
    """[(relative path parts, manifest name)] of every file a manifest
    installs, samples included, in install order, and the set of its
    directories (upper-case path tuples). A name installed twice into one
    directory counts once (the later copy is the same file). renamed maps an
    upper-case name to the name it is installed under."""
    renamed = renamed or {}
    files = {}
    dirs = set()
    place = []
    i = 0
    while i < len(entries):
        text = entries[i]
        if text == mkrelease.DIR_START:
            place.append(entries[i + 1])
            dirs.add(tuple(p.upper() for p in place))
            i += 2
            continue
        if text == mkrelease.DIR_END:
            place.pop()
        elif text != mkrelease.FINISHED:
            parts = tuple(place + [renamed.get(text.upper(), text)])
            files.setdefault(tuple(p.upper() for p in parts), (parts, text))
        i += 1
    return list(files.values()), dirs


def signing_identity(folder):
    """A throwaway certificate authority and a code-signing certificate it
    issued, made with openssl in folder: {name: path} of ca.pem, ca.key,
    cert.pem, key.pem, id.p12 (cert and key sealed with the password in
    password.txt) and expired.pem (the same key, certified for 30 days a
    year ago)."""
    os.makedirs(folder, exist_ok=True)
    path = {n: os.path.join(folder, n) for n in ("ca.pem", "ca.key", "cert.pem", "key.pem",
                                                  "id.p12", "password.txt", "expired.pem")}
    request, usage = os.path.join(folder, "cert.csr"), os.path.join(folder, "usage.cnf")
    write(path["password.txt"], "throwaway\n")
    write(usage, "extendedKeyUsage=codeSigning\n")

    def openssl(*args, clock=()):
        subprocess.run(list(clock) + ["openssl"] + list(args), check=True, capture_output=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path["ca.key"],
            "-out", path["ca.pem"], "-days", "30", "-subj", "/CN=Quillmark Test CA")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path["key.pem"], "-out", request,
            "-subj", "/CN=Quillmark Test Signer/O=Quillmark")
    for cert, clock in (("cert.pem", ()), ("expired.pem", ("faketime", "-f", "-365d"))):
        openssl("x509", "-req", "-in", request, "-CA", path["ca.pem"], "-CAkey", path["ca.key"],
                "-set_serial", str(len(clock) + 1), "-days", "30", "-extfile", usage,
                "-out", path[cert], clock=clock)
    openssl("pkcs12", "-export", "-in", path["cert.pem"], "-inkey", path["key.pem"],
            "-out", path["id.p12"], "-passout", "file:" + path["password.txt"])
    return path


def pending_renames(prefix):
    """The renames and removals a Wine prefix's next start will carry out
    (PendingFileRenameOperations), read from its saved registry without
    starting Wine, whose first program would carry them out: [(source,
    target)], target "" for a removal, names as stored (\??\C:\...).
    Wine saves the value as str(7):"...", its NULs and backslashes escaped,
    or, in pieces over several lines, as hex(7) UTF-16 bytes."""
    key = "[system\\\\currentcontrolset\\\\control\\\\session manager]"
    value, inside, text = None, False, ""
    with open(os.path.join(prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if value is not None and value.endswith("\\"):
                value = value[:-1] + line.strip()
                continue
            if line.startswith("["):
                inside = line.lower().startswith(key + " ") or line.lower() == key
            elif inside and line.startswith('"PendingFileRenameOperations"='):
                value = line.split("=", 1)[1]
    if value is None:
        return []
    if value.startswith('str(7):"'):
        escapes = {"0": "\0", "\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t"}
        body = value[len('str(7):"'):-1]
        text = re.sub(r'\\x([0-9a-fA-F]{1,4})|\\(.)',
                      lambda m: chr(int(m.group(1), 16)) if m.group(1) else escapes.get(m.group(2), m.group(2)), body)
    elif value.startswith("hex(7):"):
        text = bytes(int(b, 16) for b in value[len("hex(7):"):].split(",") if b).decode("utf-16-le")
    names = text.split("\0")
    return [(source, target) for source, target in zip(names[0::2], names[1::2]) if source]


if __name__ == "__main__" and sys.argv[1:2] == ["pending-renames"]:
    # For make fleet: qmtest.py pending-renames PREFIX, one "source<TAB>target" a line
    for source, target in pending_renames(sys.argv[2]):
        print("%s\t%s" % (source, target))

if __name__ == "__main__" and sys.argv[1:2] == ["signing-identity"]:
    # For the shell fixtures: qmtest.py signing-identity FOLDER
    signing_identity(sys.argv[2])
