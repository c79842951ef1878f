#!/usr/bin/env bash
# Times whole runs on one file: Corvane's encryption and decryption against
# "openssl enc -bf-cbc" on the same file, best of several runs each.
# Usage: bench/encrypt/run_file_bench.sh [SIZE_MB] [RUNS]    (defaults: 200 MB, 5 runs)
set -euo pipefail
cd "$(dirname "$0")/../.."
size_mb=${1:-200}
runs=${2:-5}
build=${BUILD_DIR:-build}

flock /tmp/corvane-build.lock cmake --build "$build" --target crypt_file >/dev/null
tool=$build/bench/crypt_file
command -v openssl >/dev/null || { echo "openssl is missing (packages.txt lists it)"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-encrypt-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/plain"
# The cipher state, not the key, sets the speed; OpenSSL takes its default 128-bit key.
key=0123456789abcdeffedcba9876543210
iv=0011223344556677
ossl=(openssl enc -bf-cbc -provider legacy -provider default -K "$key" -iv "$iv")
"$tool" E "pass phrase" "$work/plain" "$work/corvane.enc"
"${ossl[@]}" -in "$work/plain" -out "$work/openssl.enc"

# Runs alternate between the four commands, each after a sync so that the write-back of
# an earlier output does not slow a later command; each keeps its shortest wall time.
declare -A best=()
time_one() {
    local name=$1 out=$2
    shift 2
    rm -f "$out"
    sync
    local t0 t1
    t0=$(date +%s.%N)
    "$@"
    t1=$(date +%s.%N)
    best[$name]=$(awk -v a="$t0" -v b="$t1" -v m="${best[$name]:-}" 'BEGIN { d = b - a; print (m == "" || d < m) ? d : m }')
}
for ((i = 0; i < runs; i++)); do
    time_one ce "$work/c.out" "$tool" E "pass phrase" "$work/plain" "$work/c.out"
    time_one oe "$work/o.out" "${ossl[@]}" -in "$work/plain" -out "$work/o.out"
    time_one cd "$work/c.out" "$tool" D "pass phrase" "$work/corvane.enc" "$work/c.out"
    time_one od "$work/o.out" "${ossl[@]}" -d -in "$work/openssl.enc" -out "$work/o.out"
done
cmp -s "$work/plain" "$work/c.out" || { echo "Corvane round trip differs"; exit 1; }
ce=${best[ce]} cd_=${best[cd]} oe=${best[oe]} od=${best[od]}

echo "File of $size_mb MiB, best of $runs runs, $(nproc) cores, $(openssl version | cut -d' ' -f1-2)"
awk -v mb="$size_mb" -v ce="$ce" -v cd="$cd_" -v oe="$oe" -v od="$od" 'BEGIN {
    printf "%-10s %14s %14s %16s\n", "", "Corvane", "OpenSSL", "Corvane/OpenSSL"
    printf "%-10s %8.1f MiB/s %8.1f MiB/s %15.2fx\n", "encrypt", mb / ce, mb / oe, oe / ce
    printf "%-10s %8.1f MiB/s %8.1f MiB/s %15.2fx\n", "decrypt", mb / cd, mb / od, od / cd
}'
echo "Reproduce: bench/encrypt/run_file_bench.sh $size_mb $runs"
