#include "x86/opcode_table.h"

#include <deque>
#include <string>
#include <string_view>

namespace brevant::x86 {
namespace {

// Condition codes in the order of their encoding, as GNU tools name them.
constexpr std::string_view kConditions[16] = {"o", "no", "b", "ae", "e", "ne", "be", "a",
                                              "s", "ns", "p", "np", "l", "ge", "le", "g"};

struct OperandName {
    std::string_view name;
    Operand operand;
};

constexpr OperandName kOperandNames[] = {
    {"Eb", Operand::Eb},    {"Ew", Operand::Ew},     {"Ed", Operand::Ed},      {"Eq", Operand::Eq},
    {"Ev", Operand::Ev},    {"Ey", Operand::Ey},     {"Gb", Operand::Gb},      {"Gw", Operand::Gw},
    {"Gd", Operand::Gd},    {"Gv", Operand::Gv},     {"Gy", Operand::Gy},      {"Rv", Operand::Rv},
    {"Ry", Operand::Ry},    {"Ewv", Operand::Ewv},   {"Rd/Mb", Operand::RdMb}, {"Rd/Mw", Operand::RdMw},
    {"M", Operand::M},      {"Mb", Operand::Mb},     {"Mw", Operand::Mw},      {"Md", Operand::Md},
    {"Mq", Operand::Mq},    {"Mt", Operand::Mt},     {"Mv", Operand::Mv},      {"My", Operand::My},
    {"Mx", Operand::Mx},    {"Mp", Operand::Mp},     {"Ib", Operand::Ib},      {"Ibs", Operand::Ibs},
    {"Iw", Operand::Iw},    {"Iz", Operand::Iz},     {"Iv", Operand::Iv},      {"Id", Operand::Id},
    {"Jb", Operand::Jb},    {"Jz", Operand::Jz},     {"Ap", Operand::Ap},      {"Ob", Operand::Ob},
    {"Ov", Operand::Ov},    {"AL", Operand::AL},     {"ax", Operand::AX},      {"CL", Operand::CL},
    {"DX", Operand::DX},    {"rAX", Operand::rAX},   {"eAX", Operand::eAX},    {"Zb", Operand::Zb},
    {"Zv", Operand::Zv},    {"Zy", Operand::Zy},     {"1", Operand::One},      {"ES", Operand::SegES},
    {"CS", Operand::SegCS}, {"SS", Operand::SegSS},  {"DS", Operand::SegDS},   {"FS", Operand::SegFS},
    {"GS", Operand::SegGS}, {"Sw", Operand::Sw},     {"Cy", Operand::Cy},      {"Dy", Operand::Dy},
    {"Ty", Operand::Ty},    {"Xb", Operand::Xb},     {"Xv", Operand::Xv},      {"Yb", Operand::Yb},
    {"Yv", Operand::Yv},    {"Xlat", Operand::Xlat}, {"st", Operand::St0},     {"st(i)", Operand::Sti},
    {"Pq", Operand::Pq},    {"Qq", Operand::Qq},     {"Qd", Operand::Qd},      {"Nq", Operand::Nq},
    {"Vx", Operand::Vx},    {"Vo", Operand::Vo},     {"Hx", Operand::Hx},      {"Ho", Operand::Ho},
    {"Ux", Operand::Ux},    {"Uo", Operand::Uo},     {"Wx", Operand::Wx},      {"Wo", Operand::Wo},
    {"Wq", Operand::Wq},    {"Wd", Operand::Wd},     {"Ww", Operand::Ww},      {"Wb", Operand::Wb},
    {"Ws", Operand::Ws},    {"Wdup", Operand::Wdup}, {"Lx", Operand::Lx},      {"Xmm0", Operand::Xmm0},
    {"Hy", Operand::Hy},
};

struct Definition {
    std::uint8_t opcode;
    std::string_view text;
    std::uint32_t flags = 0;
};

// One-byte map. Groups read "member|member|...: shared operands"; a member without
// operands of its own takes the shared ones, an empty member is no instruction.
constexpr Definition kOneByte[] = {
    {0x06, "push ES", kInvalid64},
    {0x07, "pop ES", kInvalid64},
    {0x0E, "push CS", kInvalid64},
    {0x16, "push SS", kInvalid64},
    {0x17, "pop SS", kInvalid64},
    {0x1E, "push DS", kInvalid64},
    {0x1F, "pop DS", kInvalid64},
    {0x27, "daa", kInvalid64},
    {0x2F, "das", kInvalid64},
    {0x37, "aaa", kInvalid64},
    {0x3F, "aas", kInvalid64},
    {0x60, "pusha/pushaw/", kInvalid64},
    {0x61, "popa/popaw/", kInvalid64},
    {0x62, "bound Gv,Mq", kInvalid64},
    {0x63, "arpl Ew,Gw", kInvalid64},
    {0x68, "push Iz", kDefault64},
    {0x69, "imul Gv,Ev,Iz"},
    {0x6A, "push Ibs", kDefault64},
    {0x6B, "imul Gv,Ev,Ibs"},
    {0x6C, "ins Yb,DX", kString},
    {0x6D, "ins Yv,DX", kString},
    {0x6E, "outs DX,Xb", kString},
    {0x6F, "outs DX,Xv", kString},
    {0x84, "test Eb,Gb"},
    {0x85, "test Ev,Gv"},
    {0x86, "xchg Eb,Gb"},
    {0x87, "xchg Ev,Gv"},
    {0x88, "mov Eb,Gb"},
    {0x89, "mov Ev,Gv"},
    {0x8A, "mov Gb,Eb"},
    {0x8B, "mov Gv,Ev"},
    {0x8C, "mov Ewv,Sw"},
    {0x8D, "lea Gv,M", kNoSize},
    {0x8E, "mov Sw,Ewv"},
    {0x98, "cwde/cbw/cdqe"},
    {0x99, "cdq/cwd/cqo"},
    {0x9A, "call Ap", kInvalid64 | kCall | kFar},
    {0x9B, "fwait"},
    {0x9C, "pushf/pushfw/pushf", kDefault64},
    {0x9D, "popf/popfw/popf", kDefault64},
    {0x9E, "sahf"},
    {0x9F, "lahf"},
    {0xA0, "mov AL,Ob"},
    {0xA1, "mov rAX,Ov"},
    {0xA2, "mov Ob,AL"},
    {0xA3, "mov Ov,rAX"},
    {0xA4, "movs Yb,Xb", kString},
    {0xA5, "movs Yv,Xv", kString},
    {0xA6, "cmps Xb,Yb", kStringCompare},
    {0xA7, "cmps Xv,Yv", kStringCompare},
    {0xA8, "test AL,Ib"},
    {0xA9, "test rAX,Iz"},
    {0xAA, "stos Yb,AL", kString},
    {0xAB, "stos Yv,rAX", kString},
    {0xAC, "lods AL,Xb", kString},
    {0xAD, "lods rAX,Xv", kString},
    {0xAE, "scas AL,Yb", kStringCompare},
    {0xAF, "scas rAX,Yv", kStringCompare},
    {0xC2, "ret Iw", kReturn | kForce64},
    {0xC3, "ret", kReturn | kForce64},
    {0xC8, "enter Iw,Ib", kDefault64},
    {0xC9, "leave", kDefault64},
    {0xCA, "retf Iw", kReturn | kFar},
    {0xCB, "retf", kReturn | kFar},
    {0xCC, "int3"},
    {0xCD, "int Ib"},
    {0xCE, "into", kInvalid64},
    {0xCF, "iret/iretw/iretq", kReturn | kFar},
    {0xD4, "aam Ib", kInvalid64},
    {0xD5, "aad Ib", kInvalid64},
    {0xD7, "xlat Xlat"},
    {0xE0, "loopne Jb", kJump | kConditional | kForce64},
    {0xE1, "loope Jb", kJump | kConditional | kForce64},
    {0xE2, "loop Jb", kJump | kConditional | kForce64},
    {0xE3, "jecxz Jb", kJump | kConditional | kForce64},
    {0xE4, "in AL,Ib"},
    {0xE5, "in eAX,Ib"},
    {0xE6, "out Ib,AL"},
    {0xE7, "out Ib,eAX"},
    {0xE8, "call Jz", kCall | kForce64},
    {0xE9, "jmp Jz", kJump | kForce64},
    {0xEA, "jmp Ap", kInvalid64 | kJump | kFar},
    {0xEB, "jmp Jb", kJump | kForce64},
    {0xEC, "in AL,DX"},
    {0xED, "in eAX,DX"},
    {0xEE, "out DX,AL"},
    {0xEF, "out DX,eAX"},
    {0xF1, "int1"},
    {0xF4, "hlt", kStop},
    {0xF5, "cmc"},
    {0xF8, "clc"},
    {0xF9, "stc"},
    {0xFA, "cli"},
    {0xFB, "sti"},
    {0xFC, "cld"},
    {0xFD, "std"},
};

constexpr Definition kOneByteGroups[] = {
    {0x80, "add|or|adc|sbb|and|sub|xor|cmp: Eb,Ib"},
    {0x81, "add|or|adc|sbb|and|sub|xor|cmp: Ev,Iz"},
    {0x82, "add|or|adc|sbb|and|sub|xor|cmp: Eb,Ib", kInvalid64},
    {0x83, "add|or|adc|sbb|and|sub|xor|cmp: Ev,Ibs"},
    {0x8F, "pop|||||||: Ev", kDefault64},
    {0xC0, "rol|ror|rcl|rcr|shl|shr|shl|sar: Eb,Ib"},
    {0xC1, "rol|ror|rcl|rcr|shl|shr|shl|sar: Ev,Ib"},
    {0xC6, "mov|||||||: Eb,Ib"},
    {0xC7, "mov|||||||: Ev,Iz"},
    {0xD0, "rol|ror|rcl|rcr|shl|shr|shl|sar: Eb,1"},
    {0xD1, "rol|ror|rcl|rcr|shl|shr|shl|sar: Ev,1"},
    {0xD2, "rol|ror|rcl|rcr|shl|shr|shl|sar: Eb,CL"},
    {0xD3, "rol|ror|rcl|rcr|shl|shr|shl|sar: Ev,CL"},
    {0xF6, "test Eb,Ib|test Eb,Ib|not|neg|mul|imul|div|idiv: Eb"},
    {0xF7, "test Ev,Iz|test Ev,Iz|not|neg|mul|imul|div|idiv: Ev"},
    {0xFE, "inc|dec||||||: Eb"},
    {0xFF, "inc Ev|dec Ev|call Ev|call Mp|jmp Ev|jmp Mp|push Ev|"},
};

// Two-byte map (0F xx), entries that need no mandatory prefix.
constexpr Definition kTwoByte[] = {
    {0x02, "lar Gv,Ewv"},
    {0x03, "lsl Gv,Ewv"},
    {0x05, "syscall"},
    {0x06, "clts"},
    {0x07, "sysret/sysret/sysretq"},
    {0x08, "invd"},
    {0x09, "wbinvd"},
    {0x0B, "ud2", kStop},
    {0x0E, "femms"},
    {0x19, "nop Ev"},
    {0x1A, "nop Ev"},
    {0x1B, "nop Ev"},
    {0x1C, "nop Ev"},
    {0x1D, "nop Ev"},
    {0x1E, "nop Ev"},
    {0x1F, "nop Ev"},
    {0x20, "mov Ry,Cy", kForce64},
    {0x21, "mov Ry,Dy", kForce64},
    {0x22, "mov Cy,Ry", kForce64},
    {0x23, "mov Dy,Ry", kForce64},
    {0x24, "mov Ry,Ty", kInvalid64},
    {0x26, "mov Ty,Ry", kInvalid64},
    {0x30, "wrmsr"},
    {0x31, "rdtsc"},
    {0x32, "rdmsr"},
    {0x33, "rdpmc"},
    {0x34, "sysenter"},
    {0x35, "sysexit"},
    {0x37, "getsec"},
    {0x77, "emms"},
    {0x78, "vmread Ey,Gy", kForce64},
    {0x79, "vmwrite Gy,Ey", kForce64},
    {0xA0, "push FS", kDefault64},
    {0xA1, "pop FS", kDefault64},
    {0xA2, "cpuid"},
    {0xA3, "bt Ev,Gv"},
    {0xA4, "shld Ev,Gv,Ib"},
    {0xA5, "shld Ev,Gv,CL"},
    {0xA8, "push GS", kDefault64},
    {0xA9, "pop GS", kDefault64},
    {0xAA, "rsm"},
    {0xAB, "bts Ev,Gv"},
    {0xAC, "shrd Ev,Gv,Ib"},
    {0xAD, "shrd Ev,Gv,CL"},
    {0xAF, "imul Gv,Ev"},
    {0xB0, "cmpxchg Eb,Gb"},
    {0xB1, "cmpxchg Ev,Gv"},
    {0xB2, "lss Gv,Mp"},
    {0xB3, "btr Ev,Gv"},
    {0xB4, "lfs Gv,Mp"},
    {0xB5, "lgs Gv,Mp"},
    {0xB6, "movzx Gv,Eb"},
    {0xB7, "movzx Gv,Ew"},
    {0xB9, "ud1 Gv,Ev"},
    {0xBB, "btc Ev,Gv"},
    {0xBE, "movsx Gv,Eb"},
    {0xBF, "movsx Gv,Ew"},
    {0xC0, "xadd Eb,Gb"},
    {0xC1, "xadd Ev,Gv"},
    {0xFF, "ud0 Gv,Ev"},
};

constexpr Definition kTwoByteGroups[] = {
    {0x00, "sldt Ewv|str Ewv|lldt Ew|ltr Ew|verr Ew|verw Ew||"},
    {0x01, "sgdtd/sgdtw/sgdt M|sidtd/sidtw/sidt M|lgdtd/lgdtw/lgdt M|lidtd/lidtw/lidt M|smsw Ewv||lmsw Ew|invlpg Mb"},
    {0x0D, "prefetch|prefetchw|prefetchwt1|prefetch|prefetch|prefetch|prefetch|prefetch: Mb"},
    {0x18, "prefetchnta|prefetcht0|prefetcht1|prefetcht2|nop Ev|nop Ev|nop Ev|nop Ev: Mb"},
    {0xAE, "fxsave M|fxrstor M|ldmxcsr Md|stmxcsr Md|xsave M|xrstor M|xsaveopt M|clflush Mb"},
    {0xBA, "||||bt|bts|btr|btc: Ev,Ib"},
    {0xA6, "|||||||"},  // VIA PadLock: register forms only
    {0xA7, "|||||||"},
    {0xC7, "|cmpxchg8b Mq||xrstors M|xsavec M|xsaves M|vmptrld Mq|vmptrst Mq"},
};

// Mandatory-prefix forms: "none|66|F3|F2".
constexpr Definition kTwoBytePrefixed[] = {
    {0x10, "movups Vx,Wx|movupd Vx,Wx|movss Vx,Wd|movsd Vx,Wq"},
    {0x11, "movups Wx,Vx|movupd Wx,Vx|movss Wd,Vx|movsd Wq,Vx"},
    {0x12, "movlps Vx,Mq|movlpd Vx,Mq|movsldup Vx,Wx|movddup Vx,Wq"},
    {0x13, "movlps Mq,Vx|movlpd Mq,Vx||"},
    {0x14, "unpcklps Vx,Wx|unpcklpd Vx,Wx||"},
    {0x15, "unpckhps Vx,Wx|unpckhpd Vx,Wx||"},
    {0x16, "movhps Vx,Mq|movhpd Vx,Mq|movshdup Vx,Wx|"},
    {0x17, "movhps Mq,Vx|movhpd Mq,Vx||"},
    {0x28, "movaps Vx,Wx|movapd Vx,Wx||"},
    {0x29, "movaps Wx,Vx|movapd Wx,Vx||"},
    {0x2A, "cvtpi2ps Vx,Qq|cvtpi2pd Vx,Qq|cvtsi2ss Vx,Ey|cvtsi2sd Vx,Ey"},
    {0x2B, "movntps Mx,Vx|movntpd Mx,Vx||"},
    {0x2C, "cvttps2pi Pq,Wq|cvttpd2pi Pq,Wx|cvttss2si Gy,Wd|cvttsd2si Gy,Wq"},
    {0x2D, "cvtps2pi Pq,Wq|cvtpd2pi Pq,Wx|cvtss2si Gy,Wd|cvtsd2si Gy,Wq"},
    {0x2E, "ucomiss Vx,Wd|ucomisd Vx,Wq||"},
    {0x2F, "comiss Vx,Wd|comisd Vx,Wq||"},
    {0x50, "movmskps Gd,Ux|movmskpd Gd,Ux||"},
    {0x51, "sqrtps Vx,Wx|sqrtpd Vx,Wx|sqrtss Vx,Wd|sqrtsd Vx,Wq"},
    {0x52, "rsqrtps Vx,Wx||rsqrtss Vx,Wd|"},
    {0x53, "rcpps Vx,Wx||rcpss Vx,Wd|"},
    {0x54, "andps Vx,Wx|andpd Vx,Wx||"},
    {0x55, "andnps Vx,Wx|andnpd Vx,Wx||"},
    {0x56, "orps Vx,Wx|orpd Vx,Wx||"},
    {0x57, "xorps Vx,Wx|xorpd Vx,Wx||"},
    {0x58, "addps Vx,Wx|addpd Vx,Wx|addss Vx,Wd|addsd Vx,Wq"},
    {0x59, "mulps Vx,Wx|mulpd Vx,Wx|mulss Vx,Wd|mulsd Vx,Wq"},
    {0x5A, "cvtps2pd Vx,Wq|cvtpd2ps Vx,Wx|cvtss2sd Vx,Wd|cvtsd2ss Vx,Wq"},
    {0x5B, "cvtdq2ps Vx,Wx|cvtps2dq Vx,Wx|cvttps2dq Vx,Wx|"},
    {0x5C, "subps Vx,Wx|subpd Vx,Wx|subss Vx,Wd|subsd Vx,Wq"},
    {0x5D, "minps Vx,Wx|minpd Vx,Wx|minss Vx,Wd|minsd Vx,Wq"},
    {0x5E, "divps Vx,Wx|divpd Vx,Wx|divss Vx,Wd|divsd Vx,Wq"},
    {0x5F, "maxps Vx,Wx|maxpd Vx,Wx|maxss Vx,Wd|maxsd Vx,Wq"},
    {0x60, "punpcklbw Pq,Qd|punpcklbw Vx,Wx||"},
    {0x61, "punpcklwd Pq,Qd|punpcklwd Vx,Wx||"},
    {0x62, "punpckldq Pq,Qd|punpckldq Vx,Wx||"},
    {0x6C, "|punpcklqdq Vx,Wx||"},
    {0x6D, "|punpckhqdq Vx,Wx||"},
    {0x6E, "movd Pq,Ey|movd Vx,Ey||"},
    {0x6F, "movq Pq,Qq|movdqa Vx,Wx|movdqu Vx,Wx|"},
    {0x70, "pshufw Pq,Qq,Ib|pshufd Vx,Wx,Ib|pshufhw Vx,Wx,Ib|pshuflw Vx,Wx,Ib"},
    {0x7C, "|haddpd Vx,Wx||haddps Vx,Wx"},
    {0x7D, "|hsubpd Vx,Wx||hsubps Vx,Wx"},
    {0x7E, "movd Ey,Pq|movd Ey,Vx|movq Vx,Wq|"},
    {0x7F, "movq Qq,Pq|movdqa Wx,Vx|movdqu Wx,Vx|"},
    {0xB8, "||popcnt Gv,Ev|"},
    {0xBC, "bsf Gv,Ev|bsf Gv,Ev|tzcnt Gv,Ev|bsf Gv,Ev"},
    {0xBD, "bsr Gv,Ev|bsr Gv,Ev|lzcnt Gv,Ev|bsr Gv,Ev"},
    {0xC2, "cmpps Vx,Wx,Ib|cmppd Vx,Wx,Ib|cmpss Vx,Wd,Ib|cmpsd Vx,Wq,Ib"},
    {0xC3, "movnti My,Gy|||"},
    {0xC4, "pinsrw Pq,Rd/Mw,Ib|pinsrw Vx,Rd/Mw,Ib||"},
    {0xC5, "pextrw Gd,Nq,Ib|pextrw Gd,Ux,Ib||"},
    {0xC6, "shufps Vx,Wx,Ib|shufpd Vx,Wx,Ib||"},
    {0xD0, "|addsubpd Vx,Wx||addsubps Vx,Wx"},
    {0xD6, "|movq Wq,Vx|movq2dq Vx,Nq|movdq2q Pq,Ux"},
    {0xD7, "pmovmskb Gd,Nq|pmovmskb Gd,Ux||"},
    {0xE6, "|cvttpd2dq Vx,Wx|cvtdq2pd Vx,Wq|cvtpd2dq Vx,Wx"},
    {0xE7, "movntq Mq,Pq|movntdq Mx,Vx||"},
    {0xF0, "|||lddqu Vx,M"},
    {0xF7, "maskmovq Pq,Nq|maskmovdqu Vx,Ux||"},
};

constexpr Definition kTwoBytePrefixedGroups[] = {
    {0x71, "||psrlw||psraw||psllw|: Nq,Ib # ||psrlw||psraw||psllw|: Ux,Ib"},
    {0x72, "||psrld||psrad||pslld|: Nq,Ib # ||psrld||psrad||pslld|: Ux,Ib"},
    {0x73, "||psrlq|||||psllq|: Nq,Ib # ||psrlq|psrldq|||psllq|pslldq: Ux,Ib"},
};

// The MMX instructions whose SSE2 form is the same operation on xmm registers.
constexpr std::pair<std::uint8_t, std::string_view> kMmxPairs[] = {
    {0x63, "packsswb"},  {0x64, "pcmpgtb"},   {0x65, "pcmpgtw"},   {0x66, "pcmpgtd"},  {0x67, "packuswb"},
    {0x68, "punpckhbw"}, {0x69, "punpckhwd"}, {0x6A, "punpckhdq"}, {0x6B, "packssdw"}, {0x74, "pcmpeqb"},
    {0x75, "pcmpeqw"},   {0x76, "pcmpeqd"},   {0xD1, "psrlw"},     {0xD2, "psrld"},    {0xD3, "psrlq"},
    {0xD4, "paddq"},     {0xD5, "pmullw"},    {0xD8, "psubusb"},   {0xD9, "psubusw"},  {0xDA, "pminub"},
    {0xDB, "pand"},      {0xDC, "paddusb"},   {0xDD, "paddusw"},   {0xDE, "pmaxub"},   {0xDF, "pandn"},
    {0xE0, "pavgb"},     {0xE1, "psraw"},     {0xE2, "psrad"},     {0xE3, "pavgw"},    {0xE4, "pmulhuw"},
    {0xE5, "pmulhw"},    {0xE8, "psubsb"},    {0xE9, "psubsw"},    {0xEA, "pminsw"},   {0xEB, "por"},
    {0xEC, "paddsb"},    {0xED, "paddsw"},    {0xEE, "pmaxsw"},    {0xEF, "pxor"},     {0xF1, "psllw"},
    {0xF2, "pslld"},     {0xF3, "psllq"},     {0xF4, "pmuludq"},   {0xF5, "pmaddwd"},  {0xF6, "psadbw"},
    {0xF8, "psubb"},     {0xF9, "psubw"},     {0xFA, "psubd"},     {0xFB, "psubq"},    {0xFC, "paddb"},
    {0xFD, "paddw"},     {0xFE, "paddd"},
};

constexpr std::pair<std::uint8_t, std::string_view> kMmxPairs38[] = {
    {0x00, "pshufb"}, {0x01, "phaddw"},   {0x02, "phaddd"},  {0x03, "phaddsw"}, {0x04, "pmaddubsw"},
    {0x05, "phsubw"}, {0x06, "phsubd"},   {0x07, "phsubsw"}, {0x08, "psignb"},  {0x09, "psignw"},
    {0x0A, "psignd"}, {0x0B, "pmulhrsw"}, {0x1C, "pabsb"},   {0x1D, "pabsw"},   {0x1E, "pabsd"},
};

constexpr Definition kThreeByte38[] = {
    {0x10, "|pblendvb Vo,Wo,Xmm0||"},
    {0x14, "|blendvps Vo,Wo,Xmm0||"},
    {0x15, "|blendvpd Vo,Wo,Xmm0||"},
    {0x17, "|ptest Vo,Wo||"},
    {0x20, "|pmovsxbw Vo,Wq||"},
    {0x21, "|pmovsxbd Vo,Wd||"},
    {0x22, "|pmovsxbq Vo,Ww||"},
    {0x23, "|pmovsxwd Vo,Wq||"},
    {0x24, "|pmovsxwq Vo,Wd||"},
    {0x25, "|pmovsxdq Vo,Wq||"},
    {0x28, "|pmuldq Vo,Wo||"},
    {0x29, "|pcmpeqq Vo,Wo||"},
    {0x2A, "|movntdqa Vo,Mx||"},
    {0x2B, "|packusdw Vo,Wo||"},
    {0x30, "|pmovzxbw Vo,Wq||"},
    {0x31, "|pmovzxbd Vo,Wd||"},
    {0x32, "|pmovzxbq Vo,Ww||"},
    {0x33, "|pmovzxwd Vo,Wq||"},
    {0x34, "|pmovzxwq Vo,Wd||"},
    {0x35, "|pmovzxdq Vo,Wq||"},
    {0x37, "|pcmpgtq Vo,Wo||"},
    {0x38, "|pminsb Vo,Wo||"},
    {0x39, "|pminsd Vo,Wo||"},
    {0x3A, "|pminuw Vo,Wo||"},
    {0x3B, "|pminud Vo,Wo||"},
    {0x3C, "|pmaxsb Vo,Wo||"},
    {0x3D, "|pmaxsd Vo,Wo||"},
    {0x3E, "|pmaxuw Vo,Wo||"},
    {0x3F, "|pmaxud Vo,Wo||"},
    {0x40, "|pmulld Vo,Wo||"},
    {0x41, "|phminposuw Vo,Wo||"},
    {0x80, "|invept Gy,Mx||"},
    {0x81, "|invvpid Gy,Mx||"},
    {0x82, "|invpcid Gy,Mx||"},
    {0xC8, "sha1nexte Vo,Wo|||"},
    {0xC9, "sha1msg1 Vo,Wo|||"},
    {0xCA, "sha1msg2 Vo,Wo|||"},
    {0xCB, "sha256rnds2 Vo,Wo,Xmm0|||"},
    {0xCC, "sha256msg1 Vo,Wo|||"},
    {0xCD, "sha256msg2 Vo,Wo|||"},
    {0xCF, "|gf2p8mulb Vo,Wo||"},
    {0xDB, "|aesimc Vo,Wo||"},
    {0xDC, "|aesenc Vo,Wo||"},
    {0xDD, "|aesenclast Vo,Wo||"},
    {0xDE, "|aesdec Vo,Wo||"},
    {0xDF, "|aesdeclast Vo,Wo||"},
    {0xF0, "movbe Gv,Mv|movbe Gv,Mv||crc32 Gy,Eb"},
    {0xF1, "movbe Mv,Gv|movbe Mv,Gv||crc32 Gy,Ev"},
    {0xF6, "|adcx Gy,Ey|adox Gy,Ey|"},
};

constexpr Definition kThreeByte3A[] = {
    {0x08, "|roundps Vo,Wo,Ib||"},
    {0x09, "|roundpd Vo,Wo,Ib||"},
    {0x0A, "|roundss Vo,Wd,Ib||"},
    {0x0B, "|roundsd Vo,Wq,Ib||"},
    {0x0C, "|blendps Vo,Wo,Ib||"},
    {0x0D, "|blendpd Vo,Wo,Ib||"},
    {0x0E, "|pblendw Vo,Wo,Ib||"},
    {0x0F, "palignr Pq,Qq,Ib|palignr Vo,Wo,Ib||"},
    {0x14, "|pextrb Rd/Mb,Vo,Ib||"},
    {0x15, "|pextrw Rd/Mw,Vo,Ib||"},
    {0x16, "|pextrd Ey,Vo,Ib||"},
    {0x17, "|extractps Ed,Vo,Ib||"},
    {0x20, "|pinsrb Vo,Rd/Mb,Ib||"},
    {0x21, "|insertps Vo,Wd,Ib||"},
    {0x22, "|pinsrd Vo,Ey,Ib||"},
    {0x40, "|dpps Vo,Wo,Ib||"},
    {0x41, "|dppd Vo,Wo,Ib||"},
    {0x42, "|mpsadbw Vo,Wo,Ib||"},
    {0x44, "|pclmulqdq Vo,Wo,Ib||"},
    {0x60, "|pcmpestrm Vo,Wo,Ib||"},
    {0x61, "|pcmpestri Vo,Wo,Ib||"},
    {0x62, "|pcmpistrm Vo,Wo,Ib||"},
    {0x63, "|pcmpistri Vo,Wo,Ib||"},
    {0xCC, "sha1rnds4 Vo,Wo,Ib|||"},
    {0xCE, "|gf2p8affineinvqb Vo,Wo,Ib||"},
    {0xCF, "|gf2p8affineqb Vo,Wo,Ib||"},
    {0xDF, "|aeskeygenassist Vo,Wo,Ib||"},
};

// Register forms (mod 3) of groups whose memory forms mean something else.
struct RegisterFormDefinition {
    OpcodeMap map;
    std::uint8_t opcode;
    std::uint8_t first, last;  // ModR/M range
    std::string_view text;
};

constexpr RegisterFormDefinition kRegisterForms[] = {
    {OpcodeMap::OneByte, 0xC6, 0xC0, 0xC7, "mov Eb,Ib"},  {OpcodeMap::OneByte, 0xC6, 0xF8, 0xF8, "xabort Ib"},
    {OpcodeMap::OneByte, 0xC7, 0xC0, 0xC7, "mov Ev,Iz"},  {OpcodeMap::OneByte, 0xC7, 0xF8, 0xF8, "xbegin Jz"},
    {OpcodeMap::TwoByte, 0x01, 0xC1, 0xC1, "vmcall"},     {OpcodeMap::TwoByte, 0x01, 0xC2, 0xC2, "vmlaunch"},
    {OpcodeMap::TwoByte, 0x01, 0xC3, 0xC3, "vmresume"},   {OpcodeMap::TwoByte, 0x01, 0xC4, 0xC4, "vmxoff"},
    {OpcodeMap::TwoByte, 0x01, 0xC8, 0xC8, "monitor"},    {OpcodeMap::TwoByte, 0x01, 0xC9, 0xC9, "mwait"},
    {OpcodeMap::TwoByte, 0x01, 0xCA, 0xCA, "clac"},       {OpcodeMap::TwoByte, 0x01, 0xCB, 0xCB, "stac"},
    {OpcodeMap::TwoByte, 0x01, 0xD0, 0xD0, "xgetbv"},     {OpcodeMap::TwoByte, 0x01, 0xD1, 0xD1, "xsetbv"},
    {OpcodeMap::TwoByte, 0x01, 0xD4, 0xD4, "vmfunc"},     {OpcodeMap::TwoByte, 0x01, 0xD5, 0xD5, "xend"},
    {OpcodeMap::TwoByte, 0x01, 0xD6, 0xD6, "xtest"},      {OpcodeMap::TwoByte, 0x01, 0xE0, 0xE7, "smsw Rv"},
    {OpcodeMap::TwoByte, 0x01, 0xEE, 0xEE, "rdpkru"},     {OpcodeMap::TwoByte, 0x01, 0xEF, 0xEF, "wrpkru"},
    {OpcodeMap::TwoByte, 0x01, 0xF0, 0xF7, "lmsw Ew"},    {OpcodeMap::TwoByte, 0x01, 0xF8, 0xF8, "swapgs"},
    {OpcodeMap::TwoByte, 0x01, 0xF9, 0xF9, "rdtscp"},     {OpcodeMap::TwoByte, 0x01, 0xD8, 0xD8, "vmrun"},
    {OpcodeMap::TwoByte, 0x01, 0xD9, 0xD9, "vmmcall"},    {OpcodeMap::TwoByte, 0x01, 0xDA, 0xDA, "vmload"},
    {OpcodeMap::TwoByte, 0x01, 0xDB, 0xDB, "vmsave"},     {OpcodeMap::TwoByte, 0x01, 0xDC, 0xDC, "stgi"},
    {OpcodeMap::TwoByte, 0x01, 0xDD, 0xDD, "clgi"},       {OpcodeMap::TwoByte, 0x01, 0xDE, 0xDE, "skinit"},
    {OpcodeMap::TwoByte, 0x01, 0xDF, 0xDF, "invlpga"},    {OpcodeMap::TwoByte, 0x01, 0xFA, 0xFA, "monitorx"},
    {OpcodeMap::TwoByte, 0x01, 0xFB, 0xFB, "mwaitx"},     {OpcodeMap::TwoByte, 0x01, 0xFC, 0xFC, "clzero"},
    {OpcodeMap::TwoByte, 0x01, 0xFD, 0xFD, "rdpru"},      {OpcodeMap::TwoByte, 0x01, 0xFE, 0xFE, "invlpgb"},
    {OpcodeMap::TwoByte, 0x01, 0xFF, 0xFF, "tlbsync"},    {OpcodeMap::TwoByte, 0x01, 0xCF, 0xCF, "encls"},
    {OpcodeMap::TwoByte, 0x01, 0xD7, 0xD7, "enclu"},      {OpcodeMap::TwoByte, 0x01, 0xC0, 0xC0, "enclv"},
    {OpcodeMap::TwoByte, 0x01, 0xC5, 0xC5, "pconfig"},    {OpcodeMap::TwoByte, 0xA6, 0xC0, 0xC0, "montmul"},
    {OpcodeMap::TwoByte, 0xA6, 0xC8, 0xC8, "xsha1"},      {OpcodeMap::TwoByte, 0xA6, 0xD0, 0xD0, "xsha256"},
    {OpcodeMap::TwoByte, 0xA7, 0xC0, 0xC0, "xstore-rng"}, {OpcodeMap::TwoByte, 0xA7, 0xC8, 0xC8, "xcrypt-ecb"},
    {OpcodeMap::TwoByte, 0xA7, 0xD0, 0xD0, "xcrypt-cbc"}, {OpcodeMap::TwoByte, 0xA7, 0xD8, 0xD8, "xcrypt-ctr"},
    {OpcodeMap::TwoByte, 0xA7, 0xE0, 0xE0, "xcrypt-cfb"}, {OpcodeMap::TwoByte, 0xA7, 0xE8, 0xE8, "xcrypt-ofb"},
    {OpcodeMap::TwoByte, 0x18, 0xC0, 0xFF, "nop Ev"},     {OpcodeMap::TwoByte, 0x0D, 0xC0, 0xFF, "nop Ev"},
    {OpcodeMap::TwoByte, 0xAE, 0xE8, 0xEF, "lfence"},     {OpcodeMap::TwoByte, 0xAE, 0xF0, 0xF7, "mfence"},
    {OpcodeMap::TwoByte, 0xAE, 0xF8, 0xFF, "sfence"},     {OpcodeMap::TwoByte, 0xC7, 0xF0, 0xF7, "rdrand Rv"},
    {OpcodeMap::TwoByte, 0xC7, 0xF8, 0xFF, "rdseed Rv"},
};

// x87: memory forms by opcode and ModR/M.reg; register forms by opcode and reg, where
// a row starting with "#" names each of the eight ModR/M.rm values on its own.
constexpr std::string_view kX87Memory[8] = {
    "fadd|fmul|fcom|fcomp|fsub|fsubr|fdiv|fdivr: Md",
    "fld Md||fst Md|fstp Md|fldenv M|fldcw Mw|fnstenv M|fnstcw Mw",
    "fiadd|fimul|ficom|ficomp|fisub|fisubr|fidiv|fidivr: Md",
    "fild Md|fisttp Md|fist Md|fistp Md||fld Mt||fstp Mt",
    "fadd|fmul|fcom|fcomp|fsub|fsubr|fdiv|fdivr: Mq",
    "fld Mq|fisttp Mq|fst Mq|fstp Mq|frstor M||fnsave M|fnstsw Mw",
    "fiadd|fimul|ficom|ficomp|fisub|fisubr|fidiv|fidivr: Mw",
    "fild Mw|fisttp Mw|fist Mw|fistp Mw|fbld Mt|fild Mq|fbstp Mt|fistp Mq",
};

constexpr std::string_view kX87Register[8][8] = {
    {"fadd st,st(i)", "fmul st,st(i)", "fcom st(i)", "fcomp st(i)", "fsub st,st(i)", "fsubr st,st(i)", "fdiv st,st(i)",
     "fdivr st,st(i)"},
    {"fld st(i)", "fxch st(i)", "#fnop|||||||", "", "#fchs|fabs|||ftst|fxam||",
     "#fld1|fldl2t|fldl2e|fldpi|fldlg2|fldln2|fldz|", "#f2xm1|fyl2x|fptan|fpatan|fxtract|fprem1|fdecstp|fincstp",
     "#fprem|fyl2xp1|fsqrt|fsincos|frndint|fscale|fsin|fcos"},
    {"fcmovb st,st(i)", "fcmove st,st(i)", "fcmovbe st,st(i)", "fcmovu st,st(i)", "", "#|fucompp||||||", "", ""},
    {"fcmovnb st,st(i)", "fcmovne st,st(i)", "fcmovnbe st,st(i)", "fcmovnu st,st(i)",
     "#fneni|fndisi|fnclex|fninit|fnsetpm|frstpm||", "fucomi st,st(i)", "fcomi st,st(i)", ""},
    {"fadd st(i),st", "fmul st(i),st", "", "", "fsubr st(i),st", "fsub st(i),st", "fdivr st(i),st", "fdiv st(i),st"},
    {"ffree st(i)", "", "fst st(i)", "fstp st(i)", "fucom st(i)", "fucomp st(i)", "", ""},
    {"faddp st(i),st", "fmulp st(i),st", "", "#|fcompp||||||", "fsubrp st(i),st", "fsubp st(i),st", "fdivrp st(i),st",
     "fdivp st(i),st"},
    {"ffreep st(i)", "", "", "", "#fnstsw ax|||||||", "fucomip st,st(i)", "fcomip st,st(i)", ""},
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Splits `text` at `separator` into at most `count` parts; missing parts are empty.
template <std::size_t count>
std::array<std::string_view, count> Split(std::string_view text, char separator) {
    std::array<std::string_view, count> parts{};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = text.find(separator);
        parts[i] = Trim(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parts;
}

bool NeedsModRM(Operand operand) {
    const auto in = [operand](Operand first, Operand last) { return operand >= first && operand <= last; };
    return (in(Operand::Eb, Operand::Mp) || in(Operand::Sw, Operand::Ty) || in(Operand::Pq, Operand::Wdup)) &&
           operand != Operand::Hx && operand != Operand::Ho;
}

}  // namespace

class OpcodeTableBuilder {
public:
    explicit OpcodeTableBuilder(OpcodeTables& tables) : tables_(tables) {}

    void Build() {
        for (std::uint8_t prefix : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3})
            Slot(OpcodeMap::OneByte, prefix) = {SlotKind::Prefix};
        BuildArithmetic();
        BuildOpcodeRuns();
        for (const Definition& d : kOneByte) DefineEntry(OpcodeMap::OneByte, d);
        for (const Definition& d : kOneByteGroups) DefineGroup(OpcodeMap::OneByte, d);
        SetGroupMemberFlags(OpcodeMap::OneByte, 0xFF, 2, kCall | kForce64);
        SetGroupMemberFlags(OpcodeMap::OneByte, 0xFF, 3, kCall | kFar);
        SetGroupMemberFlags(OpcodeMap::OneByte, 0xFF, 4, kJump | kForce64);
        SetGroupMemberFlags(OpcodeMap::OneByte, 0xFF, 5, kJump | kFar);
        SetGroupMemberFlags(OpcodeMap::OneByte, 0xFF, 6, kDefault64);
        for (unsigned opcode = 0xD8; opcode <= 0xDF; ++opcode)
            Slot(OpcodeMap::OneByte, opcode) = {SlotKind::X87, 0, 0, kModRM};
        Slot(OpcodeMap::OneByte, 0x0F) = {SlotKind::Escape};
        Slot(OpcodeMap::OneByte, 0xC4) = {SlotKind::Vex, AddEntry("les Gv,Mp", "", kInvalid64), 0, kModRM};
        Slot(OpcodeMap::OneByte, 0xC5) = {SlotKind::Vex, AddEntry("lds Gv,Mp", "", kInvalid64), 0, kModRM};
        const std::pair<OpcodeTables::Special, std::string_view> specials[] = {
            {OpcodeTables::Special::Movsxd, "movsxd Gv,Ed"},
            {OpcodeTables::Special::Nop, "nop"},
            {OpcodeTables::Special::Pause, "pause"},
            {OpcodeTables::Special::Movhlps, "movhlps Vx,Ux"},
            {OpcodeTables::Special::Movlhps, "movlhps Vx,Ux"},
            {OpcodeTables::Special::Endbr64, "endbr64"},
            {OpcodeTables::Special::Endbr32, "endbr32"},
            {OpcodeTables::Special::VmovssLoad, "vmovss Vx,Hx,Ux"},
            {OpcodeTables::Special::VmovssStore, "vmovss Ux,Hx,Vx"},
            {OpcodeTables::Special::VmovsdLoad, "vmovsd Vx,Hx,Ux"},
            {OpcodeTables::Special::VmovsdStore, "vmovsd Ux,Hx,Vx"},
            {OpcodeTables::Special::Vmovhlps, "vmovhlps Vx,Hx,Ux"},
            {OpcodeTables::Special::Vmovlhps, "vmovlhps Vx,Hx,Ux"},
            {OpcodeTables::Special::StrayRex, "rex"},
        };
        for (const auto& [which, text] : specials) tables_.special_[static_cast<int>(which)] = AddEntry(text, "", 0);

        for (const Definition& d : kTwoByte) DefineEntry(OpcodeMap::TwoByte, d);
        for (const Definition& d : kTwoByteGroups) DefineGroup(OpcodeMap::TwoByte, d);
        // Descriptor-table loads and stores take no operand size in 64-bit mode.
        for (unsigned reg = 0; reg < 4; ++reg) SetGroupMemberFlags(OpcodeMap::TwoByte, 0x01, reg, kDefault64);
        for (const Definition& d : kTwoBytePrefixed) DefinePrefixed(OpcodeMap::TwoByte, d);
        for (const Definition& d : kTwoBytePrefixedGroups) DefinePrefixedGroup(OpcodeMap::TwoByte, d);
        for (const auto& [opcode, name] : kMmxPairs) DefineMmxPair(OpcodeMap::TwoByte, opcode, name, "");
        Slot(OpcodeMap::TwoByte, 0x38) = {SlotKind::Escape};
        Slot(OpcodeMap::TwoByte, 0x3A) = {SlotKind::Escape};
        Slot(OpcodeMap::TwoByte, 0x0F) = {SlotKind::Amd3DNow, 0, 0, kModRM};
        tables_.amd3DNow_ = AddEntry("3dnow Pq,Qq,Ib", "", 0);
        for (const Definition& d : kThreeByte38) DefinePrefixed(OpcodeMap::ThreeByte38, d);
        for (const auto& [opcode, name] : kMmxPairs38) DefineMmxPair(OpcodeMap::ThreeByte38, opcode, name, "");
        for (const Definition& d : kThreeByte3A) DefinePrefixed(OpcodeMap::ThreeByte3A, d);
        for (const RegisterFormDefinition& d : kRegisterForms) DefineRegisterForms(d);
        BuildX87();
        BuildVex();
    }

private:
    OpcodeSlot& Slot(OpcodeMap map, unsigned opcode) { return tables_.slots_[static_cast<int>(map)][opcode]; }

    std::string_view Keep(std::string text) { return tables_.names_.emplace_back(std::move(text)); }

    // Adds one entry from "mnemonic operands" (operands falling back to `shared`).
    std::uint16_t AddEntry(std::string_view member, std::string_view shared, std::uint32_t flags) {
        const std::uint16_t index = tables_.entryCount_++;
        FillEntry(tables_.entries_[index], member, shared, flags);
        return index;
    }

    static void FillEntry(OpcodeEntry& entry, std::string_view member, std::string_view shared, std::uint32_t flags) {
        member = Trim(member);
        if (member.empty()) return;
        const std::size_t blank = member.find(' ');
        entry.mnemonic = member.substr(0, blank);
        std::string_view operands = blank == std::string_view::npos ? shared : Trim(member.substr(blank + 1));
        entry.flags = flags;
        if (entry.mnemonic.find('/') != std::string_view::npos) entry.flags |= kSizeMnemonic;
        const auto names = Split<4>(operands, ',');
        for (std::size_t i = 0; i < names.size() && !names[i].empty(); ++i) {
            entry.operands[i] = ParseOperand(names[i]);
            if (NeedsModRM(entry.operands[i])) entry.flags |= kModRM;
        }
    }

    static Operand ParseOperand(std::string_view name) {
        for (const OperandName& known : kOperandNames)
            if (known.name == name) return known.operand;
        return Operand::None;
    }

    void DefineEntry(OpcodeMap map, const Definition& d) {
        const std::uint16_t index = AddEntry(d.text, "", d.flags);
        Slot(map, d.opcode) = {SlotKind::Entry, index, 0, tables_.entries_[index].flags};
    }

    // Eight consecutive entries from "m0|m1|...|m7: shared".
    std::uint16_t AddGroupEntries(std::string_view text, std::uint32_t flags) {
        const std::size_t colon = text.find(':');
        const std::string_view shared = colon == std::string_view::npos ? "" : Trim(text.substr(colon + 1));
        const auto members = Split<8>(text.substr(0, colon), '|');
        const std::uint16_t first = tables_.entryCount_;
        for (std::string_view member : members) AddEntry(member, shared, flags);
        return first;
    }

    void DefineGroup(OpcodeMap map, const Definition& d) {
        Slot(map, d.opcode) = {SlotKind::Group, AddGroupEntries(d.text, d.flags), 0, kModRM};
    }

    void SetGroupMemberFlags(OpcodeMap map, unsigned opcode, unsigned reg, std::uint32_t flags) {
        tables_.entries_[Slot(map, opcode).index + reg].flags |= flags;
    }

    void DefinePrefixed(OpcodeMap map, const Definition& d) {
        const auto variants = Split<4>(d.text, '|');
        const std::uint16_t first = tables_.entryCount_;
        for (std::string_view variant : variants) AddEntry(variant, "", d.flags);
        Slot(map, d.opcode) = {SlotKind::Prefixed, first, 0, kModRM};
    }

    void DefinePrefixedGroup(OpcodeMap map, const Definition& d) {
        const auto variants = Split<4>(d.text, '#');
        const std::uint16_t first = tables_.entryCount_;
        for (std::string_view variant : variants) AddGroupEntries(variant, d.flags);
        Slot(map, d.opcode) = {SlotKind::PrefixedGroup, first, 0, kModRM};
    }

    void DefineMmxPair(OpcodeMap map, std::uint8_t opcode, std::string_view name, std::string_view extra) {
        const std::string mnemonic(name);
        const std::string extraText(extra);
        DefinePrefixed(map,
                       {opcode, Keep(mnemonic + " Pq,Qq" + extraText + "|" + mnemonic + " Vx,Wx" + extraText + "||")});
    }

    void DefineRegisterForms(const RegisterFormDefinition& d) {
        OpcodeSlot& slot = Slot(d.map, d.opcode);
        if (slot.registerForms == 0) {
            const std::uint16_t first = tables_.entryCount_;
            tables_.entryCount_ += 64;
            slot.registerForms = first + 1;
        }
        const std::uint32_t inheritedFlags =
            tables_.entries_[slot.index + ((d.first >> 3) & 7)].flags & (kDefault64 | kForce64);
        for (unsigned modrm = d.first; modrm <= d.last; ++modrm)
            FillEntry(tables_.entries_[slot.registerForms - 1 + (modrm & 0x3F)], d.text, "", inheritedFlags);
    }

    void BuildArithmetic() {
        constexpr std::string_view names[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
        constexpr std::string_view forms[6] = {" Eb,Gb", " Ev,Gv", " Gb,Eb", " Gv,Ev", " AL,Ib", " rAX,Iz"};
        for (unsigned operation = 0; operation < 8; ++operation)
            for (unsigned form = 0; form < 6; ++form)
                DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(operation * 8 + form),
                                                 Keep(std::string(names[operation]) + std::string(forms[form]))});
    }

