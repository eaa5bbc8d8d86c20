"use strict";
// The page's interface to the presentation component, and the warm-up of the web player.

// Japanese device text needs a font the web player can read; loading it takes time, so only
// movies that may show device text get it.
const deviceFonts = ["file:///usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
                     "file:///usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"];

const lumaret = (() => {
    let player = null;
    let movie = null;       // what was loaded last: { url, copy, base, as3, shell, deviceText, audio }
    let frame = 0;          // the main timeline's frame on show, from 0
    let holdFirstFrame = false;
    let stopWhenReady = false; // a loader shell asked to stop before it could take the call
    let firstFrameAt = 0;   // when the current movie showed its first frame (ms since 1970)
    let starts = 0;         // how many times a movie was (re)loaded into a new player

    // Old-style movies report each frame of their main timeline through this command.
    function onFSCommand(command, args) {
        if (command !== "lumaret_frame")
            return false;
        frame = Math.max(0, parseInt(args, 10) - 1);
        if (!firstFrameAt)
            firstFrameAt = performance.timeOrigin + performance.now();
        if (holdFirstFrame) {
            holdFirstFrame = false;
            // Not from inside the player's own frame: it is busy until the frame ends.
            setTimeout(() => player.pause(), 0);
        }
        return true;
    }

    function replacePlayer() {
        if (player)
            player.remove();
        player = window.RufflePlayer.newest().createPlayer();
        document.body.appendChild(player);
        player.onFSCommand = onFSCommand; // once connected: connecting resets it
    }

    // An old-style movie plays from a copy with frame reports added, but under its own
    // address: the web player fetches the movie's address and gets the copy's bytes, so the
    // movie's _url and the paths it builds from it are the original's.
    const fetchAddress = window.fetch.bind(window);
    const absolute = (address) => new URL(address, document.baseURI).href;
    window.fetch = (input, init) => {
        const address = typeof input === "string" ? input : input.url;
        if (!movie || !movie.copy || absolute(address) !== absolute(movie.url))
            return fetchAddress(input, init);
        return fetchAddress(movie.copy, init).then((response) => {
            Object.defineProperty(response, "url", { value: absolute(movie.url) });
            return response;
        });
    };

    // ActionScript 3 movies play inside a loader movie that reaches their timeline.
    function callShell(name, fallback) {
        try {
            return player[name]();
        } catch (e) {
            return fallback;
        }
    }

    function start() {
        ++starts;
        resting = false;
        audio = movie.audio;
        frame = 0;
        firstFrameAt = 0;
        replacePlayer();
        const options = { url: movie.as3 ? movie.shell : movie.url, base: movie.base };
        if (movie.deviceText)
            options.fontSources = deviceFonts;
        if (movie.as3)
            options.parameters = { movie: movie.url };
        player.load(options).catch((e) => console.error("cannot play " + movie.url + ": " + e));
    }

    return {
        // `copy`: the address of the bytes to play for `url`, "" to play the file itself.
        // `audio`: "output", "quiet" or "none" (see the audio context in player-setup.js).
        load(url, copy, base, as3, shell, deviceText, audio) {
            movie = { url, copy, base, as3, shell, deviceText, audio };
            refusedCalls.clear();
            holdFirstFrame = false;
            stopWhenReady = false;
            start();
        },
        unload() {
            movie = null;
            resting = false;
            frame = 0;
            firstFrameAt = 0;
            if (player)
                player.remove();
            player = null;
        },
        // A movie that has not shown its first frame yet (just loaded, or loaded again after
        // its page came back) stops there.
        stop() {
            if (!player)
                return;
            if (movie.as3)
                stopWhenReady = callShell("lumaretStop", "not ready") === "not ready";
            else if (!firstFrameAt)
                holdFirstFrame = true;
            else
                player.pause();
        },
        // Back to the first frame, held there until play(). Movies that offer the call (the
        // loader shell, old-style movies of SWF 6 and later) go there in place; older ones are
        // loaded again, holding their first frame.
        gotoFirstFrame() {
            if (!player)
                return;
            frame = 0;
            if (typeof player.lumaretGotoFirst === "function") {
                callShell("lumaretGotoFirst");
            } else {
                console.info("lumaret: loading the movie again to show its first frame");
                holdFirstFrame = true;
                start();
            }
        },
        play() {
            if (!player)
                return;
            holdFirstFrame = false;
            stopWhenReady = false;
            player.play();
            if (typeof player.lumaretPlay === "function")
                callShell("lumaretPlay");
        },
        // For tests: how many audio outputs were opened, and how many of those quiet movies
        // opened are open; how long a silence closes one.
        audioOutputs() {
            return audioOutputs;
        },
        setSilenceLimitMs(ms) {
            silenceLimitMs = ms;
        },
        // For tests: how many times a movie was loaded into a new player.
        starts() {
            return starts;
        },
        // For measuring start-up: 0 until an old-style movie has shown its first frame.
        firstFrameAt() {
            return firstFrameAt;
        },
        // The frame on show, and whether the movie rests.
        state() {
            if (player && movie && movie.as3 && stopWhenReady)
                stopWhenReady = callShell("lumaretStop", "not ready") === "not ready";
            if (player && movie && movie.as3)
                frame = callShell("lumaretFrame", frame);
            // On show: an old-style movie reported its first frame, or the web player has the
            // movie loaded and playing.
            const shown = firstFrameAt > 0 || (!!player && !!movie && player.readyState === 2);
            return { frame, resting, shown };
        },
    };
})();

// The web player compiles its code when the first movie loads; an empty movie now makes
// the first real one start as fast as later ones.
(function warmUp() {
    const emptyMovie = new Uint8Array([0x46, 0x57, 0x53, 6, 17, 0, 0, 0, 0, 0, 12, 1, 0, 0x40, 0, 0, 0]);
    const player = window.RufflePlayer.newest().createPlayer();
    player.style.display = "none";
    document.body.appendChild(player);
    player.load({ data: emptyMovie.buffer }).then(() => player.remove(), () => player.remove());
})();
