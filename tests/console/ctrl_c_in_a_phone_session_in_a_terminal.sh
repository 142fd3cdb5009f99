#!/bin/sh
# Usage: ctrl_c_in_a_phone_session_in_a_terminal.sh PROGRAM
# Runs under cmake/wine-run, which starts it with wine set up. Ctrl+C typed in a real
# console (a terminal made by util-linux's script) while the Windows PROGRAM backs up the
# EEP partition of the virtual phone, whose upload is held until the test lets it go.
# Checks that the program says once that it stops once the phone is closed, and, after a
# second Ctrl+C, still restarts the phone and closes the port, makes the data file of the
# whole upload (the virtual phone's erased EEP: 32,768 bytes of 0xFF), and ends with
# STATUS_CONTROL_C_EXIT, whose low byte (0x3A, 58) wine gives as its exit status.
set -eu
program=$1
. "$(dirname "$0")/terminal.sh"

head -c 64 /dev/zero >psi.flb # the virtual phone boots with any sec-pack
head -c 32768 /dev/urandom >eep.bin
head -c 32768 /dev/zero | tr '\000' '\377' >uploaded.bin
held=flash/_IFWD_DL_upload_bin_image.held
export KORVANTA_VIRTUAL_PHONE=flash KORVANTA_STANDIN_LOG=calls.log
export KORVANTA_STANDIN_FAULTS=_IFWD_DL_upload_bin_image=hold

# The stand-in download library is the one beside the program.
start_terminal "wine '$program'"
type_after 1 'Choice:' 'O\r'
type_after 1 'USBport' '\\\\.\\USB1\r'
type_after 1 'Sec-packfile' 'psi.flb\r'
type_after 1 'Datafile:' 'eep.bin\r'
wait_until "the held upload" test -e "$held"
type_after 1 'Receivingmemorydata' '\003'
wait_until "the notice" shows 1 'Interrupted:theprogramstopsoncethephoneisclosed.'
# A second Ctrl+C changes nothing; the console is given a moment to deliver it.
printf '\003' >&3
sleep 1
rm "$held"
wait_until "the port closing" shows 1 'Portclosed'
end_terminal

after_notice=$(shown | sed -n '/^Interrupted:/,$p' | tr -d '\n')
case $after_notice in
Interrupted:*Restartingthephone..Restarted..Portclosed*) ;;
*) fail "the phone was not restarted and closed after the notice" ;;
esac
calls=$(grep -o '^_IFWD_DL_[a-z_]*' calls.log | tr '\n' ' ')
case $calls in
*_IFWD_DL_upload_bin_image\ _IFWD_DL_force_target_reset\ _IFWD_DL_close_comm_port\ ) ;;
*) fail "the phone's calls were: $calls" ;;
esac
[ "$(shown | grep -c '^Interrupted:')" -eq 1 ] || fail "the notice was printed more than once"
cmp -s eep.bin uploaded.bin || fail "eep.bin is not the whole upload's data file"
[ "$status" -eq 58 ] || fail "the program ended with status $status, not STATUS_CONTROL_C_EXIT"
echo "passed: Ctrl+C twice in the upload: phone restarted, port closed, eep.bin made, status $status"
