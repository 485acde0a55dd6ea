# Sourced by the bench/<area>/run-*.sh shell scripts: the one line format bench/run reads.
#   row MEASUREMENT OUTPUT OURS REFERENCE REF_VALUE
# OUTPUT is the sound output ours played through ("SDL dummy", "SDL disk", "PulseAudio, own
# stream"), or "-" when nothing plays. bench/run sets OURS against REF_VALUE (ratio = ours / ref).
# Every other line a script prints is progress.
row() {
  [ $# -eq 5 ] || { echo "row: want 5 fields, got $#: $*" >&2; return 1; }
  printf 'row\t%s\t%s\t%s\t%s\t%s\n' "$@"
}
