// Wedges around pinch points, so that every shell edge has exactly two triangles.
#include <algorithm>
#include <numeric>

#include "snow/snow_work.h"

namespace wx::snow {
namespace {

int32_t findRoot(std::vector<int32_t>& parent, int32_t i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

}  // namespace

int32_t PinchWedges::wedgeAtSlot(int32_t point, int32_t slot) const {
    if (empty() || pinchOf[size_t(point)] < 0) return 0;
    const size_t p = size_t(pinchOf[size_t(point)]);
    const auto first = slots.begin() + slotBegin[p], last = slots.begin() + slotBegin[p + 1];
    const auto it = std::lower_bound(first, last, slot);
    return (it != last && *it == slot) ? slotWedge[size_t(it - slots.begin())] : 0;
}

int32_t PinchWedges::wedgeOfEdge(std::span<const int32_t> kept, int32_t point, int32_t a, int32_t b) const {
    if (empty() || pinchOf[size_t(point)] < 0) return 0;
    const size_t p = size_t(pinchOf[size_t(point)]);
    for (uint32_t i = slotBegin[p]; i < slotBegin[p + 1]; ++i) {
        const size_t t = size_t(slots[i]) / 3 * 3, k = size_t(slots[i]) % 3;
        // The corner after a is b in the triangle that holds a -> b.
        const bool holds = point == a ? kept[t + (k + 1) % 3] == b : kept[t + (k + 2) % 3] == a;
        if (holds) return slotWedge[i];
    }
    return 0;
}

PinchWedges findPinchWedges(std::span<const int32_t> kept, std::span<const OpenEdge> open, size_t pointCount) {
    PinchWedges w;
    std::vector<uint8_t> leaving(pointCount, 0);
    std::vector<int32_t> pinches;
    for (const OpenEdge& e : open) {
        if (leaving[size_t(e.a)] == 1) pinches.push_back(e.a);
        if (leaving[size_t(e.a)] < 2) ++leaving[size_t(e.a)];
    }
    if (pinches.empty()) return w;
    std::sort(pinches.begin(), pinches.end());
    w.pinchOf.assign(pointCount, -1);
    for (size_t p = 0; p < pinches.size(); ++p) w.pinchOf[size_t(pinches[p])] = int32_t(p);

    w.slotBegin.assign(pinches.size() + 1, 0);
    for (int32_t v : kept)
        if (w.pinchOf[size_t(v)] >= 0) ++w.slotBegin[size_t(w.pinchOf[size_t(v)]) + 1];
    for (size_t p = 0; p < pinches.size(); ++p) w.slotBegin[p + 1] += w.slotBegin[p];
    w.slots.resize(w.slotBegin.back());
    std::vector<uint32_t> fill(w.slotBegin.begin(), w.slotBegin.end() - 1);
    for (size_t s = 0; s < kept.size(); ++s)
        if (w.pinchOf[size_t(kept[s])] >= 0) w.slots[fill[size_t(w.pinchOf[size_t(kept[s])])]++] = int32_t(s);

    // Triangles around a pinch that share an edge at it (the same other corner) are in one
    // wedge; wedges are numbered in the order the kept list first reaches them.
    w.slotWedge.assign(w.slots.size(), 0);
    w.wedgeBase.assign(pinches.size() + 1, 0);
    std::vector<std::pair<int32_t, int32_t>> neighbours;  // (other corner, slot entry)
    std::vector<int32_t> parent, wedgeOfRoot;
    for (size_t p = 0; p < pinches.size(); ++p) {
        const uint32_t begin = w.slotBegin[p], end = w.slotBegin[p + 1];
        neighbours.clear();
        parent.resize(end - begin);
        std::iota(parent.begin(), parent.end(), 0);
        for (uint32_t i = begin; i < end; ++i) {
            const size_t t = size_t(w.slots[i]) / 3 * 3, k = size_t(w.slots[i]) % 3;
            neighbours.push_back({kept[t + (k + 1) % 3], int32_t(i - begin)});
            neighbours.push_back({kept[t + (k + 2) % 3], int32_t(i - begin)});
        }
        std::sort(neighbours.begin(), neighbours.end());
        for (size_t j = 1; j < neighbours.size(); ++j)
            if (neighbours[j].first == neighbours[j - 1].first)
                parent[size_t(findRoot(parent, neighbours[j].second))] = findRoot(parent, neighbours[j - 1].second);
        wedgeOfRoot.assign(parent.size(), -1);
        int32_t wedges = 0;
        for (uint32_t i = begin; i < end; ++i) {
            const int32_t root = findRoot(parent, int32_t(i - begin));
            if (wedgeOfRoot[size_t(root)] < 0) wedgeOfRoot[size_t(root)] = wedges++;
            w.slotWedge[i] = wedgeOfRoot[size_t(root)];
        }
        w.wedgeBase[p + 1] = w.wedgeBase[p] + wedges;
    }
    return w;
}

}  // namespace wx::snow
