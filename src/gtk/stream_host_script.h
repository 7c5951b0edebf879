// The program's own script in every player page (its own script world; the pages' scripts never
// run). It puts a media element where the page's player object is, asks the program what to play
// and tells it what the element does, and shows the song title the program gives it. It decides
// nothing: every step comes in the program's replies and calls.
#pragma once

namespace vistrelle::gtk {

inline constexpr const char* kStreamHostWorld = "vistrelle";
inline constexpr const char* kStreamHostHandler = "vistrelleStream";

inline constexpr const char* kStreamHostScript = R"JS((function () {
    const host = window.webkit && window.webkit.messageHandlers &&
        window.webkit.messageHandlers.vistrelleStream;
    const object = document.querySelector('object');
    if (!host || !object || !object.parentNode) {
        return;
    }
    let media = null;
    let played = false;
    let token = 0;
    let stallMs = 0;
    let lastTime = -1;
    let stillSince = 0;
    let timer = 0;
    let dataTimer = 0;
    let title = null;

    function cover(element, style) {
        element.style.cssText = 'position:absolute; left:0; top:0; width:100%; height:100%; ' +
            'margin:0; border:0; background:#000000; z-index:1; ' + style;
        object.parentNode.insertBefore(element, object.nextSibling);
    }
    function send(message) {
        message.token = token;
        host.postMessage(message).then(follow, function () {});
    }
    function report(event, code) {
        send({kind: 'media', event: event, code: code || 0, played: played,
              live: media ? !isFinite(media.duration) : false});
    }
    function follow(step) {
        if (!step || step.token === undefined) {
            return;
        }
        token = step.token;
        if (step.action === 'play') {
            if (step.delay > 0) {
                setTimeout(function () { play(step); }, step.delay);
            } else {
                play(step);
            }
        } else if (step.action === 'fail') {
            fail(step);
        }
    }
    // The element's first data must come within the limit, or it counts as no answer.
    function awaitData(ms) {
        clearTimeout(dataTimer);
        dataTimer = ms > 0 ? setTimeout(function () {
            dataTimer = 0;
            stop();
            report('nodata');
        }, ms) : 0;
    }
    function stop() {
        clearTimeout(dataTimer);
        dataTimer = 0;
        if (media) {
            media.pause();
            media.removeAttribute('src');
            media.load();
        }
    }
    // The song title goes under the player (two lines at most), which gives it room.
    function fit() {
        if (media) {
            media.style.height = title ? 'calc(100% - ' + title.offsetHeight + 'px)' : '100%';
        }
    }
    function showTitle(text, colour) {
        if (!text) {
            if (title) {
                title.remove();
                title = null;
            }
            fit();
            return;
        }
        if (!title) {
            title = document.createElement('div');
            title.id = 'vistrelle-title';
            title.setAttribute('role', 'status');
            title.setAttribute('aria-live', 'polite');
            title.style.cssText = 'position:absolute; left:0; bottom:0; width:100%; ' +
                'max-height:2.6em; line-height:1.3; margin:0; padding:0 0.5em; ' +
                'box-sizing:border-box; background:#000000; z-index:2; font-weight:bold; ' +
                'font-size:13px; text-align:center; overflow:hidden; overflow-wrap:anywhere; ' +
                'color:' + colour;
            object.parentNode.insertBefore(title, object.nextSibling);
        }
        title.textContent = text;
        fit();
    }
    function play(step) {
        stallMs = step.stallMs;
        if (!media) {
            media = document.createElement('video');
            media.controls = true;
            media.autoplay = true;
            media.volume = step.volume;
            media.muted = step.muted;
            media.addEventListener('playing', function () {
                played = true;
                report('playing');
            });
            media.addEventListener('loadeddata', function () {
                clearTimeout(dataTimer);
                dataTimer = 0;
            });
            media.addEventListener('pause', function () {
                // Not the pause of a stop, nor that of an end.
                if (media.getAttribute('src') && !media.ended) {
                    report('pause');
                }
            });
            media.addEventListener('ended', function () { report('ended'); });
            media.addEventListener('error', function () {
                report('error', media.error ? media.error.code : 0);
            });
            media.addEventListener('volumechange', function () {
                send({kind: 'volume', volume: media.volume, muted: media.muted});
            });
            cover(media, '');
            fit();
            timer = setInterval(watch, 500);
        }
        played = false;
        lastTime = -1;
        media.src = step.url;
        media.play().catch(function () {});
        awaitData(step.firstDataMs);
    }
    // A stream that plays but whose time stands still has stalled.
    function watch() {
        if (!played || media.paused || media.ended) {
            stillSince = 0;
            return;
        }
        const now = Date.now();
        if (media.currentTime !== lastTime) {
            lastTime = media.currentTime;
            stillSince = now;
        } else if (stillSince && stallMs > 0 && now - stillSince >= stallMs) {
            stillSince = 0;
            played = false;
            report('stalled');
        }
    }
    function fail(step) {
        if (timer) {
            clearInterval(timer);
            timer = 0;
        }
        stop();
        showTitle('');
        if (media) {
            media.remove();
            media = null;
        }
        const box = document.createElement('div');
        const line = document.createElement('div');
        const address = document.createElement('div');
        line.textContent = step.line;
        address.textContent = step.address;
        box.id = 'vistrelle-failure';
        box.appendChild(line);
        box.appendChild(address);
        cover(box, 'text-align:center; font-weight:bold; font-size:14px; padding-top:1em; ' +
            'box-sizing:border-box; overflow-wrap:anywhere; color:' + step.colour);
    }
    // What the program asks of the page besides its steps.
    window.vistrelleControl = function (action, text, number, colour) {
        if (action === 'pause') {
            if (media) {
                media.pause();
            }
        } else if (action === 'resume') {
            if (media && media.getAttribute('src')) {
                media.play().catch(function () {});
            }
        } else if (action === 'stop') {
            stop();
            played = false;
            showTitle('');
        } else if (action === 'restart') {
            stop();
            showTitle('');
            const failure = document.getElementById('vistrelle-failure');
            if (failure) {
                failure.remove();
            }
            send({kind: 'start'});
        } else if (action === 'volume') {
            if (media) {
                media.volume = number;
                media.muted = false;
            }
        } else if (action === 'title') {
            showTitle(text, colour);
        }
    };
    window.addEventListener('pagehide', stop);
    window.addEventListener('resize', fit);
    send({kind: 'start'});
})();)JS";

// Calls the page script's control function with the arguments `action`, `text`, `number` and
// `colour`; pages without the script ignore it.
inline constexpr const char* kControlCall =
    "if (window.vistrelleControl) { window.vistrelleControl(action, text, number, colour); } "
    "return true;";

// Asks the page, through its message channel, whether it still answers.
inline constexpr const char* kPingScript =
    "(function () { try { window.webkit.messageHandlers.vistrelleStream"
    ".postMessage({kind: 'ping'}).catch(function () {}); } catch (e) {} return true; })()";

// Stops every media element of the shown page at once.
inline constexpr const char* kStopMediaScript =
    "document.querySelectorAll('video, audio').forEach(function (m) {"
    " m.pause(); m.removeAttribute('src'); m.load(); }); true";

}  // namespace vistrelle::gtk
