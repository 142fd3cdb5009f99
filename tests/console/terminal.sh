# Sourced by the console tests, after `set -eu`: a scratch folder that becomes the current
# one, a terminal made by util-linux's script in which a command runs under wine with a
# real console, the keys typed into it, and what it shows.
work=$(mktemp -d)
session=
cleanup() {
  [ -z "$session" ] || kill "$session" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# What the terminal shows, as text: wine's console draws each character with escape
# sequences around it and moves the cursor over a blank, so the sequences, blanks and
# carriage returns are dropped.
esc=$(printf '\033')
shown() {
  sed "s/$esc\[[0-9;?]*[A-Za-z]//g; s/$esc\][^$(printf '\007')]*$(printf '\007')//g" screen |
    tr -d ' \r'
}

fail() {
  echo "FAILED: $1"
  echo "--- the terminal showed, without blanks:"
  shown
  exit 1
}

# Waits until the command `$2 ...` succeeds, two minutes at most; `$1` names what is
# awaited.
wait_until() {
  awaited=$1
  shift
  give_up=$(($(date +%s) + 120))
  until "$@"; do
    [ "$(date +%s)" -le "$give_up" ] || fail "$awaited: not there after 120 s"
    sleep 0.1
  done
}

# Succeeds once the terminal has shown `pattern` (without blanks) on `count` lines.
shows() {
  [ "$(shown | grep -c -- "$2" || true)" -ge "$1" ]
}

# Types `text` once the terminal has shown `pattern` on `count` lines. The program prints a
# prompt before it drops the keys typed ahead of it, so keys typed in between are lost: they
# are typed again when the terminal shows nothing new within ten seconds (the echo, or what
# the program answers), three times at most.
type_after() {
  wait_until "\"$2\" on $1 lines" shows "$1" "$2"
  for attempt in 1 2 3; do
    sleep 0.2
    before=$(shown | wc -c)
    printf "$3" >&3
    give_up=$(($(date +%s) + 10))
    while [ "$(shown | wc -c)" -eq "$before" ]; do
      if [ "$(date +%s)" -gt "$give_up" ]; then
        echo "typed again: nothing new after the keys that follow \"$2\""
        continue 2
      fi
      sleep 0.1
    done
    return 0
  done
  fail "nothing came of typing after \"$2\", three times"
}

# Starts the shell command line `command` in a terminal whose screen is kept in `screen`;
# type_after types into it.
start_terminal() {
  mkfifo keys
  : >screen
  LANG=C.UTF-8 script -qfec "$1" screen <keys >/dev/null 2>&1 &
  session=$!
  exec 3>keys
}

# Ends the typing and waits for the terminal's command to end; its exit status is then in
# `status`.
end_terminal() {
  exec 3>&-
  status=0
  wait "$session" || status=$?
  session=
}
