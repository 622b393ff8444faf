#!/usr/bin/env bash
# Builds the program and the transducer simulator, starts the simulator on a fresh virtual
# serial line, and starts the program in a working directory whose Tervex.ini maps COM1 to
# that line. Press "Читать" to see live values.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/deps.sh

build=$root/build/run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tervex tervex-sim tervex-screenshot

demo=$root/build/demo
mkdir -p "$demo"
line=$demo/tervex-line
rm -f "$line"

"$build/sim/tervex-sim" --link "$line" >"$demo/sim.log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "$line" ] && break
  sleep 0.1
done
if [ ! -e "$line" ]; then
  echo "The simulator did not start; its output:" >&2
  cat "$demo/sim.log" >&2
  exit 1
fi

# Keep the operator's settings of earlier runs; only the port map is renewed.
ini=$demo/Tervex.ini
if [ -f "$ini" ]; then
  awk '/^\[/{skip = ($0 == "[Порты]")} !skip' "$ini" >"$ini.tmp" && mv "$ini.tmp" "$ini"
fi
printf '\n[Порты]\nCOM1=%s\n' "$line" >>"$ini"

echo "Simulated transducer on $line (COM1, 9600 baud, no parity, logical number 1)."
cd "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the program: press \"Читать\" on the first page to read the transducer."
  "$build/tervex"
else
  shot=$demo/tervex.png
  echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window"
  echo "cannot be shown. Run this command in a desktop session, over 'ssh -X', or under a"
  echo "virtual display: xvfb-run -a bash scripts/run.sh"
  QT_QPA_PLATFORM=offscreen "$build/tervex-screenshot" "$shot"
  echo "Meanwhile the program read the simulator once; a picture of it: $shot"
fi
