# Instructions valid in both modes, included by instruction_coverage_32.s and _64.s;
# in 64-bit mode their 32-bit addresses take the address-size prefix.
 add al,1
 add ax,0x1234
 add eax,0x12345678
 add byte ptr [ebx],1
 add word ptr [ebx+4],0x1234
 add dword ptr [ebx+esi*4+0x100],0x12345678
 sub esp,-16
 imul eax,ecx,-3
 imul eax,ecx,0x1000
 imul ax,cx,0x1000
 push 5
 push 0x12345678
 push word ptr [ebx]
 test byte ptr [ecx],0x80
 test word ptr [ecx],0x8000
 test dword ptr [ecx],0x80000000
 not dword ptr [ecx]
 neg ax
 mul cl
 div dword ptr [esp+8]
 idiv ecx
 inc byte ptr [eax]
 dec word ptr [eax]
 shl eax,1
 shr ax,cl
 sar byte ptr [eax],3
 rol dword ptr [eax],7
 rcr ecx,1
 shld eax,ecx,3
 shrd eax,ecx,cl
 bt eax,3
 bts dword ptr [eax],ecx
 btr ecx,edx
 btc word ptr [eax],5
 bsf eax,ecx
 bsr ax,word ptr [ecx]
 popcnt eax,ecx
 lzcnt eax,dword ptr [ecx]
 tzcnt ax,cx
 movzx eax,byte ptr [ecx]
 movzx eax,cx
 movsx ax,byte ptr [ecx]
 movsx eax,word ptr [ecx]
 xchg eax,ecx
 xchg byte ptr [eax],cl
 xadd dword ptr [eax],ecx
 lock cmpxchg dword ptr [eax],ecx
 lock cmpxchg8b qword ptr [eax]
 cmpxchg byte ptr [eax],cl
 bswap ecx
 cbw
 cwde
 cwd
 cdq
 lahf
 sahf
 pushf
 popf
 clc
 stc
 cmc
 cld
 std
 cli
 sti
 hlt
 int3
 int 0x2e
 int1
 ud2
 ud1 eax,ecx
 nop
 pause
 lea eax,[eax+eax*2+0x12345678]
 lea ax,[ebx]
 mov al,byte ptr ds:0x12345678
 mov ax,word ptr [ebp-2]
 mov word ptr [eax],0x1234
 mov byte ptr [eax],0x12
 mov cl,0x12
 mov cx,0x1234
 mov ecx,0x12345678
 mov ax,ds
 mov ds,ax
 mov word ptr [eax],es
 mov fs,word ptr [eax]
 movsb
 movsw
 movsd
 rep movsd
 rep stosb
 repne scasb
 repe cmpsw
 lodsd
 stosw
 insb
 outsd
 in al,0x60
 in eax,dx
 out 0x80,al
 out dx,ax
 xlatb
 enter 0x10,0
 leave
 ret 8
 ret
 retf
 retf 4
 iretd
 seta al
 setne byte ptr [eax]
 cmovg eax,ecx
 cmovbe ax,word ptr [eax]
 cpuid
 rdtsc
 rdtscp
 rdmsr
 wrmsr
 rdpmc
 xgetbv
 xsetbv
 sysenter
 lfence
 mfence
 sfence
 clflush byte ptr [eax]
 prefetchnta byte ptr [eax]
 prefetcht0 byte ptr [eax]
 prefetchw byte ptr [eax]
 fxsave [eax]
 fxrstor [eax]
 xsave [eax]
 xrstor [eax]
 ldmxcsr dword ptr [eax]
 stmxcsr dword ptr [eax]
 rdrand eax
 rdseed ecx
 movbe eax,dword ptr [ecx]
 movbe word ptr [ecx],ax
 crc32 eax,byte ptr [ecx]
 crc32 eax,ecx
 endbr32
 endbr64
 xbegin 1f
