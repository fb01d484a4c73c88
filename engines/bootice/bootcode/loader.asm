; Stand-in for a boot loader, for the virtual-machine proof of the boot records: loaded
; at 2000:0000, it checks that its last bytes arrived too and writes a marker line to
; the first serial port. Assembled with -DNAME='"BOOTMGR"' and a -DSIZE in bytes.

bits 16
org 0

        mov     ax, cs
        mov     ds, ax
        mov     si, ok
        add     ax, (SIZE - 8) >> 4     ; the tail may lie past the first 64 KiB
        mov     es, ax
        cmp     dword [es:(SIZE - 8) & 15], 'TAIL'
        jne     .short
        cmp     dword [es:((SIZE - 8) & 15) + 4], 'END!'
        je      .print
.short:
        mov     si, truncated
.print:
        lodsb
        test    al, al
        jz      .halt
        mov     ah, al
        mov     dx, 0x3FD
.wait:
        in      al, dx
        test    al, 0x20
        jz      .wait
        mov     dx, 0x3F8
        mov     al, ah
        out     dx, al
        jmp     .print
.halt:
        cli
        hlt
        jmp     .halt

ok:        db "STARBRIDGE-BOOT-OK ", NAME, 13, 10, 0
truncated: db "STARBRIDGE-BOOT-TRUNCATED ", NAME, 13, 10, 0

        times SIZE-8-($-$$) db 0x5A
        db "TAIL", "END!"
