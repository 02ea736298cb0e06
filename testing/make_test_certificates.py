#!/usr/bin/env python3
"""Makes the certificates of the https tests in one folder: a test CA (ca.pem) and, each with its
key (NAME.pem, NAME.key), server certificates for localhost (also by its address 127.0.0.1; Wine
matches host names only) that a client trusting only that CA must take or refuse:
  trusted       signed by the CA, valid now
  future        signed by the CA, valid only from ten years ahead (a client whose clock is
                wrong must still take it)
  other_host    signed by the CA, for another host name
  self_signed   signed by itself
  bad_signature naming the CA as its issuer, signed by another key
"""
import datetime
import ipaddress
import pathlib
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, utils
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID


def name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def signed(builder, key):
    """The builder's certificate signed by `key`, with a signature whose r and s both take their
    full 32 bytes: Wine's crypt32 refuses an ECDSA signature with a shorter one (about one in 128
    signatures), which would fail a test at random. Signing again draws another nonce."""
    for _ in range(100):
        certificate = builder.sign(key, hashes.SHA256())
        r, s = utils.decode_dss_signature(certificate.signature)
        if r.bit_length() > 248 and s.bit_length() > 248:
            return certificate
    raise RuntimeError("no full-length signature in 100 tries")


def write(folder, stem, certificate, key):
    (folder / f"{stem}.pem").write_bytes(certificate.public_bytes(serialization.Encoding.PEM))
    if key is not None:
        (folder / f"{stem}.key").write_bytes(key.private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
            serialization.NoEncryption()))


def main(folder):
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    year = datetime.timedelta(days=365)

    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca = (x509.CertificateBuilder()
          .subject_name(name("Horalux test CA")).issuer_name(name("Horalux test CA"))
          .public_key(ca_key.public_key()).serial_number(x509.random_serial_number())
          .not_valid_before(now - year).not_valid_after(now + 30 * year)
          .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
          .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False),
                         critical=True))
    ca = signed(ca, ca_key)
    write(folder, "ca", ca, None)

    def server(stem, host_names, ip, not_before, not_after, signer_key, issuer):
        key = ec.generate_private_key(ec.SECP256R1())
        alternative = [x509.DNSName(host) for host in host_names]
        if ip:
            alternative.append(x509.IPAddress(ipaddress.ip_address(ip)))
        subject = name(host_names[0])
        builder = (x509.CertificateBuilder()
                   .subject_name(subject).issuer_name(issuer or subject)
                   .public_key(key.public_key()).serial_number(x509.random_serial_number())
                   .not_valid_before(not_before).not_valid_after(not_after)
                   .add_extension(x509.SubjectAlternativeName(alternative), critical=False)
                   .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                                  critical=False))
        write(folder, stem, signed(builder, signer_key or key), key)

    ca_name = ca.subject
    server("trusted", ["localhost"], "127.0.0.1", now - year, now + 10 * year, ca_key, ca_name)
    server("future", ["localhost"], "127.0.0.1", now + 10 * year, now + 11 * year, ca_key, ca_name)
    server("other_host", ["web.example"], None, now - year, now + 10 * year, ca_key, ca_name)
    server("self_signed", ["localhost"], "127.0.0.1", now - year, now + 10 * year, None, None)
    server("bad_signature", ["localhost"], "127.0.0.1", now - year, now + 10 * year,
           ec.generate_private_key(ec.SECP256R1()), ca_name)


if __name__ == "__main__":
    main(sys.argv[1])
