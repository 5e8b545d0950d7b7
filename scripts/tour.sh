#!/usr/bin/env bash
# `make run`: a short tour of the tuner library at work on the virtual card, as a viewer
# would use it. Every command is printed before it runs, so that it can be tried by hand.
set -euo pipefail
build=${1:-build}
suite=$(cd "$build/suite" && pwd)
cd "$suite"

bold=""
plain=""
if [[ -t 1 ]]; then
    bold=$(tput bold 2>/dev/null || true)
    plain=$(tput sgr0 2>/dev/null || true)
fi
step() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
run() { printf '%s$ %s%s\n' "$bold" "$*" "$plain"; "$@"; }

step "The virtual card: a simulated Bt878 whose state every program on this desktop shares"
run ./velora-card reset
run ./velora-card status

step "A viewer loads libVeloraTuner.so, reads velora.ini and tunes to channel E3 (55.25 MHz)"
echo "(the lines 'BT8x8 found!' and so on are the library's own debug texts)"
run ./velora-tune --ini velora.ini --mhz 55.25 --wait-sync 300 --expect-sync

step "What the chip saw: the tuner input selected, the divider and band bytes over I2C, the tuner's sound on"
run ./velora-card status

step "An empty frequency gives no picture"
run ./velora-tune --quiet --ini velora.ini --mhz 100.00 --wait-sync 100

step "The external source and the picture controls (values from 0.0 to 1.0, clamped)"
run ./velora-tune --quiet --source1 --brightness 0.6 --contrast 0.55 --saturation 1.5

step "A channel scan over the European VHF and UHF channels"
run ./velora-tune --quiet --ini velora.ini --scan

step "Without a card the library says so and the viewer carries on"
run ./velora-card chip none
run ./velora-tune --ini velora.ini --mhz 55.25 || echo "(velora-tune exited with status $?: no card, as expected)"
run ./velora-card chip 36e

step "Done. Try your own: cd $suite && ./velora-tune --help, ./velora-card --help"
