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


def remove_signature(source, target):
    result = subprocess.run([OSSLSIGNCODE, "remove-signature", "-in", str(source), "-out", str(target)],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
