#pragma once
// The walker's own items: one per accepted candidate, indexed from the outermost (0) to the
// innermost, with the links that join callers and callees and what the line finally shows.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

struct TStackLink {
    int Link = -1;               // the other item, -1 none yet
    std::uint64_t CodeAddr = 0;  // the call (or faulting) instruction, 0 unknown
    bool HasTarget = false;
    std::uint64_t Target = 0;
    int Func = -1;              // function-cache index of the function the link asserts, -1 unknown
    std::uint64_t Quality = 0;  // 0 not yet scored
};

struct TStackLinks {
    std::vector<TStackLink> Links;
    int Best = -1;

    std::size_t Count() const { return Links.size(); }
};

struct TFinalOutput {
    std::uint64_t Addr = 0;
    std::u16string ModuleName;
    std::u16string UnitName;
    std::int32_t Line = 0;
    std::u16string PublicName;
    std::uint64_t PublicAddr = 0;  // 0 unknown
    std::int32_t PublicLine = 0;
};

// Links[0] leads inward (to items in functions this one calls); Links[1] describes the item
// itself and its caller.
enum LinkDirection : int { kInward = 0, kOutward = 1 };

struct TInternalStackItem {
    std::uint64_t Value = 0;  // the stack value (or forced address) the item came from
    std::uint64_t AfterInstr = 0;
    bool DontKill = false;
    bool TopItem = false;
    int Module = -1;
    TStackLinks Links[2];
    bool Invalid = false;
    TFinalOutput FinalOutput;
};

}  // namespace brevant::crashreport
