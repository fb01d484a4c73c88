; Master boot record: finds the one active entry of the partition table, reads that
; partition's first sector to 0000:7C00 and jumps there with DL = the BIOS drive and
; DS:SI = the partition entry. Bootice writes bytes 0..439 only; the disk signature,
; the two bytes after it, the partition table and 55 AA stay as the disk had them.
;
; Assembled twice: -DNT60 reads with the BIOS disk extensions only (LBA), as boot
; managers of NT 6 and later expect; without it a missing extension falls back to the
; entry's cylinder/head/sector address.

bits 16
org 0x0600

%define TABLE 0x07BE            ; the partition table after the move to 0x0600

start:
        cli
        xor     ax, ax
        mov     ss, ax
        mov     sp, 0x7C00
        mov     ds, ax
        mov     es, ax
        sti
        cld
        mov     si, 0x7C00      ; move out of the way of the boot record we load
        mov     di, 0x0600
        mov     cx, 256
        rep     movsw
        jmp     0:moved

moved:
        mov     [drive], dl
        mov     si, TABLE
        xor     bp, bp          ; the active entry, once found
        mov     cx, 4
.scan:
        mov     al, [si]
        test    al, al
        jz      .next
        cmp     al, 0x80        ; a boot flag is 00 or 80, nothing else
        jne     bad_table
        test    bp, bp          ; and only one entry has 80
        jnz     bad_table
        mov     bp, si
.next:
        add     si, 16
        loop    .scan
        test    bp, bp
        jz      no_active

        mov     di, 5           ; tries
.try:
        mov     ah, 0x41        ; disk extensions present?
        mov     bx, 0x55AA
        mov     dl, [drive]
        int     0x13
        jc      .no_ext
        cmp     bx, 0xAA55
        jne     .no_ext
        test    cl, 1
        jz      .no_ext
        mov     eax, [bp+8]     ; first sector of the partition
        mov     [dap_lba], eax
        mov     si, dap
        mov     ah, 0x42
        mov     dl, [drive]
        int     0x13
        jnc     loaded
        jmp     .reset
.no_ext:
%ifdef NT60
        jmp     read_error
%else
        mov     dh, [bp+1]      ; head
        mov     cx, [bp+2]      ; sector and cylinder
        mov     bx, 0x7C00
        mov     ax, 0x0201
        mov     dl, [drive]
        int     0x13
        jnc     loaded
%endif
.reset:
        xor     ah, ah
        mov     dl, [drive]
        int     0x13
        dec     di
        jnz     .try
        jmp     read_error

loaded:
        cmp     word [0x7DFE], 0xAA55
        jne     no_system
        mov     si, bp
        mov     dl, [drive]
        jmp     0:0x7C00

bad_table:
        mov     si, msg_table
        jmp     fail
no_active:
        mov     si, msg_active
        jmp     fail
read_error:
        mov     si, msg_read
        jmp     fail
no_system:
        mov     si, msg_system
%include "fail.inc"

drive:  db 0x80
dap:    db 16, 0
        dw 1                    ; one sector
        dw 0x7C00, 0            ; to 0000:7C00
dap_lba:
        dd 0, 0

msg_table:  db "Partition table is damaged", 0
msg_active: db "No active partition", 0
msg_read:   db "Disk read failed", 0
msg_system: db "Partition has no boot record", 0

%if ($-$$) > 440
%error "boot code overruns the disk signature"
%endif
        times 440-($-$$) db 0
