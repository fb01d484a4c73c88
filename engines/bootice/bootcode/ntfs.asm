; NTFS volume boot code, 16 sectors (the volume's $Boot area). Sector 0 keeps the
; volume's parameter block (bytes 3..0x53; Bootice writes 0..2 and 0x54..) and reads
; sectors 1..15, which hold the rest: it reads the $MFT's own record for the map of
; the MFT, looks the loader up in the root directory's index (the index root, then every
; index block), and reads the loader's data to 2000:0000, jumping there with DL = the
; BIOS drive. Attributes moved to extension records are found through the record's
; attribute list. -DNTLDR looks for "NTLDR", -DGRLDR for "GRLDR", otherwise "BOOTMGR";
; names compare without regard to case. -DCHAINED: a loader that scans several volumes
; (mvldr) runs sectors 1..15 itself and is called back through the far pointer at
; 0000:0500 when the file is not on this volume.

bits 16
org 0x7C00

%define BPS     0x7C0B          ; bytes per sector (word)
%define SPC     0x7C0D          ; sectors per cluster (byte)
%define HIDDEN  0x7C1C          ; sectors before the volume (dword)
%define DRIVE   0x7C24          ; BIOS drive number (byte)
%define MFTLCN  0x7C30          ; first cluster of the MFT (low dword)
%define RECCL   0x7C40          ; clusters per MFT record, or -log2 of its bytes

%define MFTBUF  0x0800          ; the $MFT's own record (up to 4 KiB)
%define RECBUF  0x1800          ; the record being read
%define IDXBUF  0x2800          ; one index block (up to 4 KiB)
%define ATTRBUF 0x3800          ; an extension record named by an attribute list
%define LISTBUF 0x4800          ; a non-resident attribute list (its first 4 KiB)
%define LOADSEG 0x2000

        jmp     short start
        nop
        times 0x54-($-$$) db 0

start:
        cli
        xor     ax, ax
        mov     ds, ax
        mov     es, ax
        mov     ss, ax
        mov     sp, 0x7C00
        sti
        cld
        mov     [DRIVE], dl
        mov     ah, 0x41        ; every read needs the disk extensions
        mov     bx, 0x55AA
        int     0x13
        jc      no_ext
        cmp     bx, 0xAA55
        jne     no_ext
        mov     ax, 8192        ; the rest of the 8 KiB of boot code
        xor     dx, dx
        div     word [BPS]
        dec     ax
        mov     cx, ax
        mov     eax, [HIDDEN]
        mov     bx, 0x07E0
        mov     es, bx
.more:
        inc     eax
        call    read_sector
        loop    .more
        xor     bx, bx
        mov     es, bx
        jmp     stage2

%include "read_sector.inc"

no_ext:
        mov     si, msg_ext
        jmp     fail
read_error:
        mov     si, msg_read
        jmp     fail
bad_record:
        mov     si, msg_record
        jmp     fail
too_big:
        mov     si, msg_big
        jmp     fail
not_found:
%ifdef CHAINED
        jmp     far [0x0500]
%endif
        mov     si, msg_missing
%include "fail.inc"

msg_ext:    db "No disk extensions", 0
msg_read:   db "Disk read failed", 0
msg_record: db "File system damaged", 0
msg_big:    db "Loader too large", 0
%ifdef NTLDR
msg_missing: db "NTLDR is missing", 0
%elifdef GRLDR
msg_missing: db "GRLDR is missing", 0
%else
msg_missing: db "BOOTMGR is missing", 0
%endif

%if ($-$$) > 510
%error "first sector too long"
%endif
        times 510-($-$$) db 0
        dw 0xAA55

; ---- sectors 1..15 -------------------------------------------------------------

stage2:
        mov     al, [RECCL]     ; bytes per MFT record
        test    al, al
        js      .log2
        movzx   ax, al
        movzx   bx, byte [SPC]
        mul     bx
        mul     word [BPS]
        jmp     .have
.log2:
        neg     al
        mov     cl, al
        mov     ax, 1
        shl     ax, cl
.have:
        xor     dx, dx
        div     word [BPS]
        test    ax, ax
        jz      bad_record
        mov     [rec_sectors], ax

        mov     eax, [MFTLCN]   ; record 0 is the $MFT itself; it maps the rest
        movzx   ebx, byte [SPC]
        mul     ebx
        add     eax, [HIDDEN]
        mov     cx, [rec_sectors]
        mov     bx, MFTBUF >> 4
        mov     es, bx
