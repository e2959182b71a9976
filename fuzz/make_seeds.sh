#!/usr/bin/env bash
# Writes the seed corpora under fuzz/corpus from the protocol's own examples and the settings
# file's usual shapes. Rerun after changing the client fuzzer's script format.
set -euo pipefail
cd "$(dirname "$0")"
rm -rf corpus
mkdir -p corpus/client corpus/profile
cd corpus

# Hex words ("0d 08 61") to raw bytes.
bin() {
    local word
    for word in "$@"; do
        printf "\\x$word"
    done
}
# Text to hex words.
hex() { printf '%s' "$1" | od -An -tx1 -v; }

# Client script steps (see client_fuzzer.cpp).
sized() {
    local n=$#
    bin "$(printf %02x $((n & 255)))" "$(printf %02x $((n >> 8)))" "$@"
}
datagram() { bin 00 && sized "$@"; }
tick() { bin 01 "$1"; } # 00 connect time-out, 01 refresh, 02 poll, 03 watchdog
kick() { bin 02 "$1" 00 00 00; }
ban() { bin 03 "$1" 00 00 00; }
refresh() { bin 04; }
state() { bin 05 "$1"; } # 00 Idle, 01 Logging in, 02 Logged in
# What happens while a box is open.
box_close() { bin 00; }
box_tick() { bin 01 "$1"; }
box_datagram() { bin 02 && sized "$@"; }
box_refresh() { bin 03; }

welcome_header="01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
ann="05 2c 01 41 6e 6e 07"

{
    state 01
    datagram $welcome_header $ann 80 01 00 $(hex Eve) 07 07 00 00 07 09 ff ff $(hex Bob)
    refresh
    kick 00
    ban 01
    kick 07
    tick 02
} >client/welcome

{
    state 02
    datagram 08 03 $(hex Carl)
    datagram 03 03 02 $(hex "team talk")
    datagram 03 03 03 $(hex "server notice") 00 $(hex ignored)
    datagram 03 03 01 $(hex "hello %s %n")
    refresh
} >client/chat

{
    state 02
    datagram $welcome_header $ann 01 00 00 $(hex Dan) 07
    datagram 0b 05 05
    datagram 0b 05 01
    datagram 0b 05 63
    datagram 0c 05 10 27
    datagram 09 01 05
    datagram 09 02 01
    datagram 09 03 09
    refresh
} >client/roster

{
    state 02
    datagram 11 $(hex "x|y|z")
    datagram 11
    datagram 12 01
    datagram 12 02
    datagram 12 03
    datagram 12 04
    datagram 12 ff
    datagram 10 01
    refresh
} >client/notices

{
    state 01
    datagram 06 00
    box_datagram 04
    box_tick 02
    box_close
    datagram 06 03
    state 02
    datagram 06 c8
    datagram 10 00
    box_tick 03
    box_refresh
    box_close
} >client/refusals

# Refusals arriving while a refusal's box is open once stacked a box per datagram.
{
    state 01
    datagram 06 00
    box_datagram 06 04
    box_datagram 10 00
    box_close
} >client/regress-nested-refusal

{
    state 02
    for _ in $(seq 11); do tick 03; done
    state 01
    tick 00
} >client/timeouts

{
    state 01
    datagram
    datagram 00
    datagram 13
    datagram ff 01 02
    datagram 01 00 00 00
    datagram 03
    datagram 08 04
    datagram 09 01
    datagram 0b 01
    datagram 0c 01 02
    datagram 04 00 00
    refresh
} >client/short

printf '[Remote Admin]\r\nUsername=admin\r\nSavePass=true\r\nPassword=secret\r\nIP=127.0.0.1\r\nPort=27015\r\n' \
    >profile/saved
printf '[Remote Admin]\nUsername=admin\nSavePass=false\nPassword=\nIP=game.example\nPort=27015\n' \
    >profile/lf-only
printf '; settings\r\n[other]\r\nUsername=elsewhere\r\n\r\n[ remote admin ]\r\n  USERNAME  =  spaced  \r\nIP="10.0.0.1"\r\nPort='"'"'27015'"'"'\r\nUsername=second\r\n' \
    >profile/case-and-quotes
printf '[Remote Admin]\r\nUsername=first\r\n[Remote Admin]\r\nPassword=p;w=x\r\nPort=1' \
    >profile/repeated-no-newline
printf 'Username=outside\r\n[Remote Admin]\r\nkey without equals\r\n=novalue\r\n[broken\r\nIP=\r\n' \
    >profile/odd-lines
: >profile/empty
printf '[A]\r\nk1=1\rk2=2\r\n[B]\ry=2\r[A]\r\nz=3\r\r\n[Remote Admin]\rIP=h\r' >profile/lone-cr-and-repeated
printf '\xef\xbb\xbf[Remote Admin]\r\nIP=h\r\n' >profile/utf8-bom
# A last line ending in a bare CR once lost that CR when a key was added after it.
printf '[Remote Ad[Remote Admin]\nUsername=\0\0min]\r' >profile/regress-cr-at-end
