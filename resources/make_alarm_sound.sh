#!/bin/sh
# Makes Final.mp3, the alarm sound: four rising square-wave sweeps of 0.4 s
# each (700 to 1500 Hz), mono at 22.05 kHz, encoded as a 32 kbit/s MP3.
# Needs sox and lame (apt-get install sox lame). The output is repeatable:
# no dither, no random seed, no tags.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -R -D -n -r 22050 -c 1 -b 16 "$work/siren.wav" \
  synth 0.4 square 700:1500 vol 0.5 fade q 0.01 0.4 0.01 repeat 3
lame --silent --noreplaygain -b 32 -m m "$work/siren.wav" "$here/Final.mp3"
