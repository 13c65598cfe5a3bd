#!/bin/bash
# Stands in for the vendor's BIOS flash tool in tests. It prints each argument on a line of its
# own, then acts as QV_STANDIN_MODE says:
#   ask   (default) asks a yes/no question; "y" ends it with QV_STANDIN_EXIT (0 by default),
#         any other answer with 8, the end of its input with 9
#   quick ends at once with QV_STANDIN_EXIT
#   hang  reads its input until it ends, then ends with 0 (a tool that outlasts the time limit)
for argument in "$@"; do
    printf 'arg:%s\n' "$argument"
done
code="${QV_STANDIN_EXIT:-0}"
case "${QV_STANDIN_MODE:-ask}" in
    quick)
        exit "$code"
        ;;
    hang)
        while read -r _; do :; done
        exit 0
        ;;
esac
printf 'Update display adapter firmware? Press "y" to confirm (any other key to abort): '
read -r answer || exit 9
[ "$answer" = y ] || exit 8
echo "Update successful."
exit "$code"
