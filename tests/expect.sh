# Shared by the command-line scripts: a scratch folder to work in, opfreq started as a shell
# starts it, and the one comparison every row makes. Sourced with OPFREQ (an array: the command
# that runs opfreq, an emulator first where there is one) and SAMPLES set.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1
failures=0

# SIGPIPE at its default action, whatever the calling script inherited.
opfreq() { env --default-signal=PIPE "${OPFREQ[@]}" "$@"; }

# expect NAME STATUS STDERR STDOUT-FILE COMMAND...: runs COMMAND and compares its exit status,
# its standard error and its standard output (the bytes of STDOUT-FILE).
# With STDOUT-FILE "-", standard output is left as the caller redirected it.
expect() {
  local name=$1 status=$2 err=$3 out=$4
  shift 4
  if [ "$out" = - ]; then "$@" 2>"$work/err"; else "$@" >"$work/out" 2>"$work/err"; fi
  local got=$?
  if [ "$got" != "$status" ] || [ "$(cat "$work/err")" != "$err" ] ||
    { [ "$out" != - ] && ! cmp -s "$work/out" "$out"; }; then
    echo "FAILED: $name: status $got, stderr: $(cat "$work/err")" >&2
    failures=$((failures + 1))
  fi
}

# The report of sample $1 as it reads when the input is named $2, into the file $3.
renamed() { { printf '%s\r\n' "$2"; tail -n +2 "$SAMPLES/$1.expected"; } >"$work/$3"; }

# The script's verdict, as its last command.
verdict() {
  [ "$failures" -eq 0 ] && echo "all $1 cases passed"
  [ "$failures" -eq 0 ]
}
