# A private PulseAudio server whose only sink is a pipe rendered on the system clock, with
# everything written to the pipe captured from the server's first sample on. Sourced by
# tests/cli/live-playback-test.sh and bench/cli/live-timing.sh.
#
#   sound_server_start WORK [PROBE] starts it (files in WORK, which must be empty); clients
#                                   started afterwards in this shell use it. Fails when the
#                                   server does not start, with the reason in SOUND_SERVER_ERROR.
#                                   Without PROBE the sound is read and thrown away. With
#                                   SOUND_SERVER_MICROPHONE=1 its default input is a pipe
#                                   source, 16-bit mono 44.1 kHz written to WORK/source.fifo.
#   sound_server_mark               the server log's size now: marks a segment's start or end
#   sound_server_underruns FROM TO  underrun lines of streams in the log between two marks
#   sound_server_stop               stops server and capture; WORK then holds capture.raw
#                                   (s16le stereo 44.1 kHz) and capture.reads
#   busy_start N / busy_stop        N busy loops at normal priority (the load generator)
#   sound_test_require PROGRAM PROBE SOUNDFONT
#                                   for the tests: exits 2 when a program is missing, 77
#                                   (skipped) when the soundfont is; sound_test_skip WHY too
#
# The log is the server's -vvvv output, each line with its time since the start; every
# underrun of a playback stream shows as a line "Implicit underrun of 'STREAM'" or
# "Underrun on 'STREAM', ...".

SOUND_SERVER_PID=""
SOUND_CAPTURE_PID=""
SOUND_SERVER_ERROR=""
BUSY_PIDS=()

sound_server_start() {
  local work=$1 probe=${2:-}
  SOUND_WORK=$work
  mkdir -p "$work/run"
  chmod 700 "$work" "$work/run"
  if ! command -v pulseaudio >/dev/null; then
    SOUND_SERVER_ERROR="pulseaudio is not installed (bash scripts/setup.sh installs it)"
    return 1
  fi
  mkfifo "$work/sink.fifo"
  # The reader opens the FIFO first, so that it holds every block the sink ever writes; raised
  # above the load, so that its read times tell when each block was written.
  if [ -n "$probe" ]; then
    sound_server_raised 6 -10 "$probe" capture "$work/sink.fifo" "$work/capture.raw" "$work/capture.reads" &
  else
    cat "$work/sink.fifo" >/dev/null &
  fi
  SOUND_CAPTURE_PID=$!
  export XDG_RUNTIME_DIR="$work/run"
  export PULSE_SERVER="unix:$work/run/pulse/native"
  local source=()
  if [ "${SOUND_SERVER_MICROPHONE:-0}" = 1 ]; then
    # The server makes the FIFO and holds it open for reading; what a writer puts in is
    # recorded the moment it arrives, so the writer keeps the pace.
    source=(-L "module-pipe-source source_name=microphone file=$work/source.fifo format=s16le rate=44100 channels=1")
    export PULSE_SOURCE=microphone
  fi
  # Real-time threads, as a desktop's server has them (through rtkit), where the system allows.
  HOME="$work" pulseaudio -n --realtime=yes --log-time=1 --daemonize=no --exit-idle-time=-1 -vvvv --log-target=stderr \
    --use-pid-file=no \
    -L "module-native-protocol-unix auth-anonymous=1" \
    -L "module-pipe-sink sink_name=capture file=$work/sink.fifo format=s16le rate=44100 channels=2 use_system_clock_for_timing=yes" \
    "${source[@]}" \
    2>"$work/server.log" &
  SOUND_SERVER_PID=$!
  local i
  for i in $(seq 100); do
    if grep -q "Daemon startup complete" "$work/server.log" 2>/dev/null &&
      [ -S "$work/run/pulse/native" ]; then
      return 0
    fi
    if ! kill -0 "$SOUND_SERVER_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  SOUND_SERVER_ERROR="pulseaudio did not start: $(grep -E '^E:' "$work/server.log" | head -3 | tr '\n' ' ')"
  sound_server_stop
  return 1
}

# sound_server_raised PRIORITY NICE COMMAND...: runs COMMAND at real-time PRIORITY where the
# system allows it, else at NICE: the capture, which stands for the sound card, then keeps
# time under any load of normal threads, as a sound card does.
sound_server_raised() {
  local priority=$1 nice=$2
  shift 2
  if chrt -r "$priority" true 2>/dev/null; then
    chrt -r "$priority" "$@"
  else
    nice -n "$nice" "$@"
  fi
}

sound_server_mark() { stat -c %s "$SOUND_WORK/server.log"; }

sound_server_underruns() {
  local from=$1 to=$2
  tail -c +"$((from + 1))" "$SOUND_WORK/server.log" | head -c "$((to - from))" |
    grep -ciE "underrun (of|on) '" || true
}

sound_server_stop() {
  if [ -n "$SOUND_SERVER_PID" ]; then
    kill -TERM "$SOUND_SERVER_PID" 2>/dev/null || true
    wait "$SOUND_SERVER_PID" 2>/dev/null || true
    SOUND_SERVER_PID=""
  fi
  if [ -n "$SOUND_CAPTURE_PID" ]; then
    # The capture ends when the server closes the FIFO. A server that never opened it leaves
    # the reader waiting in open(): a writer that opens and closes the FIFO lets it go.
    local i
    for i in $(seq 50); do
      kill -0 "$SOUND_CAPTURE_PID" 2>/dev/null || break
      [ "$i" -eq 5 ] && timeout 1 bash -c ': >"$0"' "$SOUND_WORK/sink.fifo" 2>/dev/null
      sleep 0.1
    done
    kill -TERM "$SOUND_CAPTURE_PID" 2>/dev/null || true
    wait "$SOUND_CAPTURE_PID" 2>/dev/null || true
    SOUND_CAPTURE_PID=""
  fi
}

busy_start() {
  local n=$1 i
  for i in $(seq "$n"); do
    bash -c 'while :; do :; done' &
    BUSY_PIDS+=($!)
  done
}

busy_stop() {
  local pid
  for pid in "${BUSY_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${BUSY_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  BUSY_PIDS=()
}

sound_test_skip() {
  echo "SKIPPED: $*"
  exit 77
}

sound_test_require() {
  local program=$1 probe=$2 soundfont=$3
  [ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }
  [ -x "$probe" ] || { echo "no probe at $probe" >&2; exit 2; }
  [ -r "$soundfont" ] || sound_test_skip "no soundfont at $soundfont"
}

# For benchmark scripts: a work folder $WORK with a private server in it, both removed on exit
# together with the program whose process id is in APP_PID; the program's audio goes to the
# server.
sound_bench_start() {
  WORK="$(mktemp -d)"
  trap sound_bench_cleanup EXIT
  sound_server_start "$WORK/server" || { echo "$SOUND_SERVER_ERROR"; exit 1; }
  export TUNWICK_AUDIO_DRIVER=pulseaudio
}

sound_bench_cleanup() {
  [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
  sound_server_stop
  rm -rf "$WORK"
}
