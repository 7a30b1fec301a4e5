#include "download/SegmentMap.h"

namespace download {

void SegmentMap::Begin(uint64_t fileLength, uint64_t total, std::span<const HeldPart> parts,
                       int head) noexcept
{
    m_segments = {};
    m_fileLength = fileLength;
    m_total = total;
    const uint64_t headEnd = parts.empty() ? total : parts.front().start;
    if (headEnd > fileLength)
        m_segments[0] = {fileLength, headEnd, 0, head, true, true};
    for (size_t i = 0; i < parts.size() && i + 1 < kCapacity; ++i) {
        const uint64_t end = i + 1 < parts.size() ? parts[i + 1].start : total;
        m_segments[i + 1] = {parts[i].start, end, parts[i].size, kNoConnection, false, true};
    }
}

SegmentMap::Work SegmentMap::Own(int segment, int connection, bool sameAnswer) noexcept
{
    Segment& owned = m_segments[segment];
    owned.connection = connection;
    // Nothing of it written yet and the file ending where it begins: it goes straight on in
    // the file. A part already begun stays a part.
    if (owned.held == 0 && owned.start == m_fileLength)
        owned.inFile = true;
    return {segment, sameAnswer};
}

SegmentMap::Work SegmentMap::Take(int connection, std::optional<uint64_t> answerNext,
                                  uint64_t stealFloor) noexcept
{
    int nearest = kNoSegment;
    int largest = kNoSegment;
    for (int i = 0; i < kCapacity; ++i) {
        const Segment& s = m_segments[i];
        if (!s.used || s.Complete())
            continue;
        if (s.connection == kNoConnection) {
            if (answerNext && s.Next() == *answerNext)
                return Own(i, connection, true);
            if (nearest == kNoSegment || s.start < m_segments[nearest].start)
                nearest = i;
        } else if (largest == kNoSegment || s.Left() > m_segments[largest].Left()) {
            largest = i;
        }
    }
    if (nearest != kNoSegment)
        return Own(nearest, connection, false);
    const int slot = FreeSlot();
    if (largest == kNoSegment || slot == kNoSegment || m_segments[largest].Left() / 2 < stealFloor)
        return {};
    // The victim keeps the first half: its connection's answer is already bringing it.
    Segment& victim = m_segments[largest];
    const uint64_t split = victim.Next() + victim.Left() / 2;
    m_segments[slot] = {split, victim.end, 0, kNoConnection, false, true};
    victim.end = split;
    return Own(slot, connection, false);
}

int SegmentMap::NextToAbsorb() const noexcept
{
    for (int i = 0; i < kCapacity; ++i) {
        const Segment& s = m_segments[i];
        if (s.used && s.start == m_fileLength)
            return s.Complete() && s.connection == kNoConnection ? i : kNoSegment;
    }
    return kNoSegment;
}

void SegmentMap::Absorbed(int segment) noexcept
{
    m_fileLength = m_segments[segment].end;
    m_segments[segment] = {};
}

int SegmentMap::FreeSlot() const noexcept
{
    for (int i = 0; i < kCapacity; ++i) {
        if (!m_segments[i].used)
            return i;
    }
    return kNoSegment;
}

} // namespace download
