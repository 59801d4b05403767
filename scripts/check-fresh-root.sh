#!/usr/bin/env bash
# Runs the README's test command in a fresh Debian 12 root, as a new user of
# the sources would: a minimal debootstrap root with g++, cmake, git,
# GoogleTest and Google Benchmark, a clean clone of this repository's HEAD,
# then `bash scripts/test.sh` (which installs what else it needs) RUNS times
# in a row, each from a clean clone. Needs root, debootstrap and Debian's
# mirror; not part of the test command.
#   check-fresh-root.sh [RUNS] [ROOT-FOLDER]   (default 3, /tmp/quarvel-fresh-root)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
root=${2:-/tmp/quarvel-fresh-root}

show() {
  echo "\$ $*" >&2
  "$@"
}
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 CI=true "$@"
}

if [[ ! -x $root/usr/bin/apt-get ]]; then
  show debootstrap --variant=minbase bookworm "$root" >/dev/null
fi
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
for place in proc sys dev dev/pts; do
  mount --bind "/$place" "$root/$place"
  mounted+=("$root/$place")
done

in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq g++ cmake git libgtest-dev \
  libbenchmark-dev >/dev/null

rm -rf "$root/tmp/quarvel-source.git"
git clone -q --bare . "$root/tmp/quarvel-source.git"
for ((run = 1; run <= runs; run++)); do
  in_root rm -rf /root/quarvel
  in_root git clone -q /tmp/quarvel-source.git /root/quarvel
  started=$(date +%s)
  if in_root bash -c 'cd /root/quarvel && bash scripts/test.sh' >"/tmp/quarvel-fresh-root-$run.log" 2>&1; then
    echo "run $run of $runs: passed in $(($(date +%s) - started)) s (log /tmp/quarvel-fresh-root-$run.log)"
  else
    echo "run $run of $runs: FAILED after $(($(date +%s) - started)) s; the end of the log:" >&2
    tail -n 40 "/tmp/quarvel-fresh-root-$run.log" >&2
    exit 1
  fi
done
