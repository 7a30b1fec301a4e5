// QUIB's script bridge as a page sees it: the 26 methods of window.external and the page's own
// OnDownloadProgress. Arguments, results, failures and examples: docs/bridge.md.
//
// A global declaration file: it extends the DOM library's External interface, so both
// `window.external.GetVersion()` and `external.GetVersion()` are typed. Every parameter is
// required. Numbers travel as signed 32-bit integers, so pass whole numbers from -2147483648 to
// 2147483647; a Boolean result is true or false, and a string result is never null.

/** A download's state in OnDownloadProgress: 1 downloading, 2 finished, -1 failed, -100 paused. */
type QuibDownloadState = 1 | 2 | -1 | -100;

/**
 * The page's global function that receives download progress once the page has called
 * `external.SetCallBack(document)`; value is the percentage with state 1, 100 with 2, else 0.
 * In a JavaScript page: `/** @type {OnDownloadProgress} *\/ function OnDownloadProgress(...) {}`.
 */
type OnDownloadProgress =
    (state: QuibDownloadState, idHigh: number, idLow: number, value: number) => void;

/** A page may also assign its handler as `window.OnDownloadProgress = function (...) {...}`. */
interface Window {
    OnDownloadProgress?: OnDownloadProgress;
}

interface External {
    /** Always 1. */
    GetVersion(): number;
    /** Lets the player drag the hosting window; returns when the mouse button is released. */
    MoveWindow(): void;
    /** The handle of the tool's main window, 0 when there is none. */
    GetMainWindow(): number;
    /** Sends a message to any window and returns the window's answer (0 for no window). */
    SendMessage(window: number, message: number, wParam: number, lParam: number): number;
    /** Does nothing. */
    ShowPageWindow(): void;
    /** The handle of the window that hosts the page (the main window for the portal page). */
    GetParentWindow(): number;
    /** Windows' ShowWindow on any window (0 hide, 1 normal...): non-zero if it was visible. */
    ShowWindow(window: number, showCommand: number): number;
    /** Maximises the hosting window, or restores it when it is maximised. */
    MaxOrNormalWindow(): void;
    /** Starts or resumes downloading url into the Downloads folder: 1 started, 0 refused. */
    DownloadFile(url: string, fileName: string, idHigh: number, idLow: number): number;
    /** Asks a download to pause (state -100 follows): 1 when the id is known, 0 otherwise. */
    PauseDownload(idHigh: number, idLow: number): number;
    /** Registers the page's document for OnDownloadProgress calls, replacing the last; always 0. */
    SetCallBack(document: Document): number;
    /** The tool's folder, ending in a backslash. */
    GetAppPath(): string;
    /** Opens a program or document with the shell: true if started, false after a message box. */
    RunExe(path: string): boolean;
    /** Tells the main window that the server has a newer version; always true. */
    UpdateBegin(): boolean;
    /** Has the main window ask the player for the game directory (Info/PATH); always true. */
    Find(): boolean;
    /** A value of an INI file, '' when missing; a bare file name means the Windows folder. */
    GetConfigString(section: string, key: string, file: string): string;
    /** Writes a value into an INI file, made as needed, only if it reads back unchanged: non-zero
     *  on success, 0 on failure. */
    SetConfigString(section: string, key: string, value: string, file: string): number;
    /** Unpacks every entry of a zip archive into folder: 1 all unpacked, 0 at the first failure. */
    UnzipFile(archive: string, folder: string): number;
    /** Deletes one file: non-zero on success, 0 on failure. */
    DeleteFile(path: string): number;
    /** Copies a file, replacing an existing target: non-zero on success, 0 on failure. */
    CopyFile(source: string, target: string): number;
    /** Moves a file, replacing the target only if the move succeeds: non-zero on success. */
    MoveFile(source: string, target: string): number;
    /** A registry string value under root 0x80000000 + root (1 current user), '' on any failure. */
    GetRegString(root: number, subKey: string, valueName: string): string;
    /** Writes a registry string value into an existing key; always true, written or not. */
    SetRegString(root: number, subKey: string, valueName: string, value: string): boolean;
    /** The folder part of path (up to its last backslash) when anything matches it, else ''. */
    GetFilePath(path: string): string;
    /** Always '': the tool holds no questions. */
    GetQuestion(search: string): string;
    /** Puts text on the clipboard: true on success, false (after a message box if it is busy). */
    CopyStr(text: string): boolean;
}
