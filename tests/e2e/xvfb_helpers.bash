# A virtual X server for the window tests (sourced by window.sh, program.sh).

# start_xvfb DIR: Xvfb with a 1024 x 768 screen on a display number it picks
# itself (written to fd 3, kept in DIR/display); exports DISPLAY and sets
# xvfb_pid. Fails when no display number comes within 10 s.
start_xvfb() {
  local dir=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
  done
  [ -s "$dir/display" ] || return 1
  DISPLAY=":$(head -n1 "$dir/display")"
  export DISPLAY
}
