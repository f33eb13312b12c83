// The bridge between rewritten course pages and the course browser: one
// global object, $tv. Pages written for a browser that hosted ActiveX
// controls get each control as an object whose methods the browser runs
// ($tv.object); media players and links to media files hand the file to the
// browser's player ($tv.play), also when a script writes the player with
// document.write.
//
// The browser answers GET requests under /.telvora/ on the page's own
// origin with JSON, {"ok":true,...} or {"ok":false,"error":"text"}; creation
// and calls are synchronous, as the controls' callers expect a value.
//
// This file is ASCII only: it is embedded into a library compiled with a
// non-UTF-8 execution character set.
(function (G) {
    if (G.$tv)
        return;
    var T = {};
    var doc = G.document;
    var players = ["22D6F312-B0F6-11D0-94AB-0080C74C7E95", "6BF52A52-394A-11D3-B153-00C04F79FAA6"];
    var media = /\.(asf|asx|wmv|wma|wmx|wvx|avi|mpg|mpeg|mp3|wav|rm|ra|ram|mid|midi)$/i;
    var handles = [], made = [];

    function warn(message) {
        if (G.console && typeof G.console.warn === "function")
            G.console.warn("telvora: " + message);
    }

    // This document's id in the browser's requests.
    var page = (function () {
        var id = "";
        try {
            var bytes = new Uint8Array(12);
            G.crypto.getRandomValues(bytes);
            for (var i = 0; i < bytes.length; i++)
                id += (bytes[i] + 256).toString(16).slice(1);
        } catch (e) {
            for (var j = 0; j < 4; j++)
                id += (((Math.random() * 0x1000000) | 0) + 0x1000000).toString(16).slice(1);
        }
        return id;
    })();

    function url(verb, params) {
        var parts = [];
        for (var name in params)
            parts.push(name + "=" + encodeURIComponent(params[name]));
        return "/.telvora/" + verb + "?" + parts.join("&");
    }

    // A synchronous request; a failed one is an answer with its error.
    function ask(verb, params) {
        try {
            var x = new G.XMLHttpRequest();
            x.open("GET", url(verb, params), false);
            x.send(null);
            if (x.status !== 200)
                return { ok: false, error: "the browser answered " + x.status };
            var answer = JSON.parse(x.responseText);
            return answer !== null && typeof answer === "object" ? answer : { ok: false, error: "no answer" };
        } catch (e) {
            return { ok: false, error: String(e && e.message !== undefined ? e.message : e) };
        }
    }

    // Best effort, answer unread.
    function tell(verb, params) {
        try {
            var x = new G.XMLHttpRequest();
            x.open("GET", url(verb, params), true);
            x.send(null);
        } catch (e) {
            warn(verb + ": " + e);
        }
    }

    // A call's argument as JSON can carry it: Empty and Null are null,
    // objects their VBScript text (a form field its value).
    function argument(x) {
        if (typeof x === "string" || typeof x === "boolean" || typeof x === "number")
            return x;
        var V = G.$vbs;
        if (x === undefined || x === null || (V && x === V.Null))
            return null;
        try {
            return V ? V.CStr(x) : String(x);
        } catch (e) {
            return String(x);
        }
    }

    function control(handle, methods) {
        var o = {};
        methods.forEach(function (name) {
            if (typeof name !== "string" || name === "")
                return;
            var method = function () {
                var args = Array.prototype.map.call(arguments, argument);
                var answer = ask("call", { page: page, object: handle, method: name, args: JSON.stringify(args) });
                if (answer.ok === true)
                    return answer.result;
                // VBScript's Err gets the text as its Description.
                var e = new Error(String(answer.error));
                if (typeof answer.number === "number")
                    e.vbsNumber = answer.number;
                throw e;
            };
            Object.defineProperty(o, name, { value: method, enumerable: true, writable: true, configurable: true });
        });
        return o;
    }

    // A page name for the object, unless the name is the browser's own
    // (an element of that id is what the name held before).
    function expose(target, id, o) {
        var current;
        try {
            current = target[id];
        } catch (e) {
            return;
        }
        if (current === undefined || current === null || typeof current.nodeType === "number" ||
            made.indexOf(current) >= 0)
            target[id] = o;
        else
            warn("the control " + id + " can't take the name of something else");
    }

    // The control where its <object> stood: created now, so the scripts
    // after it find it. One the browser can't create has no methods, so
    // every call fails, as with a control that isn't installed.
    T.object = function (id, clsid) {
        id = id === undefined || id === null ? "" : String(id);
        var answer = ask("create", { page: page, clsid: String(clsid), id: id });
        var o;
        if (answer.ok === true && typeof answer.object === "number") {
            handles.push(answer.object);
            o = control(answer.object, Array.isArray(answer.methods) ? answer.methods : []);
        } else {
            warn("the control " + clsid + (id ? " (" + id + ")" : "") + " is not available: " + answer.error);
            o = {};
        }
        made.push(o);
        if (id !== "") {
            expose(G, id, o);
            if (doc)
                expose(doc, id, o);
        }
        return o;
    };

    // Hands a media file to the browser's player: a relative path made
    // absolute against the page, a Windows path as it is.
    T.play = function (path) {
        var p = String(path === undefined || path === null ? "" : path).replace(/^\s+|\s+$/g, "");
        if (p === "") {
            warn("no media file to play");
            return;
        }
        if (!/^[a-z]:[\\\/]/i.test(p) && !/^\\\\/.test(p)) {
            try {
                p = new G.URL(p, (doc && doc.baseURI) || G.location.href).href;
            } catch (e) {
                warn("can't resolve " + p + ": " + e);
            }
        }
        tell("play", { path: p });
    };

    // Whether a link names a media file (its query and fragment aside).
    T.isMedia = function (href) {
        return media.test(String(href).replace(/\s+$/, "").split("#")[0].split("?")[0]);
    };

    // --- media players written by document.write ---

    function decode(text) {
        return text.replace(/&(amp|lt|gt|quot|apos|#\d+|#x[0-9a-f]+);/gi, function (all, name) {
            var named = { amp: "&", lt: "<", gt: ">", quot: "\"", apos: "'" }[name.toLowerCase()];
            if (named !== undefined)
                return named;
            var code = /^#x/i.test(name) ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10);
            return code > 0 && code <= 0x10FFFF ? String.fromCodePoint(code) : "\ufffd";
        });
    }

    function attr(tag, name) {
        var m = new RegExp("\\s" + name + "\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))", "i").exec(tag);
        return m ? decode(m[1] !== undefined ? m[1] : m[2] !== undefined ? m[2] : m[3]) : "";
    }

    function classid(tag) {
        var m = /^\s*clsid:\s*\{?([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})\}?\s*$/i.exec(attr(tag, "classid"));
        return m ? m[1].toUpperCase() : "";
    }

    function size(value) {
        var m = /^\s*(\d{1,6})(px|%)?\s*$/i.exec(value);
        return m && +m[1] !== 0 ? m[1] + (m[2] === "%" ? "%" : "px") : "";
    }

    function escapeHtml(text) {
        return String(text).replace(/&/g, "&amp;").replace(/"/g, "&quot;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
    }

    // The markup the page rewriter writes for a player.
    function box(id, path, width, height) {
        var style = "display:inline-block" + (width ? ";width:" + width : "") + (height ? ";height:" + height : "");
        return "<span" + (id ? " id=\"" + escapeHtml(id) + "\"" : "") + " class=\"telvora-play\" style=\"" + style +
               "\"><button type=\"button\" onclick=\"" + escapeHtml("$tv.play(" + JSON.stringify(path) + ")") +
               "\">&#25773;&#25918;</button> " + escapeHtml(path.replace(/^.*[\/\\]/, "")) + "</span>";
    }

    function mediaPath(tag, inner) {
        var params = inner.match(/<param\b[^>]*>/gi) || [];
        for (var i = 0; i < params.length; i++)
            if (/^\s*(filename|url|src)\s*$/i.test(attr(params[i], "name")))
                return attr(params[i], "value").replace(/^\s+|\s+$/g, "");
        return attr(tag, "data").replace(/^\s+|\s+$/g, "");
    }

    // Where the start tag at text[from] ends (past its '>'), or -1.
    function tagEnd(text, from) {
        for (var i = from, quote = ""; i < text.length; i++) {
            var c = text.charAt(i);
            if (quote !== "") {
                if (c === quote)
                    quote = "";
            } else if (c === "\"" || c === "'") {
                quote = c;
            } else if (c === ">") {
                return i + 1;
            }
        }
        return -1;
    }

    if (doc && typeof doc.write === "function") {
        var write = doc.write, held = "";
        var emit = function (text) {
            if (text !== "")
                write.call(doc, text);
        };
        // A player or control object is held until its </object> is written
        // (pages write it in pieces); everything else goes through.
        var written = function (text) {
            var s = held + text;
            held = "";
            for (;;) {
                var open = /<object(?=[\s\/>])/i.exec(s);
                if (!open) {
                    emit(s);
                    return;
                }
                var close = tagEnd(s, open.index);
                var tag = close < 0 ? "" : s.slice(open.index, close);
                if (close >= 0 && classid(tag) === "") {
                    emit(s.slice(0, close));
                    s = s.slice(close);
                    continue;
                }
                var end = close < 0 ? null : /<\/object\s*>/i.exec(s.slice(close));
                emit(s.slice(0, open.index));
                if (!end) {
                    held = s.slice(open.index);
                    return;
                }
                var clsid = classid(tag), id = attr(tag, "id") || attr(tag, "name");
                if (players.indexOf(clsid) >= 0) {
                    var path = mediaPath(tag, s.slice(close, close + end.index));
                    emit(box(id, path, size(attr(tag, "width")), size(attr(tag, "height"))));
                } else {
                    T.object(id, clsid);
                }
                s = s.slice(close + end.index + end[0].length);
            }
        };
        doc.write = function () {
            written(Array.prototype.join.call(arguments, ""));
        };
        doc.writeln = function () {
            written(Array.prototype.join.call(arguments, "") + "\n");
        };
        if (typeof doc.close === "function") {
            var closeDocument = doc.close;
            doc.close = function () {
                var rest = held;
                held = "";
                emit(rest);
                return closeDocument.apply(doc, arguments);
            };
        }
    }

    // --- media links ---

    if (doc && typeof doc.addEventListener === "function") {
        doc.addEventListener("click", function (e) {
            if (e.button)
                return;
            for (var n = e.target; n; n = n.parentNode) {
                if (n.nodeType === 1 && /^(a|area)$/i.test(n.tagName)) {
                    var href = n.getAttribute("href");
                    if (href !== null && T.isMedia(href)) {
                        e.preventDefault();
                        T.play(href);
                    }
                    return;
                }
            }
        }, true);
    }

    if (typeof G.addEventListener === "function") {
        G.addEventListener("pagehide", function (e) {
            if (e && e.persisted)
                return;  // kept for going back
            handles.forEach(function (handle) {
                tell("release", { page: page, object: handle });
            });
            handles = [];
        });
    }

    G.$tv = T;
})(this);
