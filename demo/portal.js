// The Valdmark portal's install page, as a page script: it fetches the game through the tool,
// shows the progress, pauses and resumes the download, unpacks the game into the game directory
// and starts its launcher. It uses the tool only through window.external and its own global
// OnDownloadProgress, as the portal page does. print() and exit() stand for the page's text and
// for leaving the page: view below is the one place that uses them.
//
// What the page needs beyond the tool's own settings lies in config.ini under its own section:
//   [portal]  server=http://host:port/   package=Valdmark.zip   size=<bytes, optional>

var PAUSE_AT_PERCENT = 40;
var RESUME_AFTER_MS = 1000;
var STALL_LIMIT_MS = 30000;      // no word from the tool for this long: the download is stuck
var LAUNCH_LIMIT_MS = 20000;     // the launcher has this long to show that it runs
var LAUNCH_POLL_MS = 100;
var LAUNCHER = 'Launch.exe';
var MARKER = 'launched.txt';     // what the launcher writes beside itself once it runs
var GAME_FOLDER = 'Valdmark';    // under the application folder, when the player chose none

// The portal's id of this download. Ids are 64-bit; the page hands the tool two signed 32-bit
// halves and the tool forms high * 2^32 + low with the low half taken as signed, so a low half
// with its top bit set borrows one from the high half. Progress calls carry the id's own high
// and low 32 bits.
var DOWNLOAD_ID = 11 * 4294967296 + 3000000000;

var view = {
    /** @param {string} text */
    line: function (text) { print(text); },
    // One line that each call replaces, like the progress bar of the page: "\r" tells the
    // terminal (tools/demo) to overwrite the previous progress line.
    /** @param {string} text */
    progress: function (text) { print('\r' + text); },
    /** @param {string} what */
    fail: function (what) { print('failed: ' + what); exit(1); },
    done: function () { exit(0); }
};

/** @param {number} id */
function idArguments(id) {
    var low = id % 4294967296;
    if (low >= 2147483648) low -= 4294967296;
    return { high: (id - low) / 4294967296, low: low };
}

/** @param {number} id */
function idReported(id) {
    var low = id % 4294967296;
    return { high: Math.floor(id / 4294967296), low: low >= 2147483648 ? low - 4294967296 : low };
}

/** @param {string} folder @param {string} name */
function inFolder(folder, name) {
    return folder.charAt(folder.length - 1) == '\\' ? folder + name : folder + '\\' + name;
}

/** @param {string} path */
function folderOf(path) {
    return path.substring(0, path.lastIndexOf('\\') + 1);
}

function now() { return new Date().getTime(); }

/** @param {number} ms */
function seconds(ms) { return (ms / 1000).toFixed(1) + ' s'; }

/** @param {number} bytes */
function megabytes(bytes) { return (bytes / 1048576).toFixed(1) + ' MB'; }

var tool = {
    app: external.GetAppPath(),
    config: function () { return this.app + 'config.ini'; },
    /** @param {string} section @param {string} key */
    setting: function (section, key) {
        return external.GetConfigString(section, key, this.config());
    },
    // Exists as the tool's GetFilePath sees it: the folder comes back when anything matches.
    /** @param {string} path */
    exists: function (path) { return external.GetFilePath(path) == folderOf(path); }
};

// The game directory the player chose in the tool, or one under the application folder.
function gameDirectory() {
    var chosen = tool.setting('Info', 'PATH');
    if (chosen) {
        view.line('game directory: ' + chosen);
        return chosen;
    }
    var folder = tool.app + GAME_FOLDER;
    if (!external.SetConfigString('Info', 'PATH', folder, tool.config())
        || tool.setting('Info', 'PATH') != folder)
        view.fail('cannot record the game directory in ' + tool.config());
    view.line('no game directory chosen yet: using ' + folder);
    return folder;
}

/** @constructor @param {number} size */
function ProgressLine(size) {
    this.size = size;
    this.started = now();
    this.since = this.started;
    this.sincePercent = 0;
    this.perMs = 0;    // percent per millisecond, once measured
}

// Measuring starts again after a pause, since the time paused says nothing about the speed;
// until the new measure holds, the last one stands.
/** @param {number} percent */
ProgressLine.prototype.restart = function (percent) {
    this.since = now();
    this.sincePercent = percent;
};

/** @param {number} percent */
ProgressLine.prototype.text = function (percent) {
    var width = 20, filled = Math.floor(percent * width / 100), bar = '';
    for (var i = 0; i < width; i++) bar += i < filled ? '#' : '-';
    var text = '[' + bar + '] ' + (percent < 10 ? '  ' : percent < 100 ? ' ' : '') + percent + ' %';
    if (this.size > 0)
        text += '  ' + megabytes(this.size * percent / 100) + ' of ' + megabytes(this.size);
    if (percent == 100) return text + '  in ' + seconds(now() - this.started);
    var elapsed = now() - this.since, gained = percent - this.sincePercent;
    if (elapsed >= 500 && gained >= 1) this.perMs = gained / elapsed;
    if (this.perMs == 0) return text + '  estimating the time left';
    if (this.size > 0) text += '  ' + megabytes(this.size * this.perMs / 100 * 1000) + '/s';
    return text + '  about ' + Math.ceil((100 - percent) / this.perMs / 1000) + ' s left';
};

