# bash completion for torvane-cli.
# The options and the words they take are read from the program's own --help,
# so an option added to the program completes without a change here; presets
# come from --list-presets, and a size's number is completed with the units.

_torvane_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--layout=c": bash splits the "=" into a word of its own.
  if [[ $cur == = ]]; then
    cur=""
  elif [[ $prev == = && COMP_CWORD -ge 2 ]]; then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi

  local help
  help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return

  # Option lines read "  -o,--output PATH   text" or "  --fill   text": the
  # names, then one value name unless the option is a flag.
  local pattern='^  (-[^ ]+)( ([^ ]+))?'
  local line names value name options="" takes_value=0 words=""
  while IFS= read -r line; do
    [[ $line =~ $pattern ]] || continue
    names=${BASH_REMATCH[1]}
    value=${BASH_REMATCH[3]}
    options+=" ${names//,/ }"
    for name in ${names//,/ }; do
      [[ $name == "$prev" ]] || continue
      [[ -n $value ]] && takes_value=1
      # Lower-case words joined by "|" are the only values it takes.
      [[ $value =~ ^[a-z]+(\|[a-z]+)+$ ]] && words=${value//|/ }
      [[ $value == PATH || $value == SIZE || $value == N\|TEXT ]] && words=/$value/
    done
  done <<<"$help"

  if [[ $words == /PATH/ ]]; then
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  elif [[ $words == /SIZE/ ]]; then
    # 10 completes to 10K, 10MiB, 10MB ...: K, M, G, T and KiB ... TiB count
    # in 1024s, KB ... TB in 1000s.
    [[ $cur =~ ^[0-9][0-9.]*$ ]] || return
    mapfile -t COMPREPLY < <(compgen -P "$cur" -W "K M G T KiB MiB GiB TiB KB MB GB TB" -- "")
  elif [[ $words == /N\|TEXT/ ]]; then
    # The presets' short texts ("1.44 mb"), quoted for the line.
    local text list=()
    while IFS= read -r line; do
      text=${line#*  }
      text=${text%% (*}
      [[ $text == "$cur"* ]] && list+=("$(printf '%q' "$text")")
    done < <("${COMP_WORDS[0]}" --list-presets 2>/dev/null)
    COMPREPLY=("${list[@]}")
  elif [[ -n $words ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
  elif ((takes_value)); then
    COMPREPLY=()
  else
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  fi
}
complete -F _torvane_cli torvane-cli
