# Sourced first by each script of this folder: with -h or --help among its arguments
# (before a "--") it prints the script's own header comment, which gives its usage, options
# and environment, and ends the script with status 0 before it does anything else.
for bootstrapper_argument in "$@"; do
  case "$bootstrapper_argument" in
    -h | --help)
      sed -n '2,$ { /^#/!q; s/^# \{0,1\}//; p; }' "$0"
      exit 0 ;;
    --) break ;;
  esac
done
unset bootstrapper_argument
