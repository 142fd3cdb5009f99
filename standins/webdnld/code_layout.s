# The code section of the web-download library as callers find their way around it: the
# two unpack routines are not exported and are reached at _StartUpgrade - 19744 (0x4D20)
# and _StartUpgrade - 18886 (0x49C6). Each place holds a jump to the routine that does
# the work.
#
# Nothing tells a caller whether the routines are __cdecl or __stdcall: in the 32-bit
# library the first one leaves its five arguments to the caller and the second one
# removes them itself.
#
# EXPORT_START_UPGRADE (0 or 1, set by the build) chooses whether _StartUpgrade is
# exported, so that the test variant lacking it shares this layout.

        .include "layout.inc"

        .text
        .p2align 4
        routine first_unpack_routine
        jump_to webdnld_first_unpack

        .org    0x4D20 - 0x49C6
        routine second_unpack_routine
        stdcall_jump_to webdnld_second_unpack, 20

        .org    0x4D20
        routine _StartUpgrade
        jump_to webdnld_start_upgrade

        .if EXPORT_START_UPGRADE
        export_entry _StartUpgrade
        .endif
