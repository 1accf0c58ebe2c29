#!/bin/sh
# The main job: installs what is needed, builds Brevant.exe, and runs it under Wine on the
# sample project with a stand-in browser registered as the default browser.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-dependencies.sh
./scripts/build.sh
exec python3 scripts/demo.py
