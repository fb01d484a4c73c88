; FAT32 volume boot record: finds the loader file in the root directory, reads it
; cluster by cluster to 2000:0000 and jumps there with DL = the BIOS drive.
; Bootice writes bytes 0..2 and 0x5A..0x1FF; the parameter block (3..0x59) stays as the
; volume has it. -DNTLDR looks for "NTLDR", otherwise "BOOTMGR".

bits 16
org 0x7C00

%define BPS     0x7C0B          ; bytes per sector (word)
%define SPC     0x7C0D          ; sectors per cluster (byte)
%define RESV    0x7C0E          ; reserved sectors (word)
%define NFATS   0x7C10          ; number of FATs (byte)
%define HIDDEN  0x7C1C          ; sectors before the volume (dword)
%define FATSZ   0x7C24          ; sectors per FAT (dword)
%define ROOT    0x7C2C          ; first cluster of the root directory (dword)
%define DRIVE   0x7C40          ; BIOS drive number (byte)

%define FATBUF  0x0600          ; one FAT sector
%define DIRBUF  0x0800          ; one directory sector (up to 4 KiB)
%define LOADSEG 0x2000
%define FATSTART 0x7BF8         ; first FAT sector, absolute (dword, below the stack top)
%define DATASTART 0x7BF4        ; first data sector, absolute (dword)

        jmp     short start
        nop
        times 0x5A-($-$$) db 0

start:
        cli
        xor     ax, ax
        mov     ds, ax
        mov     es, ax
        mov     ss, ax
        mov     sp, 0x7BF0
        sti
        cld
        mov     [DRIVE], dl
        mov     ah, 0x41        ; the reads below need the disk extensions
        mov     bx, 0x55AA
        int     0x13
        jc      no_ext
        cmp     bx, 0xAA55
        jne     no_ext

        movzx   eax, word [RESV]
        add     eax, [HIDDEN]
        mov     [FATSTART], eax
        movzx   ecx, byte [NFATS]
.fats:
        add     eax, [FATSZ]
        loop    .fats
        mov     [DATASTART], eax

        mov     eax, [ROOT]
.dir_cluster:
        push    eax
        call    cluster_sector  ; eax = first sector, cx = sectors per cluster
.dir_sector:
        push    ax
        mov     bx, DIRBUF >> 4
        mov     es, bx
        call    read_sector
        pop     ax
        xor     bx, bx
        mov     es, bx
        mov     di, DIRBUF
.entry:
        cmp     byte [di], 0    ; end of the directory
        je      not_found
        push    di
        push    cx
        mov     si, file_name
        mov     cx, 11
        repe    cmpsb
        pop     cx
        pop     di
        jne     .skip
        test    byte [di+11], 0x18      ; not a directory or the volume label
        jz      found
.skip:
        add     di, 32
        mov     bx, DIRBUF
        add     bx, [BPS]
        cmp     di, bx
        jb      .entry
        inc     eax
        loop    .dir_sector
        pop     eax
        call    next_cluster
        jb      .dir_cluster
        jmp     not_found

found:
        mov     ax, [di+20]     ; first cluster, high and low words
        shl     eax, 16
        mov     ax, [di+26]
        mov     bx, LOADSEG
        mov     es, bx
.file_cluster:
        cmp     eax, 2
        jb      not_found
        push    eax
        call    cluster_sector
.file_sector:
        call    read_sector     ; advances es
        inc     eax
        mov     bx, es
        cmp     bx, 0x9F00      ; stay below the BIOS data at 9FC0:0000 and up
        jae     too_big
        loop    .file_sector
        pop     eax
        call    next_cluster
        jb      .file_cluster
        mov     dl, [DRIVE]
        jmp     LOADSEG:0

; eax = cluster -> eax = its first absolute sector, cx = sectors per cluster
cluster_sector:
        sub     eax, 2
        movzx   ecx, byte [SPC]
        mul     ecx
        add     eax, [DATASTART]
        ret

; eax = cluster -> eax = the next cluster; CF set while the chain goes on
next_cluster:
        push    es
        push    cx
        shl     eax, 2
        xor     edx, edx
        movzx   ecx, word [BPS]
        div     ecx             ; eax = FAT sector, edx = offset in it
        add     eax, [FATSTART]
        push    dx
        mov     bx, FATBUF >> 4
        mov     es, bx
        call    read_sector
        pop     bx
        mov     eax, [FATBUF+bx]
        and     eax, 0x0FFFFFFF
        pop     cx
        pop     es
        cmp     eax, 0x0FFFFFF7 ; bad or end-of-chain marks end the chain
        ret

%include "read_sector.inc"

no_ext:
        mov     si, msg_ext
        jmp     fail
read_error:
        mov     si, msg_read
        jmp     fail
too_big:
        mov     si, msg_big
        jmp     fail
not_found:
        mov     si, msg_missing
%include "fail.inc"

%ifdef NTLDR
file_name:  db "NTLDR      "
msg_missing: db "No NTLDR", 0
%else
file_name:  db "BOOTMGR    "
msg_missing: db "No BOOTMGR", 0
%endif
msg_ext:    db "No LBA", 0
msg_read:   db "Read error", 0
msg_big:    db "Too big", 0

%if ($-$$) > 510
%error "boot code too long"
%endif
        times 510-($-$$) db 0
        dw 0xAA55