var download = {
    url: '', file: '', size: 0,
    call: idArguments(DOWNLOAD_ID),
    reported: idReported(DOWNLOAD_ID),
    percent: -1, pauseAsked: false, resumed: false,
    line: new ProgressLine(0), watchdog: 0, onFinished: function () {},

    /**
     * @this {typeof download}
     * @param {string} url @param {string} file @param {number} size
     * @param {function(): void} onFinished
     */
    start: function (url, file, size, onFinished) {
        this.url = url;
        this.file = file;
        this.size = size;
        this.onFinished = onFinished;
        this.line = new ProgressLine(size);
        view.line('downloading ' + url + (size > 0 ? ' (' + megabytes(size) + ')' : '')
                  + ' as download ' + DOWNLOAD_ID);
        this.begin('start');
    },
    /** @param {string} what */
    begin: function (what) {
        if (external.DownloadFile(this.url, this.file, this.call.high, this.call.low) != 1)
            view.fail('the tool refused to ' + what + ' the download of ' + this.url);
        this.watch();
    },
    watch: function () {
        clearTimeout(this.watchdog);
        this.watchdog = setTimeout(function () {
            view.fail('no word of the download for ' + seconds(STALL_LIMIT_MS));
        }, STALL_LIMIT_MS);
    },
    /** @this {typeof download} @param {number} percent */
    progress: function (percent) {
        this.watch();
        if (percent < this.percent)
            view.fail('the download went back from ' + this.percent + ' % to ' + percent
                      + ' %: it started over instead of resuming');
        this.percent = percent;
        view.progress(this.line.text(percent));
        if (!this.pauseAsked && percent >= PAUSE_AT_PERCENT) {
            this.pauseAsked = true;
            if (external.PauseDownload(this.call.high, this.call.low) != 1)
                view.fail('the tool does not know the download it is running');
        }
    },
    paused: function () {
        clearTimeout(this.watchdog);
        view.line('paused at ' + this.percent + ' %; resuming in ' + seconds(RESUME_AFTER_MS));
        var self = this;
        setTimeout(function () {
            self.resumed = true;
            self.line.restart(self.percent);
            self.begin('resume');
            view.line('resumed: the tool asks the server for the rest');
        }, RESUME_AFTER_MS);
    },
    finished: function () {
        clearTimeout(this.watchdog);
        if (this.percent != 100) view.progress(this.line.text(100));
        if (!this.resumed)
            view.fail('the download ended before it could be paused and resumed');
        // Out of the tool's call, so that its download thread is not held up meanwhile.
        setTimeout(this.onFinished, 0);
    }
};

/** @type {OnDownloadProgress} */
function OnDownloadProgress(state, high, low, value) {
    if (high != download.reported.high || low != download.reported.low) return;
    if (state == 1) download.progress(value);
    else if (state == 2) download.finished();
    else if (state == -100) download.paused();
    else if (state == -1) view.fail('the download of ' + download.url + ' failed');
}

/** @param {string} gameDir */
function install(gameDir) {
    var downloads = tool.app + 'Downloads\\';
    var archive = downloads + download.file;
    if (!tool.exists(archive)) view.fail('the archive is not in ' + downloads);
    view.line('downloaded ' + archive);
    view.line('unpacking into ' + gameDir);
    var started = now();
    if (external.UnzipFile(archive, gameDir) != 1)
        view.fail('unpacking ' + archive + ' into ' + gameDir);
    view.line('unpacked in ' + seconds(now() - started));

    var launcher = inFolder(gameDir, LAUNCHER), marker = inFolder(gameDir, MARKER);
    if (!tool.exists(launcher)) view.fail('the game has no launcher: ' + launcher);
    // A mark of an earlier start must not count for this one.
    external.DeleteFile(marker);
    view.line('starting ' + launcher);
    if (!external.RunExe(launcher)) view.fail('the launcher did not start');
    waitForLauncher(marker, now() + LAUNCH_LIMIT_MS);
}

/** @param {string} marker @param {number} deadline */
function waitForLauncher(marker, deadline) {
    if (tool.exists(marker)) {
        view.line('the game is running: its launcher wrote ' + marker);
        view.done();
    } else if (now() > deadline) {
        view.fail('the launcher wrote no ' + marker + ' within ' + seconds(LAUNCH_LIMIT_MS));
    } else {
        setTimeout(function () { waitForLauncher(marker, deadline); }, LAUNCH_POLL_MS);
    }
}

function main() {
    var version = tool.setting('quibver', 'version');
    view.line('QUIB ' + (version ? version : '(version unknown)') + ' in ' + tool.app);
    var gameDir = gameDirectory();
    var server = tool.setting('portal', 'server'), file = tool.setting('portal', 'package');
    if (!server || !file)
        view.fail('config.ini names no game to fetch ([portal] server and package)');
    var size = parseInt(tool.setting('portal', 'size'), 10);
    external.SetCallBack(document);
    download.start(server + file, file, isNaN(size) ? 0 : size, function () { install(gameDir); });
}

main();
