# Instructions across the whole instruction set, assembled by GNU as and then compared
# with objdump by run_oracle.sh: the compilers behind our other oracle files emit only
# a part of what the decoder knows.
.intel_syntax noprefix
.text
.globl start
start:
.include "instruction_coverage_common.s"
 pop dword ptr [ebx]
 call eax
 call dword ptr [eax]
 call dword ptr [eax+eax*8+0x12345678]
 jmp ecx
 jmp dword ptr [ecx*4+0x12345678]
 call fword ptr [eax]
 jmp fword ptr [eax]

 pusha
 popa
 daa
 das
 aaa
 aas
 aam
 aad 5
 into
 bound eax,qword ptr [ecx]
 arpl word ptr [eax],cx
 les eax,fword ptr [ecx]
 lds ecx,fword ptr [eax]
 push es
 pop ds
 push cs
 push ss
 pop ss
 inc eax
 dec ecx
 inc ax
 mov eax,dword ptr [bx+si]
 mov ax,word ptr [bp+2]
 mov eax,dword ptr [si+0x1234]
 mov eax,dword ptr [bx]
 add byte ptr [bp+di-4],3
 mov al,byte ptr [0x1234]
 lea ax,[bx+si+0x10]
 call 0x10:0x401000
 jmp 0x10:0x12345678
 push gs
 pop fs
