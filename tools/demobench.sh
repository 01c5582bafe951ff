#!/usr/bin/env bash
# Makes the demo's bench folder when it is missing: three sticks with different labels and identities,
# one with a few files, one a counterfeit holding half of what it claims, and a customer folder to pick in
# the configuration dialog (F1). Sticks already there are kept.
# Usage: tools/demobench.sh BUILD-FOLDER BENCH-FOLDER
set -euo pipefail
build="$1"
bench="$2"
[ -d "$bench/customer" ] && exit 0
tool="$build/demo/dravex-bench"
[ -e "$bench/sticks/H.stick" ] || "$tool" "$bench" plug H --label UDISK --size 16G --vendor Kingston --product "DataTraveler 3.0" \
    --revision PMAP --serial 60A44C3FAE22BE11590A0068 --vid 0951 --pid 1666 --real 8G >/dev/null
[ -e "$bench/sticks/J.stick" ] || "$tool" "$bench" plug J --label BACKUP --size 8G --fs exFAT --vendor SanDisk --product "Cruzer Blade" \
    --revision 1.00 --serial 4C530001230716115362 --vid 0781 --pid 5567 >/dev/null
[ -e "$bench/sticks/K.stick" ] || "$tool" "$bench" plug K --label "NO NAME" --size 2G --vendor SMI --product "USB DISK" \
    --revision 1100 --serial AA00000000011111 --vid 090C --pid 1000 >/dev/null
mkdir -p "$bench/sticks/K/photos" "$bench/customer/docs" "$bench/customer/empty"
printf 'Lot 7 of the spring order.\n' >"$bench/sticks/K/notes.txt"
head -c 250000 /dev/zero >"$bench/sticks/K/photos/bench.jpg"
printf 'Welcome to your new stick.\n' >"$bench/customer/readme.txt"
head -c 120000 /dev/zero >"$bench/customer/docs/manual.pdf"
printf 'autorun=no\n' >"$bench/customer/.settings"
