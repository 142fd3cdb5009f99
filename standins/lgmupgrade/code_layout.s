# The code section of the upgrade library as callers find their way around it: the KDZ
# extraction entry is not exported and is reached at dll_StartUpgrade + 29408 (0x72E0).
# Each place holds a jump to the routine that does the work.
#
# EXPORT_START_UPGRADE and EXPORT_SET_PARAM (0 or 1, set by the build) choose the
# exports, so that the test variants lacking an entry point share this layout.

        .include "layout.inc"

        .text
        .p2align 4
        routine dll_StartUpgrade
        jump_to lgm_start_upgrade

        .org    0x72E0
        routine kdz_extraction_entry
        jump_to lgm_extract_kdz

        .p2align 4
        routine SetParam
        jump_to lgm_set_param

        .if EXPORT_START_UPGRADE
        export_entry dll_StartUpgrade
        .endif
        .if EXPORT_SET_PARAM
        export_entry SetParam
        .endif