1: xabort 3
 xend
 xtest
 lgdt [eax]
 sidt [eax]
 lidt [eax]
 sgdt [eax]
 smsw eax
 lmsw ax
 invlpg byte ptr [eax]
 sldt ax
 str ax
 lldt ax
 ltr word ptr [eax]
 verr ax
 verw word ptr [eax]
 lar eax,cx
 lsl eax,word ptr [eax]
 clts
 invd
 wbinvd
 monitor
 mwait
 fld dword ptr [eax]
 fld qword ptr [eax]
 fld tbyte ptr [eax]
 fld st(3)
 fst dword ptr [eax]
 fstp qword ptr [eax]
 fstp tbyte ptr [eax]
 fstp st(1)
 fild word ptr [eax]
 fild dword ptr [eax]
 fild qword ptr [eax]
 fist word ptr [eax]
 fistp qword ptr [eax]
 fisttp dword ptr [eax]
 fisttp qword ptr [eax]
 fbld tbyte ptr [eax]
 fbstp tbyte ptr [eax]
 fadd dword ptr [eax]
 fadd qword ptr [eax]
 fadd st,st(2)
 fadd st(2),st
 faddp st(1),st
 fiadd dword ptr [eax]
 fsub st,st(1)
 fsub st(1),st
 fsubr st(1),st
 fsubp st(1),st
 fsubrp st(1),st
 fmul st,st(1)
 fmulp st(2),st
 fdiv st(1),st
 fdivr st,st(1)
 fdivp st(1),st
 fdivrp st(1),st
 fidivr word ptr [eax]
 fcom st(1)
 fcomp dword ptr [eax]
 fcompp
 fucom st(1)
 fucomp st(2)
 fucompp
 fcomi st,st(1)
 fcomip st,st(1)
 fucomi st,st(1)
 fucomip st,st(1)
 ficom word ptr [eax]
 fcmovb st,st(1)
 fcmovnu st,st(2)
 fxch st(1)
 ffree st(1)
 fchs
 fabs
 ftst
 fxam
 fld1
 fldz
 fldpi
 fldl2e
 fldl2t
 fldlg2
 fldln2
 f2xm1
 fyl2x
 fptan
 fpatan
 fxtract
 fprem
 fprem1
 fdecstp
 fincstp
 fyl2xp1
 fsqrt
 fsincos
 frndint
 fscale
 fsin
 fcos
 fnop
 fwait
 fninit
 finit
 fnclex
 fclex
 fnstsw ax
 fstsw ax
 fnstsw word ptr [eax]
 fnstcw word ptr [eax]
 fstcw word ptr [eax]
 fldcw word ptr [eax]
 fnstenv [eax]
 fldenv [eax]
 fnsave [eax]
 frstor [eax]
 emms
 movd mm0,eax
 movd dword ptr [eax],mm1
 movq mm0,qword ptr [eax]
 movq qword ptr [eax],mm1
 paddb mm0,mm1
 pxor mm0,qword ptr [eax]
 punpcklbw mm0,dword ptr [eax]
 psrlw mm0,3
 psllq mm1,qword ptr [eax]
 pshufw mm0,mm1,0x1b
 pinsrw mm0,eax,1
 pextrw eax,mm1,2
 pmovmskb eax,mm1
 movntq qword ptr [eax],mm0
 maskmovq mm0,mm1
 movups xmm0,xmmword ptr [eax]
 movups xmmword ptr [eax],xmm1
 movupd xmm0,xmm1
 movss xmm0,dword ptr [eax]
 movss dword ptr [eax],xmm0
 movsd xmm0,qword ptr [eax]
 movsd xmm0,xmm1
 movaps xmm0,xmm1
 movapd xmmword ptr [eax],xmm2
 movlps xmm0,qword ptr [eax]
 movhlps xmm0,xmm1
 movlhps xmm0,xmm1
 movhps qword ptr [eax],xmm0
 movlpd xmm0,qword ptr [eax]
 movhpd qword ptr [eax],xmm0
 movsldup xmm0,xmm1
 movshdup xmm0,xmmword ptr [eax]
 movddup xmm0,qword ptr [eax]
 unpcklps xmm0,xmm1
 unpckhpd xmm0,xmmword ptr [eax]
 cvtpi2ps xmm0,mm1
 cvtsi2ss xmm0,eax
 cvtsi2sd xmm0,dword ptr [eax]
 cvttss2si eax,xmm0
 cvtsd2si eax,qword ptr [eax]
 cvttps2pi mm0,xmm1
 cvtps2pd xmm0,xmm1
 cvtpd2ps xmm0,xmm1
 cvtss2sd xmm0,dword ptr [eax]
 cvtsd2ss xmm0,xmm1
 cvtdq2ps xmm0,xmm1
 cvtps2dq xmm0,xmm1
 cvttps2dq xmm0,xmm1
 cvttpd2dq xmm0,xmm1
 cvtdq2pd xmm0,qword ptr [eax]
 cvtpd2dq xmm0,xmm1
 ucomiss xmm0,dword ptr [eax]
 comisd xmm0,xmm1
 movmskps eax,xmm1
 movmskpd eax,xmm1
 sqrtps xmm0,xmm1
 sqrtsd xmm0,qword ptr [eax]
 rsqrtss xmm0,xmm1
 rcpps xmm0,xmm1
 andps xmm0,xmm1
 andnpd xmm0,xmm1
 orps xmm0,xmm1
 xorpd xmm0,xmm1
 addps xmm0,xmm1
 addsd xmm0,qword ptr [eax]
 mulss xmm0,xmm1
 subpd xmm0,xmm1
 minss xmm0,xmm1
 divsd xmm0,xmm1
 maxps xmm0,xmm1
 cmpps xmm0,xmm1,1
 cmpsd xmm0,xmm1,7
 cmpss xmm0,dword ptr [eax],0
 cmppd xmm0,xmm1,9
 shufps xmm0,xmm1,0x1b
 shufpd xmm0,xmm1,1
 movnti dword ptr [eax],ecx
 movntps xmmword ptr [eax],xmm0
 movntdq xmmword ptr [eax],xmm0
 movd xmm0,eax
 movd dword ptr [eax],xmm0
 movq xmm0,qword ptr [eax]
 movq qword ptr [eax],xmm0
 movq xmm0,xmm1
 movdqa xmm0,xmmword ptr [eax]
 movdqu xmmword ptr [eax],xmm1
 movq2dq xmm0,mm1
 movdq2q mm0,xmm1
 pshufd xmm0,xmm1,0x1b
 pshufhw xmm0,xmm1,0x1b
 pshuflw xmm0,xmmword ptr [eax],0x1b
 psrldq xmm0,4
 pslldq xmm0,4
 psrad xmm0,3
 psraw xmm0,xmm1
 punpcklqdq xmm0,xmm1
 punpckhqdq xmm0,xmm1
 paddq xmm0,xmm1
 pmuludq xmm0,xmm1
 pcmpeqb xmm0,xmm1
 pcmpgtd xmm0,xmmword ptr [eax]
 pmovmskb eax,xmm1
 pinsrw xmm0,eax,3
 pinsrw xmm0,word ptr [eax],3
 pextrw eax,xmm1,3
 maskmovdqu xmm0,xmm1
 haddps xmm0,xmm1
 hsubpd xmm0,xmm1
 addsubps xmm0,xmm1
 lddqu xmm0,xmmword ptr [eax]
 pshufb xmm0,xmm1
 pshufb mm0,mm1
 phaddw xmm0,xmm1
 pmaddubsw xmm0,xmm1
 pmulhrsw xmm0,xmm1
 psignb xmm0,xmm1
 pabsd xmm0,xmm1
 palignr xmm0,xmm1,3
 palignr mm0,mm1,3
 pblendvb xmm0,xmm1,xmm0
 blendvps xmm0,xmm1,xmm0
 blendpd xmm0,xmm1,3
 ptest xmm0,xmm1
 pmovsxbw xmm0,qword ptr [eax]
 pmovzxbd xmm0,dword ptr [eax]
 pmovzxbq xmm0,word ptr [eax]
 pmovsxdq xmm0,xmm1
 pmuldq xmm0,xmm1
 pcmpeqq xmm0,xmm1
 movntdqa xmm0,xmmword ptr [eax]
 packusdw xmm0,xmm1
 pminsb xmm0,xmm1
 pmaxud xmm0,xmm1
 pmulld xmm0,xmm1
 phminposuw xmm0,xmm1
 roundps xmm0,xmm1,3
 roundsd xmm0,qword ptr [eax],3
 roundss xmm0,xmm1,1
 pextrb eax,xmm0,1
 pextrb byte ptr [eax],xmm0,1
 pextrd eax,xmm0,1
 pextrw word ptr [eax],xmm0,1
 extractps eax,xmm0,1
 pinsrb xmm0,eax,1
 pinsrd xmm0,dword ptr [eax],1
 insertps xmm0,xmm1,0x10
 dpps xmm0,xmm1,0xff
 mpsadbw xmm0,xmm1,1
 pcmpgtq xmm0,xmm1
 pcmpestri xmm0,xmm1,0x0c
 pcmpistrm xmm0,xmmword ptr [eax],0x40
 pclmulqdq xmm0,xmm1,0x11
 aesenc xmm0,xmm1
 aesdeclast xmm0,xmm1
 aesimc xmm0,xmm1
 aeskeygenassist xmm0,xmm1,1
 sha1rnds4 xmm0,xmm1,1
 sha256rnds2 xmm0,xmm1,xmm0
 sha1nexte xmm0,xmm1
 vmovups ymm0,ymmword ptr [eax]
 vmovaps xmm0,xmm1
 vmovdqu ymmword ptr [eax],ymm1
 vmovdqa ymm0,ymm1
 vmovss xmm0,dword ptr [eax]
 vmovsd xmm0,xmm1,xmm2
 vaddps ymm0,ymm1,ymm2
 vaddsd xmm0,xmm1,qword ptr [eax]
 vmulpd ymm0,ymm1,ymmword ptr [eax]
 vxorps xmm0,xmm0,xmm0
 vpxor ymm0,ymm1,ymm2
 vpaddd ymm0,ymm1,ymm2
 vpshufb ymm0,ymm1,ymm2
 vpshufd ymm0,ymm1,0x1b
 vpermq ymm0,ymm1,0x1b
 vpermd ymm0,ymm1,ymm2
 vperm2i128 ymm0,ymm1,ymm2,0x20
 vinserti128 ymm0,ymm1,xmm2,1
 vextracti128 xmm0,ymm1,1
 vinsertf128 ymm0,ymm1,xmmword ptr [eax],1
 vextractf128 xmmword ptr [eax],ymm1,1
 vbroadcastss ymm0,dword ptr [eax]
 vpbroadcastd ymm0,xmm1
 vpcmpeqb ymm0,ymm1,ymm2
 vpmovmskb eax,ymm1
 vptest ymm0,ymm1
 vzeroupper
 vzeroall
 vcvtsi2sd xmm0,xmm1,eax
 vcvttsd2si eax,xmm1
 vucomisd xmm0,xmm1
 vblendvps ymm0,ymm1,ymm2,ymm3
 vpblendvb xmm0,xmm1,xmm2,xmm3
 vfmadd231ps ymm0,ymm1,ymm2
 vfmadd213sd xmm0,xmm1,qword ptr [eax]
 vpsllvd ymm0,ymm1,ymm2
 vpsrld ymm0,ymm1,3
 vpslldq ymm0,ymm1,3
 vpalignr ymm0,ymm1,ymm2,3
 vpextrd eax,xmm0,1
 vpinsrd xmm0,xmm1,eax,1
 vcmpps ymm0,ymm1,ymm2,1
 vpclmulqdq xmm0,xmm1,xmm2,0x11
 vaesenc xmm0,xmm1,xmm2
 andn eax,ecx,edx
 bextr eax,ecx,edx
 bzhi eax,ecx,edx
 shlx eax,ecx,edx
 sarx eax,dword ptr [ecx],edx
 shrx eax,ecx,edx
 rorx eax,ecx,3
 pdep eax,ecx,edx
 pext eax,ecx,edx
 mulx eax,ecx,edx
 blsr eax,ecx
 blsi eax,ecx
 blsmsk eax,ecx
 adcx eax,ecx
 adox eax,ecx
 mov eax,dword ptr es:[ebx]
 mov eax,dword ptr cs:[ebx]
 mov eax,dword ptr ss:[ebx]
 mov eax,dword ptr gs:[ebx]
 mov eax,dword ptr fs:0x30
 lock add dword ptr [eax],1
 lock inc dword ptr [eax]
 lock xchg dword ptr [eax],ecx
 jmp 2f
 jmp 2f
 call 2f
 loop 2f
 loope 2f
 loopne 2f
 jecxz 2f
 je 2f
 jg 2f