    // Opcodes that carry a register or a condition in their low bits.
    void BuildOpcodeRuns() {
        for (unsigned r = 0; r < 8; ++r) {
            const auto low = static_cast<std::uint8_t>(r);
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x40 + low), "inc Zv", kInvalid64});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x48 + low), "dec Zv", kInvalid64});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x50 + low), "push Zv", kDefault64});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x58 + low), "pop Zv", kDefault64});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x90 + low), "xchg Zv,rAX"});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0xB0 + low), "mov Zb,Ib"});
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0xB8 + low), "mov Zv,Iv"});
            DefineEntry(OpcodeMap::TwoByte, {static_cast<std::uint8_t>(0xC8 + low), "bswap Zy"});
        }
        for (unsigned c = 0; c < 16; ++c) {
            const std::string condition(kConditions[c]);
            const auto low = static_cast<std::uint8_t>(c);
            DefineEntry(OpcodeMap::OneByte, {static_cast<std::uint8_t>(0x70 + low), Keep("j" + condition + " Jb"),
                                             kJump | kConditional | kForce64});
            DefineEntry(OpcodeMap::TwoByte, {static_cast<std::uint8_t>(0x80 + low), Keep("j" + condition + " Jz"),
                                             kJump | kConditional | kForce64});
            DefineEntry(OpcodeMap::TwoByte,
                        {static_cast<std::uint8_t>(0x40 + low), Keep("cmov" + condition + " Gv,Ev")});
            DefineEntry(OpcodeMap::TwoByte, {static_cast<std::uint8_t>(0x90 + low), Keep("set" + condition + " Eb")});
        }
    }

    void BuildX87() {
        for (unsigned opcode = 0; opcode < 8; ++opcode) {
            const std::string_view text = kX87Memory[opcode];
            const std::size_t colon = text.find(':');
            const std::string_view shared = colon == std::string_view::npos ? "" : Trim(text.substr(colon + 1));
            const auto members = Split<8>(text.substr(0, colon), '|');
            for (unsigned reg = 0; reg < 8; ++reg)
                FillEntry(tables_.x87Memory_[opcode][reg], members[reg], shared, kModRM);
            for (unsigned reg = 0; reg < 8; ++reg) {
                const std::string_view row = kX87Register[opcode][reg];
                const bool perRm = !row.empty() && row.front() == '#';
                const auto names = Split<8>(perRm ? row.substr(1) : row, '|');
                for (unsigned rm = 0; rm < 8; ++rm)
                    FillEntry(tables_.x87Register_[opcode][reg * 8 + rm], perRm ? names[rm] : row, "", kModRM);
            }
        }
    }

    // VEX forms: the SSE instructions gain a "v" and, where they combine two sources,
    // the extra source register from VEX.vvvv.
    void BuildVex() {
        constexpr std::string_view twoOperandForms[] = {
            "movups",    "movupd",    "movss",    "movsd",    "movaps",          "movapd",    "movdqa",     "movdqu",
            "movd",      "movq",      "ucomiss",  "ucomisd",  "comiss",          "comisd",    "sqrtps",     "sqrtpd",
            "rsqrtps",   "rcpps",     "cvtdq2ps", "cvtps2dq", "cvttps2dq",       "cvtps2pd",  "cvtpd2ps",   "cvttpd2dq",
            "cvtdq2pd",  "cvtpd2dq",  "pshufd",   "pshufhw",  "pshuflw",         "movmskps",  "movmskpd",   "pmovmskb",
            "ptest",     "lddqu",     "movntdqa", "movntps",  "movntpd",         "movntdq",   "pextrw",     "pextrb",
            "pextrd",    "extractps", "roundps",  "roundpd",  "movsldup",        "movshdup",  "movddup",    "pabsb",
            "pabsw",     "pabsd",     "pmovsxbw", "pmovsxbd", "pmovsxbq",        "pmovsxwd",  "pmovsxwq",   "pmovsxdq",
            "pmovzxbw",  "pmovzxbd",  "pmovzxbq", "pmovzxwd", "pmovzxwq",        "pmovzxdq",  "phminposuw", "cvttss2si",
            "cvttsd2si", "cvtss2si",  "cvtsd2si", "aesimc",   "aeskeygenassist", "pcmpestrm", "pcmpestri",  "pcmpistrm",
            "pcmpistri", "maskmovdqu"};
        const OpcodeMap legacyMaps[3] = {OpcodeMap::TwoByte, OpcodeMap::ThreeByte38, OpcodeMap::ThreeByte3A};
        for (unsigned map = 0; map < 3; ++map) {
            for (unsigned opcode = 0; opcode < 256; ++opcode) {
                const OpcodeSlot& slot = Slot(legacyMaps[map], opcode);
                if (slot.kind != SlotKind::Prefixed) continue;
                for (unsigned prefix = 0; prefix < 4; ++prefix) {
                    const OpcodeEntry& legacy = tables_.entries_[slot.index + prefix];
                    // Implicit-xmm0 blends have VEX forms of their own (is4 operand).
                    if (!legacy.Valid() || !IsSseEntry(legacy) || HasOperand(legacy, Operand::Xmm0)) continue;
                    OpcodeEntry& vex = tables_.vex_[map][opcode][prefix];
                    vex.mnemonic = Keep("v" + std::string(legacy.mnemonic));
                    vex.flags = legacy.flags | kModRM;
                    if (IsOneOf(legacy.mnemonic, kDoubling)) vex.flags |= kVexDoubling;
                    const bool twoOperand = IsOneOf(legacy.mnemonic, twoOperandForms);
                    const bool insertSource = !twoOperand && IsVector(legacy.operands[0]);
                    unsigned out = 0;
                    for (unsigned i = 0; i < 4 && legacy.operands[i] != Operand::None && out < 4; ++i) {
                        vex.operands[out++] = VexOperand(legacy, i);
                        if (i == 0 && insertSource && out < 4) vex.operands[out++] = Operand::Hx;
                    }
                }
            }
        }
        // Instructions that exist only in VEX form.
        const struct {
            unsigned map;
            std::uint8_t opcode;
            unsigned prefix;
            std::string_view text;
        } vexOnly[] = {
            {2, 0x18, 1, "vbroadcastss Vx,Wd"},     {2, 0x19, 1, "vbroadcastsd Vx,Wq"},
            {2, 0x58, 1, "vpbroadcastd Vx,Wd"},     {2, 0x59, 1, "vpbroadcastq Vx,Wq"},
            {2, 0x78, 1, "vpbroadcastb Vx,Wb"},     {2, 0x79, 1, "vpbroadcastw Vx,Ww"},
            {2, 0x36, 1, "vpermd Vx,Hx,Wx"},        {2, 0x16, 1, "vpermps Vx,Hx,Wx"},
            {2, 0x46, 1, "vpsravd Vx,Hx,Wx"},       {2, 0x0C, 1, "vpermilps Vx,Hx,Wx"},
            {2, 0x0D, 1, "vpermilpd Vx,Hx,Wx"},     {3, 0x04, 1, "vpermilps Vx,Wx,Ib"},
            {3, 0x05, 1, "vpermilpd Vx,Wx,Ib"},     {2, 0x0E, 1, "vtestps Vx,Wx"},
            {2, 0x0F, 1, "vtestpd Vx,Wx"},          {2, 0x2C, 1, "vmaskmovps Vx,Hx,Mx"},
            {2, 0x2D, 1, "vmaskmovpd Vx,Hx,Mx"},    {2, 0x2E, 1, "vmaskmovps Mx,Hx,Vx"},
            {2, 0x2F, 1, "vmaskmovpd Mx,Hx,Vx"},    {2, 0x5A, 1, "vbroadcasti128 Vx,Wo"},
            {2, 0x1A, 1, "vbroadcastf128 Vx,Wo"},   {3, 0x02, 1, "vpblendd Vx,Hx,Wx,Ib"},
            {2, 0xF2, 0, "andn Gy,Hy,Ey"},          {2, 0xF7, 0, "bextr Gy,Ey,Hy"},
            {2, 0xF7, 1, "shlx Gy,Ey,Hy"},          {2, 0xF7, 2, "sarx Gy,Ey,Hy"},
            {2, 0xF7, 3, "shrx Gy,Ey,Hy"},          {2, 0xF5, 0, "bzhi Gy,Ey,Hy"},
            {2, 0xF5, 3, "pdep Gy,Hy,Ey"},          {2, 0xF5, 2, "pext Gy,Hy,Ey"},
            {2, 0xF6, 3, "mulx Gy,Hy,Ey"},          {3, 0x00, 1, "vpermq Vx,Wx,Ib"},
            {3, 0x01, 1, "vpermpd Vx,Wx,Ib"},       {3, 0x18, 1, "vinsertf128 Vx,Hx,Wo,Ib"},
            {3, 0x19, 1, "vextractf128 Wo,Vx,Ib"},  {3, 0x38, 1, "vinserti128 Vx,Hx,Wo,Ib"},
            {3, 0x39, 1, "vextracti128 Wo,Vx,Ib"},  {3, 0x06, 1, "vperm2f128 Vx,Hx,Wx,Ib"},
            {3, 0x46, 1, "vperm2i128 Vx,Hx,Wx,Ib"}, {3, 0x4A, 1, "vblendvps Vx,Hx,Wx,Lx"},
            {3, 0x4B, 1, "vblendvpd Vx,Hx,Wx,Lx"},  {3, 0x4C, 1, "vpblendvb Vx,Hx,Wx,Lx"},
            {3, 0xF0, 3, "rorx Gy,Ey,Ib"},
        };
        for (const auto& v : vexOnly) FillEntry(tables_.vex_[v.map - 1][v.opcode][v.prefix], v.text, "", 0);
        // Forms named by VEX.W, and the half-precision conversions, whose memory side
        // doubles with VEX.L.
        const struct {
            unsigned map;
            std::uint8_t opcode;
            std::string_view text;
            std::uint32_t flags;
        } vexFlagged[] = {
            {2, 0x45, "vpsrlvd/vpsrlvq Vx,Hx,Wx", kVexWMnemonic},
            {2, 0x47, "vpsllvd/vpsllvq Vx,Hx,Wx", kVexWMnemonic},
            {2, 0x8C, "vpmaskmovd/vpmaskmovq Vx,Hx,Mx", kVexWMnemonic},
            {2, 0x8E, "vpmaskmovd/vpmaskmovq Mx,Hx,Vx", kVexWMnemonic},
            {2, 0x13, "vcvtph2ps Vx,Wq", kVexDoubling},
            {3, 0x1D, "vcvtps2ph Wq,Vx,Ib", kVexDoubling},
        };
        for (const auto& v : vexFlagged) FillEntry(tables_.vex_[v.map - 1][v.opcode][1], v.text, "", v.flags);
        BuildFusedMultiplyAdd();
        const struct {
            unsigned map;
            std::uint8_t opcode;
            std::uint8_t prefix;
            std::string_view text;
        } vexGroups[] = {
            {1, 0x71, 1, "||vpsrlw||vpsraw||vpsllw|: Hx,Ux,Ib"},
            {1, 0x72, 1, "||vpsrld||vpsrad||vpslld|: Hx,Ux,Ib"},
            {1, 0x73, 1, "||vpsrlq|vpsrldq|||vpsllq|vpslldq: Hx,Ux,Ib"},
            {2, 0xF3, 0, "|blsr|blsmsk|blsi||||: Hy,Ey"},
            {1, 0xAE, 0, "||vldmxcsr Md|vstmxcsr Md||||"},
        };
        for (const auto& g : vexGroups)
            tables_.vexGroups_[g.map - 1][g.opcode] = {AddGroupEntries(g.text, kModRM), g.prefix};
    }

    // vfmadd132ps and its 59 relatives: the operation by the opcode's low nibble, the
    // operand order (132, 213, 231) by its high nibble, single or double by VEX.W.
    void BuildFusedMultiplyAdd() {
        constexpr std::string_view operations[10] = {"fmaddsub", "fmsubadd", "fmadd",  "fmadd",  "fmsub",
                                                     "fmsub",    "fnmadd",   "fnmadd", "fnmsub", "fnmsub"};
        constexpr std::pair<std::uint8_t, std::string_view> orders[3] = {{0x90, "132"}, {0xA0, "213"}, {0xB0, "231"}};
        for (const auto& [row, order] : orders) {
            for (unsigned low = 6; low < 16; ++low) {
                const bool scalar = low >= 8 && (low & 1);
                const std::string name = "v" + std::string(operations[low - 6]) + std::string(order);
                const std::string text =
                    scalar ? name + "ss/" + name + "sd Vx,Hx,Ws" : name + "ps/" + name + "pd Vx,Hx,Wx";
                FillEntry(tables_.vex_[1][row + low][1], Keep(text), "", kVexWMnemonic);
            }
        }
    }

    static constexpr std::string_view kShiftByVector[] = {"psrlw", "psrld", "psrlq", "psraw",
                                                          "psrad", "psllw", "pslld", "psllq"};
    static constexpr std::string_view kNarrowResult[] = {"cvtpd2dq", "cvttpd2dq", "cvtpd2ps"};
    static constexpr std::string_view kDoubling[] = {"pmovsxbw", "pmovsxbd", "pmovsxbq", "pmovsxwd", "pmovsxwq",
                                                     "pmovsxdq", "pmovzxbw", "pmovzxbd", "pmovzxbq", "pmovzxwd",
                                                     "pmovzxwq", "pmovzxdq", "cvtps2pd", "cvtdq2pd"};

    template <std::size_t count>
    static bool IsOneOf(std::string_view name, const std::string_view (&names)[count]) {
        for (std::string_view candidate : names)
            if (candidate == name) return true;
        return false;
    }

    // The VEX form of an SSE operand: VEX.L widens what SSE keeps at 128 bits, except
    // a shift count, the result of a narrowing conversion, and vmovddup's source.
    static Operand VexOperand(const OpcodeEntry& legacy, unsigned index) {
        const Operand operand = legacy.operands[index];
        if (index == 0 && operand == Operand::Vx && IsOneOf(legacy.mnemonic, kNarrowResult)) return Operand::Vo;
        if (operand == Operand::Wx && IsOneOf(legacy.mnemonic, kShiftByVector)) return Operand::Wo;
        if (operand == Operand::Wq && legacy.mnemonic == "movddup") return Operand::Wdup;
        switch (operand) {
            case Operand::Vo:
                return Operand::Vx;
            case Operand::Wo:
                return Operand::Wx;
            case Operand::Uo:
                return Operand::Ux;
            default:
                return operand;
        }
    }

    static bool IsVector(Operand operand) {
        return operand == Operand::Vx || operand == Operand::Vo || operand == Operand::Pq;
    }

    static bool HasOperand(const OpcodeEntry& entry, Operand wanted) {
        for (Operand operand : entry.operands)
            if (operand == wanted) return true;
        return false;
    }

    static bool IsSseEntry(const OpcodeEntry& entry) {
        for (Operand operand : entry.operands)
            if (operand >= Operand::Vx && operand <= Operand::Xmm0) return true;
        return false;
    }

    OpcodeTables& tables_;
};

OpcodeTables::OpcodeTables() {
    OpcodeTableBuilder(*this).Build();
}

const OpcodeTables& OpcodeTables::Get() {
    static const OpcodeTables tables;
    return tables;
}

}  // namespace brevant::x86
