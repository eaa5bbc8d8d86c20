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
        // addresses and gets no socket. (allowNetworking stays "all": "internal" would also
        // stop the frame reports and the calls above, "none" the reading of files.)
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

// Sound. A running audio output costs a steady share of a core even in silence. A movie that
// may make sound by itself gets the engine's audio context ("output"); a movie that shows no
// sign of sound gets none, so the web player plays it without audio ("none"). A movie that
// may load others, whose sound it does not show, gets a quiet one ("quiet"): it keeps the web
// player's clock and buffers but opens no output until a buffer that is not silent comes,
// and closes the output again after `silenceLimitMs` without sound.
const RealAudioContext = window.AudioContext;
let audio = "none";
let silenceLimitMs = 10000;
let audioOutputs = { opened: 0, quietOpen: 0 }; // for tests

function isSilent(buffer) {
    for (let channel = 0; channel < buffer.numberOfChannels; ++channel) {
        const samples = buffer.getChannelData(channel);
        for (let i = 0; i < samples.length; ++i) {
            if (Math.abs(samples[i]) > 1e-4)
                return false;
        }
    }
    return true;
}

// What the web player uses of an audio buffer source.
class QuietSource {
    constructor(context) {
        this.context = context;
        this.buffer = null;
        this.onended = null;
        this.ended = false;
    }
    connect() {}
    disconnect() {}
    start(when = 0) {
        this.context.schedule(this, when);
    }
    end() {
        if (this.ended)
            return;
        this.ended = true;
        if (this.onended)
            this.onended();
    }
}

// What the web player uses of an audio context: its clock, buffers, sources and state.
class QuietAudioContext {
    constructor(options) {
        this.sampleRate = (options && options.sampleRate) || 44100;
        this.destination = {};
        this.quietState = "running";
        this.clock = 0;             // the clock's seconds at `since` while there is no output
        this.since = performance.now();
        this.output = null;         // the real context while sound plays
        this.offset = 0;            // this clock minus the output's
        this.lastSound = 0;
        this.playing = new Set();   // sources scheduled on the output: { source, end }
    }
    get state() {
        return this.quietState;
    }
    get currentTime() {
        if (this.output)
            return this.output.currentTime + this.offset;
        const running = this.quietState === "running";
        return this.clock + (running ? (performance.now() - this.since) / 1000 : 0);
    }
    createBuffer(numberOfChannels, length, sampleRate) {
        return new AudioBuffer({ numberOfChannels, length, sampleRate });
    }
    createBufferSource() {
        return new QuietSource(this);
    }
    suspend() {
        return this.changeState("suspended");
    }
    resume() {
        return this.changeState("running");
    }
    close() {
        this.closeOutput();
        return this.changeState("closed");
    }
    changeState(state) {
        if (!this.output) {
            this.clock = this.currentTime;
            this.since = performance.now();
        }
        this.quietState = state;
        if (this.output && state !== "closed")
            return state === "running" ? this.output.resume() : this.output.suspend();
        return Promise.resolve();
    }
    schedule(source, when) {
        const now = performance.now();
        if (source.buffer && !isSilent(source.buffer)) {
            this.lastSound = now;
            this.openOutput();
        } else if (this.output && now - this.lastSound > silenceLimitMs) {
            this.closeOutput();
        }
        const duration = source.buffer ? source.buffer.duration : 0;
        if (!this.output) {
            const delay = Math.max(0, when - this.currentTime) + duration;
            setTimeout(() => source.end(), delay * 1000);
            return;
        }
        const real = this.output.createBufferSource();
        real.buffer = source.buffer;
        real.connect(this.output.destination);
        const entry = { source, end: Math.max(when, this.currentTime) + duration };
        this.playing.add(entry);
        real.onended = () => {
            this.playing.delete(entry);
            source.end();
        };
        real.start(Math.max(0, when - this.offset));
    }
    openOutput() {
        if (this.output || this.quietState === "closed")
            return;
        const now = this.currentTime;
        this.output = new RealAudioContext({ sampleRate: this.sampleRate });
        this.offset = now - this.output.currentTime;
        ++audioOutputs.opened;
        ++audioOutputs.quietOpen;
        if (this.quietState === "suspended")
            this.output.suspend();
    }
    // Sources still scheduled on the output end on the quiet clock instead.
    closeOutput() {
        if (!this.output)
            return;
        const now = this.currentTime;
        this.output.close();
        --audioOutputs.quietOpen;
        this.output = null;
        this.clock = now;
        this.since = performance.now();
        for (const { source, end } of this.playing)
            setTimeout(() => source.end(), Math.max(0, end - now) * 1000);
        this.playing.clear();
    }
}

// The web player takes the audio context's constructor once, when it first loads, so the
// choice is made each time it makes a context.
function PageAudioContext(options) {
    if (audio === "quiet")
        return new QuietAudioContext(options);
    if (audio !== "output")
        throw new DOMException("this movie plays without audio output", "NotSupportedError");
    ++audioOutputs.opened;
    return new RealAudioContext(options);
}
Object.defineProperty(window, "AudioContext", { value: PageAudioContext, writable: false, configurable: false });

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

