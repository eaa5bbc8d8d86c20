"use strict";
// Set up before the web player loads: what movies may reach of the page, the player's
// configuration, and the page's own calls movies make. A movie from outside is untrusted: it
// may read local files, it may not reach the network. The page's content security policy keeps
// every connection on the machine; this file keeps movies from running script in the page.

// No peer-to-peer connections: a page policy does not cover them. (The engine is told the same.)
for (const name of Object.getOwnPropertyNames(window).filter((name) => /RTC/.test(name)))
    Object.defineProperty(window, name, { value: undefined, writable: false, configurable: false });

// A movie's ExternalInterface.call(name, ...) reaches the page as a function the web player
// builds from `name` with the Function constructor, so a movie could hand it any script. Only
// the page functions our own movies and the code added to movie copies call go through; any
// other call is refused, logged once per movie, and answers undefined. Script built any other
// way fails as the page's policy makes it fail.
const movieCalls = new Set(["lumaretFrame", "lumaretResting"]);
const refusedCalls = new Set(); // emptied for each movie
(() => {
    const RealFunction = window.Function;
    const movieCall = /^return \(([^]*)\)\(\.\.\.arguments\);$/;
    const builder = function Function(...parts) {
        const call = parts.length === 1 ? movieCall.exec(String(parts[0])) : null;
        if (!call)
            throw new EvalError("the player page builds no code");
        const name = call[1];
        if (movieCalls.has(name))
            return (...args) => (typeof window[name] === "function" ? window[name](...args) : undefined);
        if (!refusedCalls.has(name)) {
            refusedCalls.add(name);
            console.warn("lumaret: refused a movie's call to " + JSON.stringify(name.slice(0, 200)));
        }
        return () => undefined;
    };
    builder.prototype = RealFunction.prototype;
    Object.defineProperty(window, "Function", { value: builder, writable: false, configurable: false });
})();

window.RufflePlayer = {
    config: {
        autoplay: "on",
        unmuteOverlay: "hidden",
        splashScreen: false,
        contextMenu: "off",
        letterbox: "off",
        scale: "exactfit",
        quality: "high",
        wmode: "opaque",
        preferredRenderer: "canvas",
        logLevel: "error",
        // Movies may call into the page (frame reports and resting need it); which calls go
        // through is decided above.
        allowScriptAccess: true,
        // A movie may read the files beside it but reach nothing off the machine: it opens no
        // addresses and gets no socket.
        openUrlMode: "deny",
        socketProxy: [],
        credentialAllowList: [],
        defaultFonts: {
            sans: ["IPAPGothic"], serif: ["IPAPGothic"], typewriter: ["IPAGothic"],
            japaneseGothic: ["IPAPGothic"], japaneseGothicMono: ["IPAGothic"], japaneseMincho: ["IPAPGothic"],
        },
    },
};

// The presentation takes no game controller input: a page that reads controllers makes the
// engine poll them all the time.
navigator.getGamepads = () => [];

// A movie that can not make sound plays without audio output: a running audio context costs
// a steady share of a core even in silence. The web player falls back to no audio when it
// finds no audio context.
const AudioContextClass = window.AudioContext;
let audioWanted = false;
Object.defineProperty(window, "AudioContext", {
    configurable: true,
    get: () => (audioWanted ? AudioContextClass : undefined),
});

// While the movie rests (a slide show between transitions says so through lumaretResting),
// nothing on the stage moves: the web player is woken a few times a second instead of at
// every display frame.
const RestingTickMs = 250;
let resting = false;
const requestFrame = window.requestAnimationFrame.bind(window);
const cancelFrame = window.cancelAnimationFrame.bind(window);
window.requestAnimationFrame = (callback) => {
    if (!resting)
        return requestFrame(callback);
    return -setTimeout(() => callback(performance.now()), RestingTickMs);
};
window.cancelAnimationFrame = (id) => (id < 0 ? clearTimeout(-id) : cancelFrame(id));
function lumaretResting(rests) {
    resting = rests === true;
}

