#include "ui/dialog_geometry.h"

namespace corvid {

namespace {

constexpr ResizeFlags kMovingBits = ResizeFlags::SizeX | ResizeFlags::SizeY | ResizeFlags::MoveX |
                                    ResizeFlags::MoveY | ResizeFlags::Repaint | ResizeFlags::CenterX |
                                    ResizeFlags::CenterY;

}  // namespace

std::optional<Rect> anchoredRect(const ResizeEntry& entry, const Rect& current, Size initial, Size client) {
    if (!hasAny(entry.flags, kMovingBits)) return std::nullopt;
    const Rect& recorded = entry.rect;
    Rect result = current;
    const int dW = client.width - initial.width;
    const int dH = client.height - initial.height;

    if (hasAny(entry.flags, ResizeFlags::CenterX)) {
        result.left = (client.width + recorded.left - recorded.right) / 2;
        result.right = result.left + recorded.width();
    } else if (hasAny(entry.flags, ResizeFlags::SizeX | ResizeFlags::MoveX)) {
        result.right = recorded.right + dW;
        if (hasAny(entry.flags, ResizeFlags::MoveX)) result.left = recorded.left + dW;
    }

    if (hasAny(entry.flags, ResizeFlags::CenterY)) {
        result.top = (client.height + recorded.top - recorded.bottom) / 2;
        result.bottom = result.top + recorded.height();
    } else if (hasAny(entry.flags, ResizeFlags::SizeY | ResizeFlags::MoveY)) {
        result.bottom = recorded.bottom + dH;
        if (hasAny(entry.flags, ResizeFlags::MoveY)) result.top = recorded.top + dH;
    }
    return result;
}

Size layoutClientSize(Size client, bool childDialog, std::optional<Size> minTrackSize) {
    if (!childDialog || !minTrackSize) return client;
    if (client.width < minTrackSize->width) client.width = minTrackSize->width;
    if (client.height < minTrackSize->height) client.height = minTrackSize->height;
    return client;
}

std::vector<ControlPlacement> planLayout(const std::vector<ResizeEntry>& entries, Size initial, Size client,
                                         const std::function<std::optional<Rect>(std::int32_t)>& currentRect) {
    std::vector<ControlPlacement> placements;
    placements.reserve(entries.size());
    for (const ResizeEntry& entry : entries) {
        const std::optional<Rect> current = currentRect(entry.id);
        if (!current) continue;
        placements.push_back(
            {entry.id, anchoredRect(entry, *current, initial, client), hasAny(entry.flags, ResizeFlags::Repaint)});
    }
    return placements;
}

Rect centringReference(const std::optional<OwnerWindowState>& owner, const Rect& workArea) {
    if (owner && owner->visible && !owner->minimized) return owner->rect;
    return workArea;
}

Point centredPosition(Size size, const Rect& reference, const Rect& area) {
    // Each axis: centre, push back inside the far edge, then the near edge,
    // so a window larger than the area is aligned to its left and top.
    const auto axis = [](int referenceLow, int referenceHigh, int extent, int areaLow, int areaHigh) {
        int position = (referenceLow + referenceHigh) / 2 - extent / 2;
        if (position + extent > areaHigh) position = areaHigh - extent;
        if (position < areaLow) position = areaLow;
        return position;
    };
    return {axis(reference.left, reference.right, size.width, area.left, area.right),
            axis(reference.top, reference.bottom, size.height, area.top, area.bottom)};
}

}  // namespace corvid
