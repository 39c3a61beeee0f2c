#pragma once
// The result codes of the module's exchanges: queries, uploads, and the link that runs them.

// Result of every query and upload.
using LinkResult = int;
enum : LinkResult {
    kLinkOk = 0,                // the output has been filled
    kLinkOffline = 1,           // the online flag is zero; nothing was sent
    kLinkShortReply = 2,        // dump too short, or marker of a single-value reply missing
    kLinkMissingSeparator = 3,  // a dump line lacked its CR LF; earlier fields are stored
    // A reply that arrived but is no value: a single value with a character that is not a
    // hex digit, a float that is no number (NaN, infinity), a reply that was still coming
    // when the line's time for the largest legal reply ran out.
    kLinkGarbledReply = 3,
    kLinkWriteFailed = 4,  // an upload byte did not go out (hang-up, unplugged, time-out)
    kLinkCancelled = 5,    // the caller abandoned the exchange (Ctrl-C, the window closing)
    // A parameter dump that decodes but is not clean (a line too many or too short): fine to
    // show, not to save or send back whole (ReadWholeRecord).
    kLinkGarbledDump = 6,
};
