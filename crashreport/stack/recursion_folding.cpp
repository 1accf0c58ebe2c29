#include "crashreport/stack/recursion_folding.h"

#include "crashreport/stack/item_links.h"

namespace brevant::crashreport {

namespace {

// The nearest valid item outward of `index`, -1 none.
int NextValidOutward(const WalkContext& walk, int index) {
    for (int i = index - 1; i >= 0; --i)
        if (!walk.items[static_cast<std::size_t>(i)].Invalid) return i;
    return -1;
}

void Remove(WalkContext& walk, int index, FoldRemoval removal) {
    walk.Item(index).DontKill = false;
    if (removal == FoldRemoval::withLinks)
        InvalidateItem(walk, index);
    else
        walk.Item(index).Invalid = true;
}

// Folds the run ending at `inner` when it repeats the run just outward of it; true when it did.
bool FoldAt(WalkContext& walk, int inner, FoldRemoval removal) {
    const std::uint64_t address = walk.Item(inner).AfterInstr;
    int between = 0;
    int outer = NextValidOutward(walk, inner);
    while (outer >= 0 && walk.Item(outer).AfterInstr != address) {
        ++between;
        outer = NextValidOutward(walk, outer);
    }
    if (outer < 0 || outer < between) return false;
    int a = inner, b = outer;
    for (int k = 0; k < between; ++k) {
        a = NextValidOutward(walk, a);
        b = NextValidOutward(walk, b);
        if (a < 0 || b < 0 || walk.Item(a).AfterInstr != walk.Item(b).AfterInstr) return false;
    }
    int remove = inner;
    for (int k = 0; k <= between; ++k) {
        const int next = NextValidOutward(walk, remove);
        Remove(walk, remove, removal);
        remove = next;
    }
    return true;
}

}  // namespace

void RemoveRecursiveAreas(WalkContext& walk, FoldRemoval removal) {
    bool changed = true;
    while (changed && !walk.Aborted()) {
        changed = false;
        for (int index = walk.LastIndex(); index >= 1; --index) {
            if (walk.Aborted()) return;
            if (!walk.Item(index).Invalid && FoldAt(walk, index, removal)) changed = true;
        }
    }
}

}  // namespace brevant::crashreport
