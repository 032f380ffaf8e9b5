"""Checks Authenticode signatures with osslsigncode against the build's signing
certificate. The build passes the tool, the certificate and the trusted
certificates in the environment (see cmake/Signing.cmake)."""
import hashlib
import os
import pathlib
import re
import ssl
import subprocess

OSSLSIGNCODE = os.environ.get("KELVRA_OSSLSIGNCODE", "osslsigncode")
CERTIFICATE = pathlib.Path(os.environ.get("KELVRA_SIGNING_CERT", ""))
CA_FILE = pathlib.Path(os.environ.get("KELVRA_SIGNING_CA_FILE", ""))

_PEM_CERTIFICATE = re.compile(r"-----BEGIN CERTIFICATE-----.+?-----END CERTIFICATE-----", re.S)


def leaf_hash():
    """SHA-256 of the signing certificate (the first one of its PEM file), DER form."""
    first = _PEM_CERTIFICATE.search(CERTIFICATE.read_text()).group(0)
    return hashlib.sha256(ssl.PEM_cert_to_DER_cert(first)).hexdigest().upper()


def verify(path, signer_hash=None, tsa_certificate=None):
    """osslsigncode's verdict on path: (passed, output). Passing means a SHA-256
    signature whose digest matches the file, made with the certificate of
    signer_hash (default: the build's), which chains to CA_FILE, and a PE
    checksum that matches too. A timestamp is checked against tsa_certificate."""
    timestamp = ["-TSA-CAfile", str(tsa_certificate)] if tsa_certificate else []
    result = subprocess.run([OSSLSIGNCODE, "verify", "-CAfile", str(CA_FILE), *timestamp,
                             "-require-leaf-hash", "sha256:" + (signer_hash or leaf_hash()), "-in", str(path)],
                            capture_output=True, text=True, timeout=120)
    output = result.stdout + result.stderr
    checksum_wrong = "invalid PE checksum" in output or "MISMATCH" in output
    passed = (result.returncode == 0 and "Message digest algorithm  : SHA256" in output
              and "Signature verification: ok" in output and not checksum_wrong)
    return passed, output


def subject(certificate=CERTIFICATE):
    """The certificate's subject as Windows writes it: its names in their order, ", " between."""
    result = subprocess.run(["openssl", "x509", "-in", str(certificate), "-noout", "-subject", "-nameopt",
                             "sep_comma_plus_space,utf8"], capture_output=True, text=True, timeout=60, check=True)
    return result.stdout.strip().removeprefix("subject=")


def make_certificate(folder, name):
    """A self-signed code-signing certificate and its key in folder: (certificate, key)."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    certificate, key = folder / "certificate.pem", folder / "key.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-nodes", "-days", "30", "-subj", name,
                    "-addext", "basicConstraints=critical,CA:FALSE", "-addext", "keyUsage=critical,digitalSignature",
                    "-addext", "extendedKeyUsage=codeSigning", "-keyout", str(key), "-out", str(certificate)],
                   capture_output=True, timeout=120, check=True)
    return certificate, key


def sign(source, target, certificate, key):
    result = subprocess.run([OSSLSIGNCODE, "sign", "-h", "sha256", "-certs", str(certificate), "-key", str(key),
                             "-in", str(source), "-out", str(target)], capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr


def remove_signature(source, target):
    result = subprocess.run([OSSLSIGNCODE, "remove-signature", "-in", str(source), "-out", str(target)],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
