#!/usr/bin/env bash
# Signs Windows DLLs, programs and MSI packages in place, SHA-256, when the build is given
# a code-signing certificate: LARK_SIGN_PKCS12 names a PKCS#12 file, LARK_SIGN_PASSWORD
# (from the environment only, so that it is never written into a build file) holds its
# password, LARK_SIGN_TIMESTAMP_URL, when set, names a timestamp server, and
# LARK_SIGN_NAME, when set, the product name that Windows shows for the signature.
# Without a certificate it signs nothing.
#   sign.sh FILE...
set -euo pipefail
[[ -n ${LARK_SIGN_PKCS12:-} ]] || exit 0
for file in "$@"; do
  args=(sign -pkcs12 "$LARK_SIGN_PKCS12" -h sha256 -in "$file" -out "$file.signed")
  [[ -n ${LARK_SIGN_NAME:-} ]] && args+=(-n "$LARK_SIGN_NAME")
  [[ -n ${LARK_SIGN_TIMESTAMP_URL:-} ]] && args+=(-ts "$LARK_SIGN_TIMESTAMP_URL")
  # The password goes through a pipe, never on a command line that others can read.
  if ! osslsigncode "${args[@]}" -readpass <(printf '%s' "${LARK_SIGN_PASSWORD:-}") >"$file.sign-log" 2>&1; then
    cat "$file.sign-log" >&2
    rm -f "$file.signed" "$file.sign-log"
    echo "sign.sh: cannot sign $file" >&2
    exit 1
  fi
  rm -f "$file.sign-log"
  mv "$file.signed" "$file"
done
