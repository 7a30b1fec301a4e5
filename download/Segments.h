#pragma once
// The rest of a large file over several connections. When the first answer shows that the server
// serves ranges of this version, the connection that has it goes on from the file's end into the
// file, and further connections each ask for a segment of their own, with If-Range naming the
// first answer's version, into parts (download/PartFiles.h). A connection whose segment is done
// takes over half of the largest one left. The file only ever grows by whole prefixes: each part
// is appended when the file reaches it. An answer to a segment that would splice another version
// in ends every segment: a whole file starts the transfer over on its one connection, anything
// else fails it, and a server that refuses a further connection only has fewer.
#include "download/HttpTransfer.h"
#include "download/ResponseCheck.h"

namespace download {

// The parts an earlier transfer left that continue the file exactly go into it first, once the
// first answer has shown the version is still the server's. False when they could not.
[[nodiscard]] bool AbsorbLeadingParts(DOWNLOADINFO& transfer) noexcept;

// After the first answer, whose plan the head connection follows: begins segments when the answer
// serves ranges (see Answer), names a version and a total, the transfer may use several
// connections and has a record for its parts, at least the floor is left or an earlier transfer's
// parts wait, and the volume has room for one more segment. Otherwise the parts go and the head
// goes on alone. False when the file cannot be opened for them.
[[nodiscard]] bool BeginSegments(Connection& head, const ResponsePlan& plan,
                                 bool rangesServed) noexcept;

// A segment's answer: read when it is a 206 of the transfer's version and total from the byte
// asked for; refused on 429 and 503; a 200 starts the transfer over with its body; anything else
// fails the transfer.
void OnSegmentAnswer(Connection& connection) noexcept;

// Writes the piece in the buffer into the connection's segment. True when the connection reads
// on; false when it has moved on (its segment done) or left.
[[nodiscard]] bool FlushSegmentPiece(Connection& connection) noexcept;

// The body of a segment's answer has ended: short of what it announced, the connection stops;
// having brought all it announced short of the segment's end, it asks for the rest.
void SegmentAnswerEnded(Connection& connection) noexcept;

// The transfer starts over with the whole file that this connection holds, alone, from the
// file's first byte.
void StartOver(Connection& connection) noexcept;

} // namespace download
