#!/usr/bin/env bash
# A publisher's self-extractor through the real stub under Wine: mksfx with an icon,
# version texts and an execution level; the image checksum over the whole file; signed
# by osslsigncode with a certificate made here, the signature verified; then the test
# driver's Publisher case reads the resources back through the system's calls and
# extracts the signed file (its payload reader must pass over the certificate table).
#   publisher_wine.sh WORK_FOLDER STUB MKSFX_EXE TEST_DRIVER EMULATOR...
set -uo pipefail
work=$1 stub=$2 mksfx=$3 driver=$4
shift 4
emulator=("$@")
windows() { printf 'Z:%s' "${1//\//\\}"; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work"
mkdir -p "$work/src/docs"
printf 'read me\n' > "$work/src/readme.txt"
head -c 200000 /dev/urandom > "$work/src/docs/data.bin"
(cd "$work/src" && 7z a -bd -bso0 -bsp0 ../a.7z readme.txt docs) || exit 1
# The publisher's icon: one 32-pixel 16-colour picture, a red square on a clear ground.
python3 - "$work/red.ico" <<'PY'
import struct, sys
side = 32
rows = b"".join((b"\x00" * 4 + b"\x11" * 8 + b"\x00" * 4) if 8 <= y < 24 else b"\x00" * 16 for y in range(side))
mask = b"".join((b"\xff\x00\x00\xff" if 8 <= y < 24 else b"\xff" * 4) for y in range(side))
palette = bytes(4) + bytes((0x1E, 0x1E, 0xC8, 0)) + bytes(56)
bitmap = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 4, 0, len(rows) + len(mask), 0, 0, 0, 0) + palette + rows + mask
open(sys.argv[1], "wb").write(struct.pack("<HHHBBBBHHII", 0, 1, 1, side, side, 16, 0, 1, 4, len(bitmap), 22) + bitmap)
PY
"${emulator[@]}" "$mksfx" --stub "$(windows "$stub")" --archive "$(windows "$work/a.7z")" -o "$(windows "$work/sfx.exe")" \
  --icon "$(windows "$work/red.ico")" --version "product-name=Leaf Tools" --version "company=Exämple Publisher ✓" \
  --version file-version=2.5.0.17 --elevation highest-available >"$work/mksfx.log" 2>&1 ||
  { echo "mksfx failed: $(cat "$work/mksfx.log")"; exit 1; }

# The checksum field against the sum computed here over the whole file.
python3 - "$work/sfx.exe" <<'PY' || fail "the image checksum"
import struct, sys
data = open(sys.argv[1], "rb").read()
at = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
stored = struct.unpack_from("<I", data, at)[0]
padded = data + b"\0" * (len(data) % 2)
total = 0
for i in range(0, len(padded), 2):
    if i not in (at, at + 2):
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
computed = ((total & 0xFFFF) + (total >> 16)) + len(data)
if stored != computed:
    sys.exit(print(f"stored {stored:#x}, computed {computed:#x}") or 1)
PY

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Test Publisher" -keyout "$work/key.pem" \
  -out "$work/cert.pem" >/dev/null 2>&1 || { echo "openssl failed"; exit 1; }
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Leaf Tools" -in "$work/sfx.exe" \
  -out "$work/signed.exe" >"$work/sign.log" 2>&1 || fail "osslsigncode sign: $(cat "$work/sign.log")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
  fail "osslsigncode verify: $(tail -5 "$work/verify.log")"
grep -q "Signature verification: ok" "$work/verify.log" || fail "the signature is not verified: $(tail -5 "$work/verify.log")"
[ "$(stat -c %s "$work/signed.exe")" -gt "$(stat -c %s "$work/sfx.exe")" ] || fail "no certificate table appended"

SZSFX_PUBLISHER_SFX="$(windows "$work/signed.exe")" SZSFX_PUBLISHER_SOURCE="$(windows "$work/src")" \
  "${emulator[@]}" "$driver" --gtest_filter=Publisher.* >"$work/driver.log" 2>&1 ||
  fail "the Publisher case: $(grep -E 'Failure|Expected|Which is|error' "$work/driver.log" | head -20)"
grep -q "\[  PASSED  \] 1 test" "$work/driver.log" || fail "the Publisher case did not run: $(tail -5 "$work/driver.log")"
[ "$failed" -eq 0 ] && echo "publisher's self-extractor: built, signed, verified, read back and extracted"
exit "$failed"
