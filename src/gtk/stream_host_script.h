// The program's own script in every player page (its own script world; the pages' scripts never
// run). It puts a media element where the page's player object is, asks the program what to play
// and tells it what the element does. It decides nothing: every step comes in the program's
// replies.
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
    function stop() {
        if (media) {
            media.pause();
            media.removeAttribute('src');
            media.load();
        }
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
            media.addEventListener('ended', function () { report('ended'); });
            media.addEventListener('error', function () {
                report('error', media.error ? media.error.code : 0);
            });
            media.addEventListener('volumechange', function () {
                send({kind: 'volume', volume: media.volume, muted: media.muted});
            });
            cover(media, '');
            timer = setInterval(watch, 500);
        }
        played = false;
        lastTime = -1;
        media.src = step.url;
        media.play().catch(function () {});
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
    window.addEventListener('pagehide', stop);
    send({kind: 'start'});
})();)JS";

// Stops every media element of the shown page at once.
inline constexpr const char* kStopMediaScript =
    "document.querySelectorAll('video, audio').forEach(function (m) {"
    " m.pause(); m.removeAttribute('src'); m.load(); }); true";

}  // namespace vistrelle::gtk
