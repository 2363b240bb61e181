#!/usr/bin/env bash
# Code signing with a throwaway authority: a certificate authority and a code-signing
# certificate made with openssl, every artifact signed by the build's own signing script,
# and each one accepted by osslsigncode against that authority; a byte changed in a
# signed DLL, an unsigned file and another authority are each refused.
#   signing-test.sh ARTIFACT...
set -uo pipefail
sign=$(cd "$(dirname "$0")/../../cmake" && pwd)/sign.sh
artifacts=()
for artifact in "$@"; do
  [[ -f $artifact ]] || { echo "signing: no artifact $artifact" >&2; exit 1; }
  artifacts+=("$(realpath "$artifact")")
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0 failed=0
expect() {  # expect WANTED-STATUS WHAT COMMAND...
  local wanted=$1 what=$2
  shift 2
  if "$@" >check.log 2>&1; then status=0; else status=1; fi
  if [[ $status == "$wanted" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "signing: $what: wanted exit $wanted, got $status" >&2
    tail -n 5 check.log >&2
  fi
}

authority() {  # authority NAME: a self-signed certificate authority NAME.pem with its key
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 -subj "/CN=Larkspindle test $1" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
authority authority && authority stranger || { echo "signing: openssl cannot make an authority" >&2; exit 1; }
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Larkspindle test signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.cnf
openssl x509 -req -in signer.csr -CA authority.pem -CAkey authority.key -CAcreateserial -out signer.pem -days 2 \
  -extfile signer.cnf 2>/dev/null
openssl pkcs12 -export -out signer.p12 -inkey signer.key -in signer.pem -passout pass:throwaway

signed=()
for artifact in "${artifacts[@]}"; do
  copy=$work/${#signed[@]}-$(basename "$artifact")  # both builds share their names
  cp "$artifact" "$copy"
  expect 1 "$(basename "$artifact") is refused before the test signs it" osslsigncode verify -CAfile authority.pem -in "$copy"
  signed+=("$copy")
done
expect 0 "the signing script signs" env LARK_SIGN_PKCS12=signer.p12 LARK_SIGN_PASSWORD=throwaway bash "$sign" "${signed[@]}"
expect 1 "a wrong password signs nothing" env LARK_SIGN_PKCS12=signer.p12 LARK_SIGN_PASSWORD=wrong bash "$sign" "${signed[0]}"
for copy in "${signed[@]}"; do
  expect 0 "$(basename "$copy") verifies against the authority" osslsigncode verify -CAfile authority.pem -in "$copy"
  expect 1 "$(basename "$copy") is refused against another authority" osslsigncode verify -CAfile stranger.pem -in "$copy"
done
# One byte of code changed after signing: the digest no longer matches.
tampered=$work/tampered.dll
cp "${signed[0]}" "$tampered"
printf '\x5a' | dd of="$tampered" bs=1 seek=5000 conv=notrunc 2>/dev/null
expect 1 "a tampered DLL is refused" osslsigncode verify -CAfile authority.pem -in "$tampered"
echo "signing: $passed passed, $failed failed"
((failed == 0))
