# Instructions across the whole instruction set, assembled by GNU as and then compared
# with objdump by run_oracle.sh: the compilers behind our other oracle files emit only
# a part of what the decoder knows.
.intel_syntax noprefix
.text
.globl start
start:
.include "instruction_coverage_common.s"
 pop qword ptr [rbx]
 sysretq
 call rax
 call qword ptr [rax]
 call qword ptr [rip+0x100]
 jmp r11
 jmp qword ptr [rip+0x20]
 jmp qword ptr [r8*8+0x12345678]
 push qword ptr [rip+0x10]
 push r12
 pop r15
 pushfq
 popfq
 iretq
 syscall
 swapgs
 movabs rax,0x1122334455667788
 movabs al,ds:0x1122334455667788
 movabs rax,ds:0x1122334455667788
 mov eax,dword ptr ds:0x12345678
 movsxd rax,dword ptr [rcx]
 movsxd rax,ecx
 mov r8b,1
 mov spl,sil
 mov dil,byte ptr [r9]
 mov rax,qword ptr gs:0x60
 mov eax,dword ptr [r13]
 mov eax,dword ptr [r12]
 mov rax,qword ptr [rsp+r9*8]
 mov rax,qword ptr [rbp]
 mov rax,qword ptr [rip+0x1234]
 lea rax,[rip-0x10]
 lea r10,[r11+r12*2+0x7f]
 movsx rax,byte ptr [rcx]
 movzx r8d,r9w
 xchg r8,rax
 xchg rax,rcx
 bswap r10
 bswap rax
 cqo
 cdqe
 stosq
 rep movsq
 lock cmpxchg qword ptr [rcx],rdx
 lock cmpxchg16b xmmword ptr [rcx]
 mov rax,cr3
 mov cr8,rax
 mov rax,dr7
 sub rsp,0x1000
 and rsp,-16
 imul r10,r11,0x12345678
 test r15b,1
 add r9,-1
 mov qword ptr [rax],-1
 push -1
 fxsave64 [rax]
 xsave64 [rax]
 movq rax,xmm0
 movq xmm0,rax
 pextrq rax,xmm0,1
 pinsrq xmm0,rax,1
 cvtsi2sd xmm0,rax
 cvttsd2si rax,xmm0
 crc32 rax,rcx
 popcnt rax,rcx
 rdrand rax
 shlx rax,rcx,rdx
 andn r8,r9,r10
 rorx rax,rcx,3
 vmovdqu ymm8,ymmword ptr [r9]
 vpxor ymm12,ymm13,ymm14
 vmovq xmm0,rax
 vaddps ymm15,ymm0,ymmword ptr [rip+0x40]
 movdqa xmm8,xmm15
 pxor xmm9,xmmword ptr [r10]
 nop word ptr cs:[rax+rax*1+0]
 call qword ptr [rax+8]
