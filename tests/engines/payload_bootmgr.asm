; A stand-in for the Windows boot manager starting a boot-sector application: loads the
; whole 18-sector mvldr.mbr from disk sectors 100..117 to 0000:7C00 and jumps there with
; DL = the boot drive, as the boot manager does with the file. Test use only
; (scripts/payload-proof.sh), written as a disk's master boot record.

bits 16
org 0x0600

start:
%include "zero_segments.inc"
        mov     si, 0x7C00      ; out of the way of the file
        mov     di, 0x0600
        mov     cx, 256
        rep     movsw
        jmp     0:moved
moved:
        push    dx
        mov     si, dap
        mov     ah, 0x42
        int     0x13
        pop     dx
        jc      .halt
        jmp     0:0x7C00
.halt:
        hlt
        jmp     .halt

dap:    db 16, 0
        dw 18
        dw 0x7C00, 0
        dd 100, 0

        times 446-($-$$) db 0
