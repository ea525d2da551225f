#!/usr/bin/env bash
# Makes the certificates of the TLS tests in FOLDER with openssl: a CA of the tests, and
# one key for every server certificate:
#   ca.pem          the tests' CA (what a CaFile names)
#   server.key      the key of all the server certificates below
#   good.pem        for "localhost", from the CA, valid now
#   otherhost.pem   for "other.example", from the CA
#   expired.pem     for "localhost", from the CA, valid only in January 2020
#   selfsigned.pem  for "localhost", signed by itself
# Usage: make_test_certs.sh FOLDER
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
# P-256 keys: made in an instant, unlike RSA ones.
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
key ca.key
key server.key
openssl req -x509 -new -key ca.key -subj "/CN=KR90X test CA" -days 30 -out ca.pem \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"

# request NAME HOST: a certificate request for HOST, with its subjectAltName.
request() {
    openssl req -new -key server.key -subj "/CN=$2" -addext "subjectAltName=DNS:$2" -out "$1.csr"
}
# `openssl ca` rather than `x509 -req`: only it sets a validity in the past.
cat >ca.cnf <<CNF
[ca]
default_ca = tests
[tests]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
copy_extensions = copy
unique_subject = no
[anything]
commonName = supplied
CNF
: >index.txt
echo 1000 >serial
# issue NAME START END: NAME.pem from NAME.csr, signed by the CA.
issue() {
    openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" \
        -out "$1.pem" -startdate "$2" -enddate "$3" 2>/dev/null
}
now=$(date -u +%Y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
request good localhost
issue good "$now" "$later"
request otherhost other.example
issue otherhost "$now" "$later"
request expired localhost
issue expired 20200101000000Z 20200201000000Z
openssl req -x509 -new -key server.key -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost" \
    -days 30 -out selfsigned.pem
