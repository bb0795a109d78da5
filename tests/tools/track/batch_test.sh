#!/usr/bin/env bash
# morvane-track over many files with GNU parallel, as the README shows it: each output
# beside its input and the same as a run on that file alone; a broken file fails in the
# job log while the others succeed.
#   batch_test.sh WORK_DIR MAKE_TRACK_SCENE MORVANE_TRACK REGSVR COMPONENT
set -euo pipefail
make_scene=$2 track=$3
scratch=$(mkdir -p "$1" && mktemp -d "$1/batch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db
"$4" -s "$5"
cd "$scratch"
"$make_scene" frames
"$track" --quiet frames -o /dev/null --overlay scene.avi  # a video of the scene
head -c 4096 /dev/urandom >broken.avi
status=0
parallel --joblog jobs.log "$track" --quiet {} -o {.}.csv ::: scene.avi frames broken.avi || status=$?
for clip in scene.avi frames; do
  "$track" --quiet "$clip" -o alone.csv
  cmp "${clip%.avi}.csv" alone.csv
done
# Column 7 of the job log is the exit status.
[ "$status:$(awk -F'\t' 'NR > 1 { print $NF, $7 }' jobs.log | sed "s|^$track --quiet ||" | sort | tr '\n' ,)" = \
  "1:broken.avi -o broken.csv 1,frames -o frames.csv 0,scene.avi -o scene.csv 0," ] ||
  { echo "batch test: parallel ended with $status; its job log: $(cat jobs.log)" >&2; exit 1; }