2: nop
 vpand ymm0,ymm1,ymm2
 vpor xmm0,xmm1,xmmword ptr [eax]
 vpcmpgtd ymm0,ymm1,ymm2
 vpmaddwd ymm0,ymm1,ymm2
 vpunpcklbw ymm0,ymm1,ymm2
 vmovmskps eax,ymm1
 vsqrtps ymm0,ymm1
 vsqrtss xmm0,xmm1,xmm2
 vcvtps2pd ymm0,xmm1
 vcvtdq2ps ymm0,ymm1
 vcvtsd2ss xmm0,xmm1,xmm2
 vpsubd ymm0,ymm1,ymm2
 vpmulld ymm0,ymm1,ymm2
 vpminub ymm0,ymm1,ymm2
 vpackuswb ymm0,ymm1,ymm2
 vpsrlw ymm0,ymm1,xmm2
 vpsllq ymm0,ymm1,7
 vpsraw xmm0,xmm1,2
 vpermilps ymm0,ymm1,ymm2
 vpermilpd ymm0,ymm1,5
 vtestps ymm0,ymm1
 vmaskmovps ymm0,ymm1,ymmword ptr [eax]
 vpmaskmovd xmmword ptr [eax],xmm1,xmm2
 vgatherdps xmm0,dword ptr [eax+xmm1*4],xmm2
 vpgatherdd ymm0,dword ptr [eax+ymm1*4],ymm2
 vbroadcasti128 ymm0,xmmword ptr [eax]
 vpbroadcastb ymm0,xmm1
 vshufps ymm0,ymm1,ymm2,0x1b
 vunpcklpd ymm0,ymm1,ymm2
 vmovhlps xmm0,xmm1,xmm2
 vmovlhps xmm0,xmm1,xmm2
 vmovlps xmm0,xmm1,qword ptr [eax]
 vmovhps qword ptr [eax],xmm1
 vmovddup ymm0,ymm1
 vmovshdup ymm0,ymm1
 vlddqu ymm0,ymmword ptr [eax]
 vmovntdq ymmword ptr [eax],ymm0
 vmovntdqa ymm0,ymmword ptr [eax]
 vpmovzxbw ymm0,xmm1
 vpmovsxwd ymm0,xmmword ptr [eax]
 vroundps ymm0,ymm1,1
 vroundsd xmm0,xmm1,xmm2,1
 vdpps ymm0,ymm1,ymm2,0xff
 vblendps ymm0,ymm1,ymm2,3
 vpblendw ymm0,ymm1,ymm2,3
 vpblendd ymm0,ymm1,ymm2,3
 vmpsadbw ymm0,ymm1,ymm2,1
 vpshufhw ymm0,ymm1,0x1b
 vpsadbw ymm0,ymm1,ymm2
 vpavgb ymm0,ymm1,ymm2
 vpabsw ymm0,ymm1
 vphaddd ymm0,ymm1,ymm2
 vpsignw ymm0,ymm1,ymm2
 vaddsubpd ymm0,ymm1,ymm2
 vhaddps ymm0,ymm1,ymm2
 vmaxsd xmm0,xmm1,xmm2
 vminps ymm0,ymm1,ymm2
 vdivss xmm0,xmm1,dword ptr [eax]
 vrcpps ymm0,ymm1
 vrsqrtss xmm0,xmm1,xmm2
 vandnps ymm0,ymm1,ymm2
 vcomiss xmm0,xmm1
 vcvttps2dq ymm0,ymm1
 vcvtpd2dq xmm0,ymm1
 vcvtpd2ps xmm0,ymm1
 vextractps eax,xmm0,1
 vinsertps xmm0,xmm1,xmm2,0x10
 vpextrb eax,xmm0,1
 vpinsrw xmm0,xmm1,eax,1
 vpextrw eax,xmm0,1
 vpcmpestri xmm0,xmm1,0x0c
 vaeskeygenassist xmm0,xmm1,1
 vaesdec xmm0,xmm1,xmm2
 vldmxcsr dword ptr [eax]
 vstmxcsr dword ptr [eax]
 vcvtph2ps ymm0,xmm1
 vcvtps2ph xmm0,ymm1,0
 vpsrldq xmm0,xmm1,4
