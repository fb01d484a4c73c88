; mvldr.mbr: starts the loader file GRLDR from the NTFS volume that holds it.
;
; Sector 0 runs at 0000:7C00 with DL = the BIOS drive, either as a boot-sector
; application of the Windows boot manager (the whole file is loaded) or as a disk's
; master boot record (only sector 0 is loaded; the other sectors lie right behind it, in
; sectors 1..17 of the disk). Sectors 2..17 are our NTFS volume boot code built with
; -DGRLDR -DCHAINED.
;
; Sector 0 moves the file to 1000:0000, reads the drive's partition table and walks the
; primary and logical partitions. For each NTFS partition it reads the volume's boot
; sector to 0000:7C00 (keeping that volume's parameter block), lays our boot code over
; the rest of it and runs the code's second stage, which looks GRLDR up in the root
; directory, loads it to 2000:0000 and jumps there. When the file is not on that volume,
; the boot code returns through the far pointer at 0000:0500 and the next partition is
; tried.
;   nasm -f bin -I<engines/bootice/bootcode/> -DNTFS_CODE=<ntfs boot code, GRLDR, CHAINED>
;        -o mvldr.mbr mvldr.asm

bits 16
org 0x7C00

%define RELSEG  0x0840          ; 0840:7C00 = linear 0x10000, where this file runs
%define SECTORS 18              ; two sectors of ours and the 16 of the NTFS boot code
%define BLOB    0x8000          ; the NTFS boot code, at its place in this file
%define TABLE   (0x7C00 + SECTORS * 512)  ; a partition table sector (MBR or EBR)
%define RESUME  0x0500          ; far pointer the boot code returns through
%define MAXTABLES 64

start:
%include "zero_segments.inc"
        mov     [drive], dl
        mov     ah, 0x41        ; every read needs the disk extensions
        mov     bx, 0x55AA
        int     0x13
        jc      no_ext
        cmp     bx, 0xAA55
        jne     no_ext
        mov     si, rest_magic  ; loaded whole (boot manager) or only sector 0 (BIOS)?
        mov     di, sector1
        mov     cx, 8
        repe    cmpsb
        je      .whole
        mov     word [dap_count], SECTORS - 1
        mov     word [dap_off], sector1
        mov     word [dap_seg], 0
        mov     eax, 1
        call    read
        mov     word [dap_count], 1
        mov     si, rest_magic
        mov     di, sector1
        mov     cx, 8
        repe    cmpsb
        jne     incomplete
.whole:
        mov     ax, 0x1000      ; move the file to 1000:0000 and go on there
        mov     es, ax
        mov     si, 0x7C00
        xor     di, di
        mov     cx, SECTORS * 256
        rep     movsw
        jmp     RELSEG:relocated

; eax = sector number -> reads [dap_count] sectors to the DAP's buffer (ds = DAP's segment)
read:
        pushad
        mov     [dap_lba], eax
        mov     si, dap
        mov     ah, 0x42
        mov     dl, [drive]
        int     0x13
        jc      read_error
        popad
        ret

no_ext:
        mov     si, msg_ext
        jmp     fail
read_error:
        mov     si, msg_read
        jmp     fail
incomplete:
        mov     si, msg_incomplete
        jmp     fail
not_found:
        mov     si, msg_missing
%include "fail.inc"

dap:        db 16, 0
dap_count:  dw 1
dap_off:    dw 0
dap_seg:    dw 0
dap_lba:    dd 0, 0

drive:      db 0
rest_magic: db "MVLDR-18"

msg_ext:        db "mvldr: no disk extensions", 0
msg_read:       db "mvldr: disk read failed", 0
msg_incomplete: db "mvldr: sectors 1-17 missing", 0
msg_missing:    db "mvldr: GRLDR not found", 0

%if ($-$$) > 446
%error "sector 0 runs into the partition table"
%endif
        times 510-($-$$) db 0
        dw 0xAA55

; ---- sector 1 ----------------------------------------------------------------------
sector1:
        db      "MVLDR-18"
relocated:
        mov     ax, RELSEG
        mov     ds, ax
        mov     es, ax
        xor     eax, eax        ; the master boot record
        mov     [table_lba], eax
        mov     [ext_base], eax
        mov     [next_link], eax
        call    read_table
next_entry:
        mov     ax, RELSEG
        mov     ds, ax
        mov     es, ax
        xor     ax, ax
        mov     ss, ax
        mov     sp, 0x7C00
        movzx   bx, byte [entry]
        cmp     bx, 4
        jb      .have
        mov     eax, [next_link] ; this table is done: the next logical partition's table
        test    eax, eax
        jz      not_found
        mov     [table_lba], eax
        mov     dword [next_link], 0
        dec     byte [tables_left]
        jz      not_found
        call    read_table
        jmp     next_entry
.have:
        inc     byte [entry]
        shl     bx, 4
        add     bx, TABLE + 0x1BE
        mov     al, [bx+4]      ; partition type
        mov     ecx, [bx+8]     ; start, relative to this table's sector
        test    ecx, ecx
        jz      next_entry
        cmp     al, 0x05
        je      .extended
        cmp     al, 0x0F
        je      .extended
        cmp     al, 0x85
        je      .extended
        cmp     al, 0x07
        je      .ntfs
        cmp     al, 0x17
        je      .ntfs
        jmp     next_entry
.extended:                      ; the table of the first (next) logical partition
        mov     eax, [ext_base]
        test    eax, eax
        jnz     .linked
        mov     [ext_base], ecx ; the extended partition of the master boot record
        mov     [next_link], ecx
        jmp     next_entry
.linked:
        add     eax, ecx        ; links inside the chain count from the extended partition
        mov     [next_link], eax
        jmp     next_entry
.ntfs:
        mov     eax, [table_lba]
        add     eax, ecx
        mov     [part_lba], eax
        mov     word [dap_off], 0x7C00
        mov     word [dap_seg], 0
        call    read
        xor     ax, ax
        mov     es, ax
        mov     si, ntfs_oem
        mov     di, 0x7C03
        mov     cx, 8
        repe    cmpsb
        jne     next_entry
        mov     si, BLOB + 0x54 ; our boot code over the volume's, its parameter block kept
        mov     di, 0x7C54
        mov     cx, 0x200 - 0x54
        rep     movsb
        mov     si, BLOB + 0x200
        mov     di, 0x7E00
        mov     cx, 0x1E00
        rep     movsb
        mov     eax, [part_lba]
        mov     [es:0x7C1C], eax ; sectors before the volume: the table's, not the copy's
        mov     al, [drive]
        mov     [es:0x7C24], al
        mov     word [es:RESUME], next_entry
        mov     word [es:RESUME+2], RELSEG
        xor     ax, ax
        mov     ds, ax
        jmp     0:0x7E00

; [table_lba] -> the table sector at TABLE, entry 0 next
read_table:
        mov     word [dap_off], TABLE
        mov     word [dap_seg], RELSEG
        mov     eax, [table_lba]
        call    read
        mov     byte [entry], 0
        cmp     word [TABLE + 510], 0xAA55
        jne     not_found
        ret

entry:      db 0
tables_left: db MAXTABLES
table_lba:  dd 0
ext_base:   dd 0
next_link:  dd 0
part_lba:   dd 0
ntfs_oem:   db "NTFS    "


%if ($-$$) > 1024
%error "sector 1 too long"
%endif
        times 1024-($-$$) db 0

        incbin  NTFS_CODE
