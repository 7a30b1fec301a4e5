#pragma once
// The rest of a file fetched over several connections, cut into segments: which connection
// fetches each, how much of each is written, and how far the file itself reaches. Every byte
// from the file's end to its total belongs to exactly one segment. A segment that begins where
// the file ends is written into the file itself; any other goes to a part file of its own until
// the file reaches it, and is then appended. Bookkeeping only, no I/O and no lock: the transfer
// holds its lock around every call.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace download {

inline constexpr int kNoSegment = -1;
inline constexpr int kNoConnection = -1;

struct Segment {
    uint64_t start = 0;
    uint64_t end = 0;  // one past its last byte; lowered when another connection takes its tail
    uint64_t held = 0; // bytes from start on that are written
    int connection = kNoConnection;
    bool inFile = false; // written into the file itself rather than a part
    bool used = false;

    [[nodiscard]] uint64_t Next() const noexcept { return start + held; }
    [[nodiscard]] uint64_t Left() const noexcept { return end - Next(); }
    [[nodiscard]] bool Complete() const noexcept { return Next() == end; }
};

// A part file an earlier transfer left: the bytes [start, start + size) of the file.
struct HeldPart {
    uint64_t start = 0;
    uint64_t size = 0;
};

class SegmentMap {
public:
    // Enough for the connections' first segments, what an earlier transfer left and every
    // segment work stealing makes of them; a connection that finds no free slot takes nothing.
    static constexpr int kCapacity = 64;

    // The file holds fileLength bytes of total. The connection `head` fetches from fileLength on,
    // into the file, up to the first part; each part (ascending, each ending by the next one's
    // start and by total, none at fileLength, fewer than kCapacity) continues up to the next
    // part and waits for a connection.
    void Begin(uint64_t fileLength, uint64_t total, std::span<const HeldPart> parts,
               int head) noexcept;

    [[nodiscard]] Segment& operator[](int index) noexcept { return m_segments[index]; }
    [[nodiscard]] uint64_t FileLength() const noexcept { return m_fileLength; }
    // The file reaches its total: every segment is in it.
    [[nodiscard]] bool Whole() const noexcept { return m_fileLength == m_total; }

    // Work for a connection that has none: a segment no connection fetches (first the one that
    // continues exactly where the connection's current answer goes on, if it goes on, then the
    // one nearest the file's end), else the second half of the segment with the most left when
    // that half is at least stealFloor. kNoSegment when there is nothing to take.
    struct Work {
        int segment = kNoSegment;
        bool sameAnswer = false; // the connection's current answer brings the segment's bytes
    };
    [[nodiscard]] Work Take(int connection, std::optional<uint64_t> answerNext,
                            uint64_t stealFloor) noexcept;

    // The complete segment no connection holds that begins where the file ends: its bytes are
    // the next to go into the file. kNoSegment when there is none.
    [[nodiscard]] int NextToAbsorb() const noexcept;
    // Its bytes are in the file now: the file reaches its end, and the segment goes.
    void Absorbed(int segment) noexcept;

private:
    [[nodiscard]] int FreeSlot() const noexcept;
    Work Own(int segment, int connection, bool sameAnswer) noexcept;

    std::array<Segment, kCapacity> m_segments{};
    uint64_t m_fileLength = 0;
    uint64_t m_total = 0;
};

} // namespace download
