#!/usr/bin/env bash
# Intel HEX and S-records as converters write them: each must give exactly the report of the
# image it describes, and damaged or cut text must be refused with stdout left empty.
# Usage: hex_test.sh SAMPLES_DIR COMMAND...   (the command that runs opfreq, an emulator first
# where there is one; absolute paths)
set -u
SAMPLES=$(realpath "$1")
shift
OPFREQ=("$@")
source "$(dirname "$0")/expect.sh"

# Every sample as objcopy writes it: segment records and S2 records beyond 64 KiB.
for image in "$SAMPLES"/*.bin; do
  name=$(basename "$image" .bin)
  for format in ihex srec; do
    objcopy -I binary -O $format "$image" "$name.$format"
    renamed "$name" "$name.$format" report.exp
    expect "objcopy -O $format of $name" 0 "" report.exp opfreq "$name.$format"
  done
done
# Standard input is read as it streams in, in many pieces.
renamed banked256_portlatch - report.exp
expect "HEX through a pipe" 0 "" report.exp opfreq - < <(cat banked256_portlatch.ihex)
# srec_cat's records over 64 KiB: linear and segment addresses; S1 and S2 with a count and no
# termination; S3 throughout.
for options in -intel "-intel -address-length=3" -motorola "-motorola -address-length=4"; do
  srec_cat "$SAMPLES/banked256_portlatch.bin" -binary -o big.txt $options
  renamed banked256_portlatch big.txt report.exp
  expect "srec_cat $options" 0 "" report.exp opfreq big.txt
done

# record TYPE ADDRESS DATA: one Intel HEX record, its checksum worked out.
record() {
  local body sum=0 i
  body=$(printf '%02X%04X%02X%s' $((${#3} / 2)) "$2" "$1" "$3")
  for ((i = 0; i < ${#body}; i += 2)); do sum=$((sum + 16#${body:i:2})); done
  printf ':%s%02X\r\n' "$body" $(((256 - sum % 256) % 256))
}
# The report of the binary image $1, as it reads when the input is named $2.
reportAs() { opfreq "$1" | { printf '%s\r\n' "$2"; tail -n +2; }; }

# Code placed at 2000h: the image starts at 0000h, with FFh below the code.
srec_cat "$SAMPLES/demo.bin" -binary -offset 0x2000 -o at2000.hex -intel
{ head -c 8192 /dev/zero | tr '\0' '\377' && cat "$SAMPLES/demo.bin"; } >at2000.bin
reportAs at2000.bin at2000.hex >report.exp
expect "code at 2000h" 0 "" report.exp opfreq at2000.hex
# An address written twice holds what the later record wrote; past the image's end the last
# LCALL reads 00h, as past the end of a binary file, so both of them call 3400h.
{ record 0 0 1234991234 && record 0 2 00 && record 1 0 ""; } >twice.hex
printf '\022\064\000\022\064' >twice.bin
reportAs twice.bin twice.hex >report.exp
expect "an address written twice" 0 "" report.exp opfreq twice.hex
# Whatever follows the end record is ignored, even without end.
printf '\002\000\000' >short.bin
reportAs short.bin - >report.exp
expect "an endless input after the end record" 0 "" report.exp \
  timeout 10 env --default-signal=PIPE "${OPFREQ[@]}" - < <(printf ':03000000020000FB\n:00000001FF\n' && yes)

# Record text as editors and downloads leave it, whatever its first line holds.
objcopy -I binary -O ihex "$SAMPLES/demo.bin" demo.hex
reportAs "$SAMPLES/demo.bin" edited.hex >report.exp
for edit in "s/^/\xef\xbb\xbf/;2,\$s/^\xef\xbb\xbf//" "1s/^/\r\n \t\n/" "s/\r\?\$/\r/" "s/^/ \t/;s/\$/\t /"; do
  sed "$edit" demo.hex | tr -d '\n' >edited.hex
  [ "$edit" = "s/\r\?\$/\r/" ] || sed "$edit" demo.hex >edited.hex
  expect "read as the image: sed '$edit'" 0 "" report.exp opfreq edited.hex
done
objcopy -I binary -O srec --srec-forceS3 "$SAMPLES/demo.bin" edited.hex
expect "S3 data with an S7 end" 0 "" report.exp opfreq edited.hex
head -c 9000 /dev/zero | tr '\0' : >colons.bin
reportAs colons.bin colons.bin >report.exp
expect "a file of ':' is a binary" 0 "" report.exp opfreq colons.bin
yes ':0100000000FF' | opfreq - >/dev/null 2>endless.err
grep -qx "opfreq: -: Intel HEX line [0-9]*: the text runs past 64 MiB before its end-of-file record" endless.err ||
  { echo "FAILED: endless record text: $(cat endless.err)" >&2; failures=$((failures + 1)); }

while IFS='|' read -r what text message; do
  printf "$text" >bad.txt
  expect "refused: $what" 1 "opfreq: bad.txt: $message" /dev/null opfreq bad.txt
done <<'ROWS'
a wrong checksum|:0100000002FD\n:0100010000FF\n:00000001FF\n|Intel HEX line 2: checksum is FFh, should be FEh
not a hex digit|:0100000002FD\r\n:01000100G0FE\r\n:00000001FF\r\n|Intel HEX line 2, column 10: 'G' is not a hex digit
shorter than its count|:0100000002FD\n:0200010000FD\n:00000001FF\n|Intel HEX line 2: record is shorter than its count
longer than its count|:010000000200FD\n:00000001FF\n|Intel HEX line 1: record is longer than its count
an unknown type|:0100000002FD\n:00000006FA\n:00000001FF\n|Intel HEX line 2: unknown record type 06
no end-of-file record|:0100000002FD\n|Intel HEX text ends at line 1 without an end-of-file record
an image over 256 KiB|:020000040004F6\n:0100000000FF\n:00000001FF\n|Intel HEX line 2: the image is larger than 262144 bytes (address 40000h)
no data|:00000001FF\n|Intel HEX text holds no data
a wrong record count|S104000002F9\nS5030002FA\n|S-record line 2: the record count is 2, the data records before it 1
no termination or count|S104000002F9\n|S-record text ends at line 1 without a termination record (S7, S8, S9) or a record count (S5, S6)
a bad checksum on line 1|:0300000002000CEE\n:00000001FF\n|Intel HEX line 1: checksum is EEh, should be EFh
a hand edit on line 1| :030000000200OCEF\n:00000001FF\n|Intel HEX line 1, column 15: 'O' is not a hex digit
a cut inside the first record|:0300000002|Intel HEX line 1: record is shorter than its count
a comment line first|; from the linker\n:0300000002000CEF\n:00000001FF\n|Intel HEX line 1: a record starts with ':', not ';'
a bad S0 checksum|S00600004844521C\nS1060000020008EF\nS9030000FC\n|S-record line 1: checksum is 1Ch, should be 1Bh
a short extended address|:0100000401FA\n:00000001FF\n|Intel HEX line 1: record type 04 must hold 2 data bytes
no room for the address|S2030000FC\nS9030000FC\n|S-record line 1: record is too short for its address
a count, then more data cut short|S104000002F9\nS5030001FB\nS104000102F8\n|S-record text ends at line 3 without a termination record (S7, S8, S9) or a record count (S5, S6)
ROWS

verdict "HEX and S-record"
