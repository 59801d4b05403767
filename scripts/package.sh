#!/usr/bin/env bash
# Builds the Debian package of Quarvel with CPack: quarvel_VERSION-1_ARCH.deb in
# build-package/, the window and quarvel-cli under /usr, its library
# dependencies read from the programs by dpkg-shlibdeps. Install it with
#   sudo apt-get install ./build-package/quarvel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_BENCH=OFF
cmake --build build-package
rm -f build-package/quarvel_*.deb
(cd build-package && cpack -G DEB)
package=$(ls build-package/quarvel_*.deb)
dpkg-deb --info "$package"
echo "Built $package"
