# Sample files and the simulated receiver for the demonstrations of scripts/run
# and scripts/screenshots (sourced by them). Every image is made here.

# make_code_image DIR KIB: program code for the Talvane in DIR/code.srec (and
# its bytes in DIR/code.bin): random bytes with the version record (product
# code "033", version 1.14) at 0x2D004E00, as S3 records from 0x2D004000.
make_code_image() {
  head -c $(($2 * 1024)) /dev/urandom >"$1/code.bin"
  printf '033\000\001\016' | dd of="$1/code.bin" bs=1 seek=$((0xE00)) conv=notrunc status=none
  objcopy -I binary -O srec --change-addresses 0x2D004000 --srec-forceS3 --srec-len=32 \
    "$1/code.bin" "$1/code.srec"
}

# make_base_map DIR KIB: DIR/basemap.img, whose header names the map the
# simulated Talvane holds.
make_base_map() {
  {
    printf '[MAP_INFO]\r\nMAP_NAME=TALVANE BASEMAP\r\n'
    head -c $(($2 * 1024)) /dev/urandom
  } >"$1/basemap.img"
}

# make_factory_firmware FILE: a factory firmware in S-record text with the
# English start-up texts Tagwright's default settings look for.
make_factory_firmware() {
  local bin=$1.bin
  head -c 400 /dev/zero | tr '\000' '\377' >"$bin"
  put() { printf "$2" | dd of="$bin" bs=1 seek="$1" conv=notrunc status=none; }
  put 20 'WARNING!\000\000\000\000'
  put 60 '\000All data is provided for reference only.\000\000\000'
  put 159 '\000PRESS ENTER TO AGREE\000'
  objcopy -I binary -O srec --change-addresses 0x2D004000 --srec-forceS3 --srec-len=20 \
    "$bin" "$1.lf"
  # Factory firmware comes with CR LF line ends, whatever objcopy wrote.
  sed 's/\r*$/\r/' "$1.lf" >"$1"
  rm -f "$bin" "$1.lf"
}

# start_receiver DIR ARGS...: receiver-sim on COM1 in DIR, a Talvane, its
# output in DIR/receiver-sim.log; sets receiver_pid once it listens.
start_receiver() {
  local dir=$1
  shift
  "$build/sim/receiver-sim" --dir "$dir" --port 1 --model Talvane "$@" \
    >"$dir/receiver-sim.log" 2>&1 &
  receiver_pid=$!
  for _ in $(seq 100); do
    grep -q '^ready' "$dir/receiver-sim.log" && return 0
    kill -0 "$receiver_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$receiver_pid" 2>/dev/null || true
  echo "receiver-sim did not start:" >&2
  cat "$dir/receiver-sim.log" >&2
  return 1
}
