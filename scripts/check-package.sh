#!/usr/bin/env bash
# Installs the package built by scripts/package.sh into a fresh Debian 12 root
# (debootstrap, minimal base) that has never seen the sources, and runs it
# there: the versions, a sunspot run whose results must equal those of the
# build folder's quarvel-cli, the same run from the Python package with the
# system's python3, the manual page, and the window on Qt's offscreen platform. Needs root, debootstrap and Debian's mirror; prints each command
# before its output.
#   check-package.sh [PACKAGE.deb] [ROOT-FOLDER]   (default /tmp/quarvel-debian12)
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(realpath "${1:-$(ls build-package/quarvel_*.deb)}")
root=${2:-/tmp/quarvel-debian12}
examples=/usr/share/quarvel/examples

show() {
  echo "\$ $*" >&2
  "$@"
}
in_root() {
  show chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"
}

if [[ ! -x $root/usr/bin/apt-get ]]; then
  show debootstrap --variant=minbase bookworm "$root" >/dev/null
fi
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
cp "$package" "$root/tmp/"

in_root apt-get update -qq
in_root sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y ./$(basename "$package")" |
  grep -E '^(Note|[0-9]+ upgraded|Setting up quarvel)'
in_root dpkg -s quarvel | grep -E '^(Status|Version|Depends|Recommends):'
# man-db is not in a minimal base; a user who reads manual pages has it.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq man-db >/dev/null

in_root quarvel-cli --version
in_root quarvel --version
in_root sh -c "cd /tmp && rm -rf sunspots-results && quarvel-cli \
  --training $examples/sunspots-training.txt --validation $examples/sunspots-validation.txt \
  --history sunspots-history.csv --output sunspots-results | tail -n 3 && ls sunspots-results"
in_root sh -c 'cd /tmp && sha256sum sunspots-history.csv sunspots-results/*' |
  tee /tmp/quarvel-package-sums.txt

# The same run from the build folder: the package gives the same results.
local_run=$(mktemp -d)
build-package/cli/quarvel-cli --quiet --training examples/sunspots-training.txt \
  --validation examples/sunspots-validation.txt --history "$local_run/sunspots-history.csv" \
  --output "$local_run/sunspots-results"
if (cd "$local_run" && sha256sum --quiet -c <(sed -n '/^[0-9a-f]\{64\} /p' /tmp/quarvel-package-sums.txt)); then
  echo "sunspot results in the fresh root equal those of build-package/cli/quarvel-cli"
else
  echo "sunspot results in the fresh root differ from build-package/cli/quarvel-cli" >&2
  exit 1
fi
rm -rf "$local_run"

# The Python package with the system's python3: the same sunspot run, its files
# those of the package's quarvel-cli above.
in_root python3 -c 'import quarvel; print(quarvel.__version__)'
in_root python3 -c "
import numpy as np, quarvel
model = quarvel.Forecaster().fit(np.loadtxt('$examples/sunspots-training.txt'),
                                 validation=np.loadtxt('$examples/sunspots-validation.txt'))
model.export('/tmp/sunspots-python')
print('validation MAE', model.accuracy_['mae'])"
if in_root sh -c 'cd /tmp && cmp sunspots-history.csv sunspots-python/history.csv &&
    for f in sunspots-results/*; do cmp "$f" "sunspots-python/${f#*/}" || exit 1; done'; then
  echo "sunspot results of the Python package equal those of quarvel-cli in the fresh root"
else
  echo "sunspot results of the Python package differ from quarvel-cli's" >&2
  exit 1
fi

in_root env MANWIDTH=100 man quarvel-cli | sed 's/.\x08//g' | sed -n '1,8p;/^ *--/p'
in_root env MANWIDTH=100 man quarvel | sed 's/.\x08//g' | sed -n '1,9p'

# The window starts and loads a file from its command line; it runs until stopped.
in_root sh -c "timeout 5 quarvel -platform offscreen $examples/sunspots-training.txt; echo \"quarvel ran until stopped by timeout (status \$?)\""
in_root sh -c 'ldd /usr/bin/quarvel /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so | grep -c "not found" || true'
