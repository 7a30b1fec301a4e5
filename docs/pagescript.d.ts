// The globals that pagescript gives a page script besides those of a page (external, document,
// location, window, setTimeout, clearTimeout): for checking a script run through pagescript
// with tsc. docs/bridge.md, section "pagescript: trying a page", describes them all.

/** Writes the value as one line of UTF-8 on standard output. */
declare function print(value: unknown): void;
/** Ends the run at once with this exit code. */
declare function exit(code: number): never;
/** The id of the calling thread (the page's thread unless called from elsewhere). */
declare function threadId(): number;
