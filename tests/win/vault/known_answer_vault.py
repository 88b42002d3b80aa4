#!/usr/bin/env python3
"""Computes the expected TokenVault.dat bytes (version 3) of the known-answer test in
VaultStoreTest.cpp, also the test vector of docs/vault.md, without any of the program's code:
PBKDF2 and HMAC from Python's hashlib/hmac, AES-256-CBC with PKCS#7 padding from the openssl
command line tool. Run it and paste its output into the test when the inputs there change (they
must match the constants below)."""
import hashlib
import hmac
import subprocess

PASSWORD = "P\u00e4ssw\u00f6rd \u2713"
ITERATIONS = 600000
ALPHABET = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ"

# The test's random source hands out 0, 1, 2, ... (mod 256) across all calls, in this order.
stream = bytes(i & 0xFF for i in range(1024))
pos = 0


def take(n):
    global pos
    out = stream[pos:pos + n]
    pos += n
    return out


def aes(key, iv, data):
    return subprocess.run(["openssl", "enc", "-aes-256-cbc", "-K", key.hex(), "-iv", iv.hex()],
                          input=data, capture_output=True, check=True).stdout


def block(secret, salt):
    return hashlib.pbkdf2_hmac("sha256", secret.encode("utf-8"), salt, ITERATIONS, 64)


def escape(text):
    out = []
    for c in text:
        out.append({'"': '\\"', "\\": "\\\\", "\n": "\\n", "\r": "\\r", "\t": "\\t"}.get(c, c))
    return "".join(out)


def document(entries, secrets):
    parts = []
    for e in entries:
        parts.append("{" + ",".join('"%s":"%s"' % (k, escape(v)) for k, v in zip(
            ("id", "token", "botName", "botUsername", "notes"), e)) + "}")
    doc = '{"entries":[' + ",".join(parts) + "]"
    if secrets is not None:
        doc += ',"secrets":{' + ",".join('"%s":"%s"' % (escape(k), escape(v))
                                         for k, v in sorted(secrets.items())) + "}"
    return (doc + "}").encode("utf-8")


# CreateVault
master = take(32)
pw_salt, pw_iv = take(32), take(16)
pw_block = block(PASSWORD, pw_salt)
pw_wrapped = aes(pw_block[:32], pw_iv, master)
key_random = take(24)
grouped = "-".join("".join(ALPHABET[b & 31] for b in key_random[i:i + 4]) for i in range(0, 24, 4))
rc_salt, rc_iv = take(32), take(16)
rc_block = block(grouped.replace("-", ""), rc_salt)
rc_wrapped = aes(rc_block[:32], rc_iv, master)
data_iv = take(16)


mac_key = hmac.new(master, b"WPVLT MAC", hashlib.sha256).digest()


def vault_file(data_iv, plaintext):
    ciphertext = aes(master, data_iv, plaintext)
    counts = ITERATIONS.to_bytes(4, "little") * 2
    header = (b"WPVLT003" + counts + pw_salt + pw_iv + pw_block[32:] + pw_wrapped + rc_salt +
              rc_iv + rc_block[32:] + rc_wrapped + data_iv + len(ciphertext).to_bytes(4, "little"))
    assert len(header) == 292
    return header + ciphertext + hmac.new(mac_key, header + ciphertext, hashlib.sha256).digest()


created = vault_file(data_iv, document([], {}))

# SaveVault with one entry: only a new data IV is drawn.
ENTRIES = [
    ("0011223344556677", "123456:AAbbCC", "\u0411\u043e\u0442 \"\U0001F916\"", "@alpha_bot",
     "line\ttab \\ back\r\n"),
]
saved = vault_file(take(16), document(ENTRIES, {}))


def literal(name, data):
    print("// %d bytes" % len(data))
    print("const char %s[] =" % name)
    hexed = data.hex().upper()
    for i in range(0, len(hexed), 64):
        print('    "%s"' % hexed[i:i + 64] + (";" if i + 64 >= len(hexed) else ""))


# The created file is not printed: the saved one repeats its header but for the data IV and
# length, and carries its (empty) secrets on.
print("// recovery key:", grouped)
literal("kSavedHex", saved)