.r0:
        call    read_sector
        inc     eax
        loop    .r0
        mov     di, MFTBUF
        cmp     dword [di], 'FILE'
        jne     bad_record
        call    fixup
        mov     eax, 0x80       ; $DATA
        call    find_attr
        jc      bad_record
        cmp     byte [bx+8], 0
        je      bad_record
        mov     ax, [bx+0x20]
        add     ax, bx
        mov     [mft_runs], ax

        mov     eax, 5          ; the root directory
        mov     di, RECBUF
        call    load_record
        mov     eax, 0x90       ; $INDEX_ROOT
        call    find_attr_any
        jc      bad_record
        mov     si, [bx+0x14]
        add     si, bx
        mov     ax, [si+8]      ; bytes per index block
        mov     [idx_bytes], ax
        add     si, 0x10
        call    scan_entries
        jnc     have_file

        mov     di, RECBUF
        mov     eax, 0xA0       ; $INDEX_ALLOCATION
        call    find_attr_any
        jc      not_found
        cmp     byte [bx+8], 0
        je      bad_record
        mov     ax, [bx+0x20]
        add     ax, bx
        mov     [idx_runs], ax
        mov     eax, [bx+0x30]
        xor     edx, edx
        movzx   ecx, word [idx_bytes]
        test    ecx, ecx
        jz      bad_record
        cmp     cx, 0x1000
        ja      bad_record
        div     ecx
        mov     [idx_count], ax
        mov     ax, [idx_bytes]
        xor     dx, dx
        div     word [BPS]
        mov     [idx_sectors], ax
.block:
        mov     ax, [idx_k]
        cmp     ax, [idx_count]
        jae     not_found
        movzx   eax, ax
        movzx   ecx, word [idx_sectors]
        mul     ecx
        mov     si, [idx_runs]
        mov     bx, IDXBUF >> 4
        mov     es, bx
        call    read_attr
        mov     di, IDXBUF
        cmp     dword [di], 'INDX'
        jne     .next_block
        call    fixup
        lea     si, [di+0x18]
        call    scan_entries
        jnc     have_file
.next_block:
        inc     word [idx_k]
        jmp     .block

have_file:                      ; eax = record number, cx = its sequence number
        push    cx
        mov     di, RECBUF
        call    load_record
        pop     cx
        cmp     [RECBUF+0x10], cx
        jne     not_found
        test    byte [RECBUF+0x16], 2
        jnz     not_found
        mov     eax, 0x80       ; $DATA
        call    find_attr_any
        jc      not_found
        mov     ax, LOADSEG
        mov     es, ax
        cmp     byte [bx+8], 0
        jne     .nonresident
        mov     cx, [bx+0x10]
        mov     si, [bx+0x14]
        add     si, bx
        xor     di, di
        rep     movsb
        jmp     .go
.nonresident:
        cmp     dword [bx+0x34], 0
        jne     too_big
        mov     eax, [bx+0x30]
        cmp     eax, 0x7E000    ; 2000:0000 up to the BIOS data below 640 KiB
        ja      too_big
        movzx   ecx, word [BPS]
        add     eax, ecx
        dec     eax
        xor     edx, edx
        div     ecx
        mov     cx, ax
        mov     si, [bx+0x20]
        add     si, bx
        xor     eax, eax
        call    read_attr
.go:
        mov     dl, [DRIVE]
        jmp     LOADSEG:0

; eax = record number, di = a buffer -> the record there, checked and fixed up
load_record:
        movzx   ecx, word [rec_sectors]
        mul     ecx
        mov     si, [mft_runs]
        mov     bx, di
        shr     bx, 4
        mov     es, bx
        call    read_attr
        cmp     dword [di], 'FILE'
        jne     bad_record
        call    fixup
        test    byte [di+0x16], 1       ; in use
        jz      bad_record
        ret

; si = data runs, eax = first sector of the attribute's data, cx = sectors,
; es = destination segment (advanced past what was read)
read_attr:
        jcxz    .done
.sector:
        push    eax
        push    cx
        xor     edx, edx
        movzx   ebx, byte [SPC]
        div     ebx             ; eax = cluster of the attribute, edx = sector in it
        push    edx
        call    map_vcn
        movzx   ebx, byte [SPC]
        mul     ebx
        pop     edx
        add     eax, edx
        add     eax, [HIDDEN]
        call    read_sector
        pop     cx
        pop     eax
        inc     eax
        loop    .sector
.done:
        ret

; si = data runs, eax = cluster of the attribute -> eax = cluster of the volume
map_vcn:
        push    si
        push    ebx
        push    ecx
        push    edx
        push    ebp
        mov     ebp, eax
        xor     ebx, ebx        ; first cluster of the attribute in this run
        xor     edx, edx        ; volume cluster of this run
.run:
        mov     cl, [si]
        inc     si
        test    cl, cl
        jz      bad_record      ; past the last run
        mov     ch, cl
        and     cl, 0x0F
        shr     ch, 4
        call    read_var
        push    eax             ; run length
        mov     cl, ch
        call    read_var
        test    cl, cl
        jz      .sparse
        cmp     cl, 4
        jae     .signed
        mov     ch, 4           ; sign-extend a short offset
        sub     ch, cl
        shl     ch, 3
        mov     cl, ch
        shl     eax, cl
        sar     eax, cl
.signed:
        add     edx, eax
        pop     eax
        mov     ecx, ebp
        sub     ecx, ebx
        cmp     ecx, eax
        jb      .found
        add     ebx, eax
        jmp     .run
