#!/bin/sh
# Makes the development certificates in OUTDIR (build tree only, never committed):
#   ca.pem / ca.key                  the development authority that the demo and test builds trust
#   server.pem / server.key          127.0.0.1 and localhost, issued by that authority
#   otherhost.pem / otherhost.key    a host name that is not the server's, issued by the same authority
#   untrusted-ca.pem                 an authority nobody trusts
#   untrusted.pem / untrusted.key    127.0.0.1 and localhost, issued by the untrusted authority
set -eu
out=$1
mkdir -p "$out"
cd "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_ca() { # name subject
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -days 3650 \
        -keyout "$1.key" -out "$1.pem" -subj "$2" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

make_leaf() { # name ca subject-alt-names
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 \
        -keyout "$1.key" -out "$work/$1.csr" -subj "/CN=$1" 2>/dev/null
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' \
        "$3" >"$work/$1.ext"
    openssl x509 -req -in "$work/$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -CAserial "$work/$2.srl" \
        -sha256 -days 825 -extfile "$work/$1.ext" -out "$1.pem" 2>/dev/null
}

make_ca ca "/O=Veltrane Development/CN=Veltrane Development CA"
make_ca untrusted-ca "/O=Nobody/CN=Untrusted Development CA"
make_leaf server ca "IP:127.0.0.1,DNS:localhost"
make_leaf otherhost ca "DNS:other-host.invalid"
make_leaf untrusted untrusted-ca "IP:127.0.0.1,DNS:localhost"
rm -f untrusted-ca.key
chmod 600 ./*.key
