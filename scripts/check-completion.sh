#!/usr/bin/env bash
# Checks the bash completion of fernwell-cli against the program itself: the commands, the
# options of --help, the send keys and the fixed values that the program's own error messages
# list, and the COM numbers of `fernwell-cli ports`. Needs the bash-completion package.
#
# Usage: scripts/check-completion.sh COMPLETION_FILE BIN_DIR
set -uo pipefail
completion=$1
cli=$2/fernwell-cli
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$completion"
failures=0
# Outside a real completion there are no completion options to set.
compopt() { :; }

# The completions for the command line $1 (the cursor at its end), one a line, sorted, with
# the shell quoting undone. Words split as readline splits them: at blanks, and around "=".
complete_line() {
  local line=${1/#fernwell-cli/$cli} word
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMP_WORDS=()
  read -ra parts <<<"$line"
  for word in "${parts[@]}"; do
    while [[ $word == *=* ]]; do
      [[ -n ${word%%=*} ]] && COMP_WORDS+=("${word%%=*}")
      COMP_WORDS+=("=")
      word=${word#*=}
    done
    [[ -n $word ]] && COMP_WORDS+=("$word")
  done
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _fernwell_cli
  for word in "${COMPREPLY[@]}"; do
    eval "printf '%s\n' $word"
  done | sort
}

# A comma-separated list from a message, one a line, sorted.
items() { sed 's/, /\n/g' | sort; }

expect() {
  local what=$1 got=$2 want=$3
  if [[ $got != "$want" ]]; then
    echo "completion: $what: got [${got//$'\n'/ }], want [${want//$'\n'/ }]" >&2
    failures=$((failures + 1))
  fi
}

expect "commands" "$(complete_line 'fernwell-cli ')" \
  "$(printf '%s\n' calc diff history load poll ports read report save send status watch)"

# Every option of --help is offered: the common ones always, the others after their command.
help_options=$("$cli" --help | sed -n 's/^ \{1,8\}\(-h, \)\{0,1\}\(--[a-z-]*\).*/\2/p' | sort)
offered=$(for c in '' watch send calc report; do complete_line "fernwell-cli $c --"; done | sort -u)
expect "options" "$offered" "$help_options"
expect "options after calc" "$(complete_line 'fernwell-cli calc 8 --m')" \
  "$(printf '%s\n' --mm --model)"
# send and load take the same switches.
expect "options after load" "$(complete_line 'fernwell-cli load f.json --')" \
  "$(complete_line 'fernwell-cli send --')"
# An option's value is no command: here the command is watch.
expect "options after a value" "$(complete_line 'fernwell-cli --port 3 watch --c')" \
  "$(printf '%s\n' --count --csv)"

for model in 612 640; do
  # "unknown key "zz" for the 612: kFactor, offset, ..."
  keys=$("$cli" --model $model --device /nonexistent send zz=1 2>&1 | sed 's/.*: //' | items)
  expect "$model keys" "$(complete_line "fernwell-cli --model $model send kFactor=1 ")" \
    "$(sed 's/$/=/' <<<"$keys")"
  # "unit wants one of mph, km/h, ..., not "zz""
  units=$("$cli" --model $model --device /nonexistent send unit=zz 2>&1 |
    sed 's/.*one of //; s/, not ".*//' | items)
  expect "$model units" "$(complete_line "fernwell-cli --model=$model send unit=")" "$units"
done
pulse_units=$("$cli" --device /nonexistent send pulseUnit=zz 2>&1 |
  sed 's/.*one of //; s/, not ".*//' | items)
expect "pulse units" "$(complete_line 'fernwell-cli send pulseUnit=')" "$pulse_units"
expect "pulse units C" "$(complete_line 'fernwell-cli send pulseUnit=C')" \
  "$(grep '^C' <<<"$pulse_units")"
expect "sensors" "$(complete_line 'fernwell-cli send sensor=')" "$(printf '%s\n' insertion tee wss)"
expect "alarm modes" "$(complete_line 'fernwell-cli --model 640 send lowAlarm=')" \
  "$(printf '%s\n' latched off on)"
expect "pulse widths" "$(complete_line 'fernwell-cli send pulseWidth=' | wc -l)" 100

ports=$("$cli" ports | sed -n 's/^COM\([0-9]*\)\t.*/\1/p' | sort)
[[ -n $ports ]] || echo "completion: no ports listed, the --port check proves little" >&2
expect "ports" "$(complete_line 'fernwell-cli --port ')" "$ports"

if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "bash completion agrees with fernwell-cli"
