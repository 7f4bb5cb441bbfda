"""Throwaway certificates for the https stand-in server, made with the
openssl command: a test CA, server certificates from it (in date, expired,
for other names) or self-signed, and the pin of a certificate's key.

Every function works in one folder and names files after `name`:
name.key, name.pem (the certificate) and name-chain.pem (certificate, then
the CA's, as a server sends them)."""
import hashlib
import os
import shutil
import subprocess

OPENSSL = shutil.which("openssl") or "/usr/bin/openssl"
EC_KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
LEAF_EXT = "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName={}\n"


def _run(folder, *args):
    subprocess.run([OPENSSL, *args], cwd=folder, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def _write(folder, name, text):
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)


def make_ca(folder, name="ca"):
    _run(folder, "req", "-x509", *EC_KEY, "-keyout", name + ".key", "-out", name + ".pem",
         "-days", "3", "-subj", "/CN=Torvane Test CA", "-addext",
         "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    return os.path.join(folder, name + ".pem")


def make_leaf(folder, name, san, ca="ca", expired=False):
    """A server certificate from `ca` for `san` (e.g. "DNS:localhost,IP:127.0.0.1");
    `expired`: it ran out in 2020. Returns (chain, key) paths."""
    _write(folder, name + ".ext", LEAF_EXT.format(san))
    _run(folder, "req", *EC_KEY, "-keyout", name + ".key", "-out", name + ".csr",
         "-subj", "/CN=" + name)
    if not expired:
        _run(folder, "x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey",
             ca + ".key", "-CAcreateserial", "-days", "2", "-extfile", name + ".ext",
             "-out", name + ".pem")
    else:
        # Dates in the past need the CA tool.
        _write(folder, name + ".cnf",
               "[ca]\ndefault_ca = test\n[test]\ndatabase = %s.index\nnew_certs_dir = .\n"
               "serial = %s.serial\ndefault_md = sha256\npolicy = any\n"
               "[any]\ncommonName = supplied\n" % (name, name))
        _write(folder, name + ".index", "")
        _write(folder, name + ".serial", "1000\n")
        _run(folder, "ca", "-batch", "-config", name + ".cnf", "-cert", ca + ".pem", "-keyfile",
             ca + ".key", "-in", name + ".csr", "-out", name + ".pem", "-notext",
             "-startdate", "20200101000000Z", "-enddate", "20200201000000Z",
             "-extfile", name + ".ext")
    return _chain(folder, name, [name + ".pem", ca + ".pem"])


def make_self_signed(folder, name, san):
    _run(folder, "req", "-x509", *EC_KEY, "-keyout", name + ".key", "-out", name + ".pem",
         "-days", "2", "-subj", "/CN=" + name, "-addext", "subjectAltName=" + san)
    return _chain(folder, name, [name + ".pem"])


def _chain(folder, name, parts):
    chain = os.path.join(folder, name + "-chain.pem")
    with open(chain, "w") as out:
        for part in parts:
            with open(os.path.join(folder, part)) as f:
                out.write(f.read())
    return chain, os.path.join(folder, name + ".key")


def spki_pin(certificate):
    """The pin of a certificate as the operator's guide computes it: SHA-256
    of its DER SubjectPublicKeyInfo, in hex."""
    pem = subprocess.run([OPENSSL, "x509", "-in", certificate, "-pubkey", "-noout"],
                         check=True, capture_output=True).stdout
    der = subprocess.run([OPENSSL, "pkey", "-pubin", "-outform", "der"], input=pem,
                         check=True, capture_output=True).stdout
    return hashlib.sha256(der).hexdigest()