.sparse:
        pop     eax
        mov     ecx, ebp
        sub     ecx, ebx
        cmp     ecx, eax
        jb      bad_record      ; a loader is never sparse
        add     ebx, eax
        jmp     .run
.found:
        lea     eax, [edx+ecx]
        pop     ebp
        pop     edx
        pop     ecx
        pop     ebx
        pop     si
        ret

; cl = bytes, si -> a little-endian number -> eax = its low 32 bits, si moved past it
read_var:
        push    cx
        xor     eax, eax
        xor     ch, ch
        add     si, cx
        push    si
        jcxz    .done
.byte:
        dec     si
        shl     eax, 8
        mov     al, [si]
        loop    .byte
.done:
        pop     si
        pop     cx
        ret

; di = a record or index block: puts back the two bytes that end each 512-byte stride
fixup:
        pusha
        mov     si, [di+4]
        add     si, di
        mov     cx, [di+6]
        lodsw
        mov     dx, ax
        mov     bx, di
        dec     cx
        jz      .done
.stride:
        add     bx, 512
        cmp     [bx-2], dx
        jne     bad_record
        lodsw
        mov     [bx-2], ax
        loop    .stride
.done:
        popa
        ret

; di = record, eax = attribute type -> bx = the first attribute of that type; CF when none
find_attr:
        mov     bx, [di+0x14]
        add     bx, di
.next:
        cmp     dword [bx], 0xFFFFFFFF
        je      .none
        cmp     [bx], eax
        je      .found
        cmp     word [bx+4], 0
        je      .none
        add     bx, [bx+4]
        jmp     .next
.none:
        stc
.found:
        ret

; di = a record, eax = attribute type -> bx = the first part of that attribute and di =
; the record holding it: the record itself or, through its attribute list, an extension
; record read to ATTRBUF; CF when there is none
find_attr_any:
        call    find_attr
        jnc     .done
        push    eax
        mov     eax, 0x20       ; $ATTRIBUTE_LIST
        call    find_attr
        pop     eax
        jc      .done
        push    eax
        cmp     byte [bx+8], 0
        jne     .nonresident
        mov     si, [bx+0x14]
        add     si, bx
        mov     cx, [bx+0x10]
        jmp     .walk
.nonresident:
        mov     ecx, [bx+0x30]
        cmp     ecx, 0x1000
        jbe     .fits
        mov     ecx, 0x1000
.fits:
        push    cx
        mov     ax, cx
        add     ax, [BPS]
        dec     ax
        xor     dx, dx
        div     word [BPS]
        mov     cx, ax
        mov     si, [bx+0x20]
        add     si, bx
        mov     ax, LISTBUF >> 4
        mov     es, ax
        xor     eax, eax
        call    read_attr
        pop     cx
        mov     si, LISTBUF
.walk:
        mov     dx, si
        add     dx, cx
        pop     eax
.entry:
        cmp     si, dx
        jae     .none
        cmp     [si], eax
        jne     .next
        cmp     dword [si+8], 0 ; the part that starts the attribute
        jne     .next
        push    eax
        push    si
        push    dx
        mov     eax, [si+0x10]
        mov     di, ATTRBUF
        call    load_record
        pop     dx
        pop     si
        pop     eax
        call    find_attr
        jnc     .done
.next:
        cmp     word [si+4], 0
        je      .none
        add     si, [si+4]
        jmp     .entry
.none:
        stc
.done:
        ret

; si = index header -> eax = record number, cx = sequence number of the entry named
; like the loader; CF when there is none
scan_entries:
        mov     bx, si
        add     bx, [si]
        mov     dx, si
        add     dx, [si+4]
.entry:
        cmp     bx, dx
        jae     .none
        test    byte [bx+0x0C], 2       ; the last entry holds no name
        jnz     .none
        cmp     byte [bx+0x50], name_len
        jne     .skip
        lea     si, [bx+0x52]
        mov     di, file_name
        mov     cx, name_len
.char:
        lodsw
        cmp     ax, 'a'
        jb      .upper
        cmp     ax, 'z'
        ja      .upper
        sub     ax, 0x20
.upper:
        test    ah, ah
        jnz     .skip
        cmp     al, [di]
        jne     .skip
        inc     di
        loop    .char
        mov     eax, [bx]
        mov     cx, [bx+6]
        clc
        ret
.skip:
        cmp     word [bx+8], 0
        je      .none
        add     bx, [bx+8]
        jmp     .entry
.none:
        stc
        ret

%ifdef NTLDR
file_name:  db "NTLDR"
%elifdef GRLDR
file_name:  db "GRLDR"
%else
file_name:  db "BOOTMGR"
%endif
name_len equ $ - file_name

rec_sectors: dw 0
mft_runs:    dw 0
idx_bytes:   dw 0
idx_sectors: dw 0
idx_count:   dw 0
idx_k:       dw 0
idx_runs:    dw 0

%if ($-$$) > 8192
%error "boot code longer than 16 sectors"
%endif
        times 8192-($-$$) db 0
