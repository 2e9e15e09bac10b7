# Bash completion for kebu, the command-line tool of kebumini.
# Installed as share/bash-completion/completions/kebu, where bash-completion
# loads it on the first Tab after "kebu"; it needs nothing from
# bash-completion itself, so "source" works in any bash too.

# Adds the file names that complete the current word to COMPREPLY: with
# "dic", dictionaries (*.dic in any letter case) and folders, or every file
# when there is no dictionary to offer; with "any", every file.
_kebu_files() {
  local cur=$1 kind=$2 line
  local -a found=()
  if [[ $kind == dic ]]; then
    while IFS= read -r line; do found+=("$line"); done \
      < <(compgen -f -X '!*.[dD][iI][cC]' -- "$cur"; compgen -d -- "$cur")
  fi
  if [[ ${#found[@]} -eq 0 ]]; then
    while IFS= read -r line; do found+=("$line"); done < <(compgen -f -- "$cur")
  fi
  compopt -o filenames 2>/dev/null
  COMPREPLY+=("${found[@]}")
}

_kebu() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD-1]}
  COMPREPLY=()

  if [[ $COMP_CWORD -eq 1 ]]; then
    mapfile -t COMPREPLY < <(compgen -W \
      "header lookup search dump export convert make --help --version" -- "$cur")
    return 0
  fi

  local command=${COMP_WORDS[1]}
  # The values of the options that take one.
  case $prev in
    --to) mapfile -t COMPREPLY < <(compgen -W "stardict tsv jsonl" -- "$cur"); return 0 ;;
    --from) mapfile -t COMPREPLY < <(compgen -W "tsv csv edict jsonl" -- "$cur"); return 0 ;;
    --input-encoding)
      mapfile -t COMPREPLY < <(compgen -W "utf-8 euc-jp shift_jis utf-16" -- "$cur"); return 0 ;;
    --encoding) mapfile -t COMPREPLY < <(compgen -W "cp932 bocu1" -- "$cur"); return 0 ;;
    --version) [[ $command == make ]] && mapfile -t COMPREPLY < <(compgen -W "5 6" -- "$cur"); return 0 ;;
    --limit | --stop-after-entry | --name) return 0 ;;
  esac

  # The arguments that are not options before the current word, and whether
  # "--" has ended the options.
  local i word positional=0 ended=0
  for ((i = 2; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if [[ $ended -eq 0 && $word == -- ]]; then
      ended=1
    elif [[ $ended -eq 0 && $word == --* ]]; then
      case $word in
        --limit | --stop-after-entry | --to | --name | --from | --input-encoding | --encoding | --version)
          ((i++)) ;;
      esac
    else
      ((positional++))
    fi
  done

  if [[ $ended -eq 0 && $cur == -* && ! ( $command == export && $cur == - ) ]]; then
    local options
    case $command in
      header) options="--help" ;;
      lookup) options="--whole-word --similar --glob --limit --json --forms --help --" ;;
      search) options="--exact --limit --json --help --" ;;
      dump) options="--json --help" ;;
      export) options="--stop-after-entry --help" ;;
      convert) options="--to --name --help" ;;
      make)
        options="--from --input-encoding --header --no-escapes --index-readings --encoding --version"
        options+=" --replace --help" ;;
      *) return 0 ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return 0
  fi

  case $command:$positional in
    header:0 | lookup:0 | search:0 | dump:0 | export:0 | convert:0) _kebu_files "$cur" dic ;;
    export:1) [[ -z $cur || $cur == - ]] && COMPREPLY+=(-); _kebu_files "$cur" any ;;
    convert:1 | make:0) _kebu_files "$cur" any ;;
    make:1) _kebu_files "$cur" dic ;;
  esac
  return 0
}

complete -F _kebu kebu
