// The runtime of VBScript translated to JavaScript: one global object, $vbs.
// Translated code calls it for what JavaScript does differently: VBScript's
// conversions and operators, names and members found whatever their case
// (VBScript ignores case, the DOM doesn't), x(i) on arrays, functions and
// the old browser's collections, On Error, and the built-in functions.
//
// VBScript values as JavaScript values: Empty is undefined, Nothing is null,
// Null is $vbs.Null, True/False are booleans (-1/0 in arithmetic), dates are
// Date objects, arrays are arrays (nested for more dimensions, the outer one
// marked with $dims).
//
// The browser may set $vbs.hostMsgBox(prompt, buttons, title),
// $vbs.hostInputBox(prompt, title, default) and $vbs.hostCreateObject(progId)
// to replace alert/confirm/prompt and to provide ActiveX objects.
//
// This file is ASCII only (other characters as \u escapes): it is embedded
// into a library compiled with a non-UTF-8 execution character set.
(function (G) {
    if (G.$vbs)
        return;
    var V = {};

    var Null = V.Null = { toString: function () { return ""; } };

    // --- errors ---

    var messages = {
        5: "Invalid procedure call or argument", 6: "Overflow", 7: "Out of memory",
        9: "Subscript out of range", 11: "Division by zero", 13: "Type mismatch",
        28: "Out of stack space", 91: "Object variable not set", 94: "Invalid use of Null",
        424: "Object required", 429: "ActiveX component can't create object",
        438: "Object doesn't support this property or method", 451: "Object not a collection",
        457: "This key is already associated with an element of this collection",
        506: "Class not defined", 5017: "Syntax error in regular expression",
        32811: "Element not found"
    };

    function fail(number, detail) {
        var text = messages[number] || "Unknown runtime error";
        var e = new Error(detail === undefined ? text : text + ": " + detail);
        e.vbsNumber = number;
        throw e;
    }

    var Err = V.Err = {
        Number: 0, Description: "", Source: "", HelpFile: "", HelpContext: 0,
        Clear: function () {
            Err.Number = 0;
            Err.Description = "";
            Err.Source = "";
        },
        Raise: function (number, source, description) {
            var n = num(number);
            var e = new Error(description === undefined ? (messages[n] || "Unknown runtime error")
                                                        : str(description));
            e.vbsNumber = n;
            e.vbsSource = source === undefined ? "" : str(source);
            throw e;
        }
    };

    // A failed statement under On Error Resume Next: the error goes to Err.
    V.oe = function (resumeNext, e) {
        if (!resumeNext)
            throw e;
        if (e && typeof e.vbsNumber === "number") {
            Err.Number = e.vbsNumber;
            Err.Description = e.message;
            Err.Source = e.vbsSource || "Microsoft VBScript runtime error";
            return;
        }
        var text = e && e.message !== undefined ? String(e.message) : String(e);
        Err.Number = e instanceof TypeError ? (/function/.test(text) ? 438 : 424)
                   : e instanceof RangeError ? 28 : 5;
        Err.Description = text;
        Err.Source = "JavaScript";
    };

    // --- values ---

    function isDate(x) { return Object.prototype.toString.call(x) === "[object Date]"; }
    // Objects in VBScript's sense; document.all has typeof "undefined".
    function isObj(x) {
        return x !== undefined && x !== null && x !== Null &&
               (typeof x === "object" || typeof x === "function" || typeof x === "undefined");
    }
    // <object> and <embed> elements have typeof "function" but are objects.
    function callable(x) { return typeof x === "function" && typeof x.nodeType !== "number"; }
    function isWindow(x) {
        try { return isObj(x) && x.window === x; } catch (e) { return false; }
    }

    // The default property: Err's number, a form field's value.
    function prim(x) {
        if (x === Err)
            return Err.Number;
        if (isObj(x) && typeof x.tagName === "string" && "value" in x)
            return x.value;
        return x;
    }

    // Banker's rounding, as VBScript rounds to whole numbers.
    function bank(x) {
        var f = Math.floor(x), d = x - f;
        if (d > 0.5) return f + 1;
        if (d < 0.5) return f;
        return f % 2 === 0 ? f : f + 1;
    }

    function radix(digits, base, isLong) {
        var v = parseInt(digits, base);
        if (!isLong && v >= 0x8000 && v <= 0xFFFF) return v - 65536;
        if (v >= 2147483648 && v <= 4294967295) return v - 4294967296;
        return v;
    }

    // A string as a number, or null when it isn't one.
    function parseNum(s) {
        var t = s.replace(/^\s+|\s+$/g, ""), m;
        if ((m = /^&h([0-9a-f]+)(&?)$/i.exec(t))) return radix(m[1], 16, m[2] !== "");
        if ((m = /^&o?([0-7]+)(&?)$/i.exec(t))) return radix(m[1], 8, m[2] !== "");
        if (/^[+-]?\d{1,3}(,\d{3})+(\.\d*)?$/.test(t)) t = t.replace(/,/g, "");
        if (/^[+-]?(\d+\.?\d*|\.\d+)([ed][+-]?\d+)?$/i.test(t)) return parseFloat(t.replace(/d/i, "e"));
        return null;
    }

    function num(x) {
        if (typeof x === "number") return x;
        if (x === undefined) return 0;
        if (typeof x === "boolean") return x ? -1 : 0;
        if (typeof x === "string") {
            var n = parseNum(x);
            if (n === null) fail(13, "'" + x + "'");
            return n;
        }
        if (x === Null) fail(94);
        if (x === null) fail(91);
        if (isDate(x)) return toOle(x);
        var p = prim(x);
        if (p !== x) return num(p);
        return fail(13);
    }
    V.num = num;

    function pad2(n) { return n < 10 ? "0" + n : String(n); }

    function fmtNum(n) {
        if (n !== n) return "NaN";
        if (!isFinite(n)) return n > 0 ? "1.#INF" : "-1.#INF";
        if (n === 0) return "0";
        var a = Math.abs(n);
        if (Math.floor(a) === a && a < 1e15) return String(n);
        var e = a.toExponential(14), at = e.indexOf("e"), exp = parseInt(e.slice(at + 1), 10);
        if (exp >= 15 || exp < -4) {
            var mantissa = String(parseFloat(e.slice(0, at)));
            return (n < 0 ? "-" : "") + mantissa + "E" + (exp < 0 ? "-" : "+") + pad2(Math.abs(exp));
        }
        return String(parseFloat(n.toPrecision(15)));
    }

    function str(x) {
        if (typeof x === "string") return x;
        if (x === undefined || x === null || x === Null) return "";
        if (typeof x === "number") return fmtNum(x);
        if (typeof x === "boolean") return x ? "True" : "False";
        if (isDate(x)) return fmtDate(x);
        if (Array.isArray(x)) fail(13);
        var p = prim(x);
        if (p !== x) return str(p);
        return String(x);
    }

    // A condition's truth.
    V.cb = function (x) {
        if (typeof x === "boolean") return x;
        if (typeof x === "number") return x !== 0;
        if (x === undefined || x === Null || x === null) return false;
        if (typeof x === "string") {
            var t = x.replace(/^\s+|\s+$/g, "").toLowerCase();
            if (t === "true") return true;
            if (t === "false") return false;
            return num(x) !== 0;
        }
        if (isDate(x)) return toOle(x) !== 0;
        var p = prim(x);
        return p !== x ? V.cb(p) : true;
    };

    // VBScript arrays are values: assignment copies them.
    function cp(x) {
        if (!Array.isArray(x)) return x;
        var c = new Array(x.length);
        for (var i = 0; i < x.length; i++) c[i] = cp(x[i]);
        if (x.$dims) Object.defineProperty(c, "$dims", { value: x.$dims });
        return c;
    }
    V.cp = cp;

    // --- operators ---

    V.cat = function (a, b) {
        if (a === Null && b === Null) return Null;
        return str(a) + str(b);
    };
    V.add = function (a, b) {
        if (typeof a === "number" && typeof b === "number") return a + b;
        if (a === Null || b === Null) return Null;
        a = prim(a);
        b = prim(b);
        if (typeof a === "string" && (typeof b === "string" || b === undefined)) return a + str(b);
        if (a === undefined && typeof b === "string") return b;
        if (isDate(a) || isDate(b)) return fromOle(num(a) + num(b));
        return num(a) + num(b);
    };
    V.sub = function (a, b) {
        if (a === Null || b === Null) return Null;
        if (isDate(a) && !isDate(b)) return fromOle(toOle(a) - num(b));
        return num(a) - num(b);
    };
    V.mul = function (a, b) { return a === Null || b === Null ? Null : num(a) * num(b); };
    V.div = function (a, b) {
        if (a === Null || b === Null) return Null;
        var d = num(b);
        if (d === 0) fail(num(a) === 0 ? 6 : 11);
        return num(a) / d;
    };
    V.pow = function (a, b) { return a === Null || b === Null ? Null : Math.pow(num(a), num(b)); };
    V.idiv = function (a, b) {
        if (a === Null || b === Null) return Null;
        var x = bank(num(a)), y = bank(num(b));
        if (y === 0) fail(11);
        var q = x / y;
        return (q < 0 ? Math.ceil(q) : Math.floor(q)) + 0;
    };
    V.mod = function (a, b) {
        if (a === Null || b === Null) return Null;
        var x = bank(num(a)), y = bank(num(b));
        if (y === 0) fail(11);
        return (x % y) + 0;
    };
    V.neg = function (a) { return a === Null ? Null : 0 - num(a); };

    // -1, 0, 1; null when Null takes part.
    function compare(a, b, text) {
        if (a === Null || b === Null) return null;
        a = prim(a);
        b = prim(b);
        if (typeof a === "boolean") a = a ? -1 : 0;
        if (typeof b === "boolean") b = b ? -1 : 0;
        if (isDate(a)) a = toOle(a);
        if (isDate(b)) b = toOle(b);
        if (a === undefined) a = typeof b === "string" ? "" : 0;
        if (b === undefined) b = typeof a === "string" ? "" : 0;
        if (typeof a === "number" && typeof b === "string") {
            var nb = parseNum(b);
            if (nb === null) return -1;
            b = nb;
        } else if (typeof a === "string" && typeof b === "number") {
            var na = parseNum(a);
            if (na === null) return 1;
            a = na;
        } else if (typeof a !== typeof b || typeof a === "object") {
            if (a === b) return 0;
            a = String(a);
            b = String(b);
        }
        if (text && typeof a === "string") {
            a = a.toLowerCase();
            b = b.toLowerCase();
        }
        return a < b ? -1 : a > b ? 1 : 0;
    }
    V.eq = function (a, b) { return compare(a, b) === 0; };
    V.ne = function (a, b) { var c = compare(a, b); return c !== null && c !== 0; };
    V.lt = function (a, b) { return compare(a, b) === -1; };
    V.gt = function (a, b) { return compare(a, b) === 1; };
    V.le = function (a, b) { var c = compare(a, b); return c === -1 || c === 0; };
    V.ge = function (a, b) { var c = compare(a, b); return c === 1 || c === 0; };
    V.same = function (a, b) {
        if ((a === null || a === undefined) && (b === null || b === undefined)) return true;
        return a === b;
    };

    function int32(x) { return bank(num(x)) | 0; }
    // Logical on booleans, bitwise on numbers (True is -1).
    function logical(a, b, f) {
        if (typeof a === "boolean" && typeof b === "boolean") return f(a ? -1 : 0, b ? -1 : 0) !== 0;
        if (a === Null || b === Null) return Null;
        return f(int32(a), int32(b));
    }
    V.and = function (a, b) { return logical(a, b, function (x, y) { return x & y; }); };
    V.or = function (a, b) { return logical(a, b, function (x, y) { return x | y; }); };
    V.xor = function (a, b) { return logical(a, b, function (x, y) { return x ^ y; }); };
    V.eqv = function (a, b) { return logical(a, b, function (x, y) { return ~(x ^ y); }); };
    V.imp = function (a, b) { return logical(a, b, function (x, y) { return ~x | y; }); };
    V.not = function (a) {
        if (typeof a === "boolean") return !a;
        if (a === Null) return Null;
        if (typeof a === "string") {
            var t = a.toLowerCase();
            if (t === "true" || t === "false") return t === "false";
        }
        return ~int32(a);
    };

    // --- names and members, whatever their case ---

    var registry = Object.create(null);  // lower-case VBScript name -> global's name
    var cache = typeof WeakMap === "function" ? new WeakMap() : null;
    // Names a page's VBScript must not replace as globals.
    var guarded = Object.create(null);
    ("object array string number boolean date math regexp error typeerror json function symbol map " +
     "weakmap set promise proxy reflect parseint parsefloat isnan isfinite undefined nan infinity " +
     "window self document top parent frames console $vbs").split(" ").forEach(function (n) {
        guarded[n] = true;
    });

    function has(o, k) {
        try { return k in o; } catch (e) { return false; }
    }
    function lowerFirst(n) { return n.charAt(0).toLowerCase() + n.slice(1); }

    function scan(o, lower) {
        try {
            for (var k in o)
                if (k.toLowerCase() === lower) return k;
        } catch (e) {}
        for (var p = o; p !== null && p !== undefined; ) {
            var names;
            try { names = Object.getOwnPropertyNames(p); p = Object.getPrototypeOf(p); } catch (e) { break; }
            for (var j = 0; j < names.length; j++)
                if (names[j].toLowerCase() === lower) return names[j];
        }
        return null;
    }

    // The real name of o's member n, or null.
    function key(o, n) {
        var lower = n.toLowerCase(), k;
        if (o === G) {
            k = registry[lower];
            if (k !== undefined && has(o, k)) return k;
        } else if (isWindow(o)) {
            try {
                var other = o.$vbs;
                if (other && other !== V && (k = other.registered(n)) !== null) return k;
            } catch (e) {}
        }
        if (has(o, n)) return n;
        k = lowerFirst(n);
        if (has(o, k)) return k;
        if (has(o, lower)) return lower;
        var known = cache && typeof o !== "string" ? cache.get(o) : undefined;
        if (known && known[lower] !== undefined && has(o, known[lower])) return known[lower];
        k = scan(o, lower);
        if (k !== null && cache) {
            if (!known) cache.set(o, known = Object.create(null));
            known[lower] = k;
        }
        return k;
    }

    // Elements of a list whose id or name is the lower-case name: one, an
    // array of several, or undefined.
    function byName(list, lower) {
        var found = [];
        for (var i = 0; i < list.length; i++) {
            var e = list[i];
            if (!e) continue;
            var id = typeof e.id === "string" ? e.id : "", name = e.getAttribute ? e.getAttribute("name") : e.name;
            if (id.toLowerCase() === lower || (typeof name === "string" && name.toLowerCase() === lower))
                found.push(e);
        }
        return found.length === 0 ? undefined : found.length === 1 ? found[0] : found;
    }
    function inDocument(d, lower) {
        if (!d || typeof d.getElementsByTagName !== "function") return undefined;
        return byName(d.getElementsByTagName("*"), lower);
    }

    // Members the old browser had and current ones don't, or not in any
    // case: a form's fields, a document's named elements, a window's frames.
    function named(o, n) {
        var lower = n.toLowerCase();
        try {
            if (isWindow(o)) {
                for (var i = 0; i < o.length; i++)
                    if (String(o[i].name).toLowerCase() === lower) return o[i];
                return inDocument(o.document, lower);
            }
            if (o.elements && typeof o.elements.length === "number") return byName(o.elements, lower);
            if (o.nodeType === 9) return inDocument(o, lower);
        } catch (e) {}
        return undefined;
    }

    function need(o, n) {
        if (!isObj(o)) fail(424, n);
        return o;
    }

    // o.Name as a value: a method named alone is called.
    V.m = function (o, n) {
        o = need(o, n);
        var k = key(o, n);
        if (k === null) {
            var c = named(o, n);
            if (c === undefined) fail(438, n);
            return c;
        }
        var p = o[k];
        return callable(p) && !/^on/i.test(k) ? p.call(o) : p;
    };
    // o.Name(args): a method call, or an index into the member.
    V.mc = function (o, n, args) {
        o = need(o, n);
        var k = key(o, n), p;
        if (k === null) {
            p = named(o, n);
            if (p === undefined) fail(438, n);
        } else {
            p = o[k];
            if (callable(p)) return p.apply(o, timerArgs(p, args));
        }
        return args.length ? V.i(p, args) : p;
    };
    V.ms = function (o, n, value) {
        o = need(o, n);
        var k = key(o, n);
        o[k === null ? n : k] = value;
    };
    // o.Name(args) = value: a property with arguments, or an element.
    V.mis = function (o, n, args, value) {
        o = need(o, n);
        var k = key(o, n), p = k === null ? named(o, n) : o[k];
        if (callable(p) && typeof p.$put === "function") return p.$put.apply(o, args.concat([value]));
        V.is(p, args, value);
    };

    // A block's declared globals (lower-case VBScript name: JavaScript
    // name), for the other blocks and handlers, which don't know their case.
    V.decl = function (names) {
        for (var lower in names)
            registry[lower] = names[lower];
    };
    V.registered = function (n) {
        var k = registry[String(n).toLowerCase()];
        return k === undefined ? null : k;
    };
    function globalKey(n) {
        var k = registry[n.toLowerCase()];
        if (k !== undefined && has(G, k)) return k;
        return key(G, n);
    }
    // What the global holds; an element of that id or name when there is
    // no such global; Empty when there is neither.
    V.g = function (n) {
        var k = globalKey(n);
        if (k !== null) return G[k];
        return inDocument(G.document, n.toLowerCase());
    };
    // The global's value: a Sub or Function named alone is called.
    V.v = function (n) {
        var x = V.g(n);
        return callable(x) ? x() : x;
    };
    V.s = function (n, value) {
        var lower = n.toLowerCase(), k = globalKey(n);
        if (k === null || (guarded[lower] && registry[lower] === undefined)) {
            k = guarded[lower] ? n + "$" : n;
            registry[lower] = k;
        }
        G[k] = value;
        return value;
    };
    // Whether a global of that name exists: a procedure's undeclared name is
    // then that global rather than its own variable.
    V.has = function (n) {
        var lower = n.toLowerCase();
        return registry[lower] !== undefined || has(G, n) || has(G, lower) || has(G, lowerFirst(n));
    };

    // --- x(i): arrays, functions, collections ---

    function index(x) { return bank(num(x)); }

    function element(a, args, set, value) {
        for (var k = 0; k < args.length; k++) {
            if (!Array.isArray(a)) fail(9);
            var i = index(args[k]);
            if (i < 0 || i >= a.length) fail(9);
            if (k === args.length - 1) {
                if (set) a[i] = value;
                return a[i];
            }
            a = a[i];
        }
        return a;
    }

    function item(t, args) {
        if (typeof t.$vbsItem === "function") return t.$vbsItem.apply(t, args);
        var k = prim(args[0]), r;
        if (args.length > 1 && typeof t.item === "function") {
            r = t.item.apply(t, args);
        } else if (typeof k === "number" || typeof k === "boolean") {
            k = index(k);
            r = typeof t.item === "function" && !isWindow(t) ? t.item(k) : t[k];
        } else {
            var s = str(k);
            if (typeof t.namedItem === "function") r = t.namedItem(s);
            if (r === null || r === undefined) r = has(t, s) ? t[s] : undefined;
            if (r === null || r === undefined) r = named(t, s);
            if ((r === null || r === undefined) && typeof t.length === "number") r = byName(t, s.toLowerCase());
        }
        return r === undefined ? null : r;
    }

    // setTimeout "Tick", 1000 names VBScript code: a procedure, called by
    // the timer through the runtime.
    function timerArgs(f, args) {
        var m;
        if ((f !== G.setTimeout && f !== G.setInterval) || typeof args[0] !== "string" ||
            !(m = /^\s*([a-z]\w*)\s*(\(\s*\))?\s*$/i.exec(args[0])))
            return args;
        var name = m[1];
        return [function () { V.i(V.g(name), []); }].concat(args.slice(1, 2));
    }

    V.i = function (t, args) {
        if (Array.isArray(t)) return args.length ? element(t, args, false) : t;
        if (callable(t)) return t.apply(undefined, timerArgs(t, args));
        if (args.length === 0) return t;
        if (isObj(t)) return item(t, args);
        return fail(13);
    };
    V.is = function (t, args, value) {
        if (Array.isArray(t)) {
            element(t, args, true, value);
            return;
        }
        if (isObj(t) && typeof t.$vbsSetItem === "function") {
            t.$vbsSetItem.apply(t, args.concat([value]));
            return;
        }
        if (isObj(t) && args.length === 1) {
            t[str(prim(args[0]))] = value;
            return;
        }
        fail(13);
    };

    // --- arrays ---

    function makeArray(bounds, k, budget) {
        var n = index(bounds[k]) + 1;
        if (n < 0) fail(9);
        budget.left -= n;
        if (budget.left < 0) fail(7);
        var a = new Array(n);
        for (var i = 0; i < n; i++) a[i] = k + 1 < bounds.length ? makeArray(bounds, k + 1, budget) : undefined;
        return a;
    }
    function dim(bounds) {
        if (bounds.length === 0) return [];
        var a = makeArray(bounds, 0, { left: 10000000 });
        if (bounds.length > 1) Object.defineProperty(a, "$dims", { value: bounds.length });
        return a;
    }
    V.dim = function () { return dim(Array.prototype.slice.call(arguments)); };
    function keep(from, to, depth) {
        for (var i = 0; i < Math.min(from.length, to.length); i++) {
            if (depth > 1 && Array.isArray(from[i]) && Array.isArray(to[i])) keep(from[i], to[i], depth - 1);
            else to[i] = from[i];
        }
    }
    V.redim = function (old, preserve, bounds) {
        var a = dim(bounds);
        if (preserve && Array.isArray(old)) keep(old, a, bounds.length);
        return a;
    };
    function shape(a) {
        var bounds = [];
        for (var d = 0, x = a; d < (a.$dims || 1); d++, x = x[0]) bounds.push(Array.isArray(x) ? x.length - 1 : -1);
        return bounds;
    }
    V.erase = function (a) { return Array.isArray(a) ? dim(shape(a)) : a; };
    function flatten(a, depth, out) {
        for (var i = 0; i < a.length; i++) {
            if (depth > 1 && Array.isArray(a[i])) flatten(a[i], depth - 1, out);
            else out.push(a[i]);
        }
        return out;
    }
    // What For Each walks: a snapshot, so the loop can change the collection.
    V.each = function (x) {
        if (Array.isArray(x)) return flatten(x, x.$dims || 1, []);
        if (!isObj(x)) fail(451);
        if (typeof x.$vbsKeys === "function") return x.$vbsKeys();
        if (typeof x.length === "number") {
            var out = [];
            for (var i = 0; i < x.length; i++) out.push(x[i] !== undefined || typeof x.item !== "function" ? x[i] : x.item(i));
            return out;
        }
        return fail(451);
    };

    // --- dates (local time; day numbers as VBScript counts them, from 1899-12-30) ---

    var EPOCH = Date.UTC(1899, 11, 30);
    function makeDate(y, mo, d, h, mi, s) {
        var t = new Date(2000, 0, 1, h || 0, mi || 0, s || 0);
        t.setFullYear(y, mo, d);
        return t;
    }
    function toOle(d) {
        return (Date.UTC(d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes(),
                         d.getSeconds()) - EPOCH) / 86400000;
    }
    function fromOle(n) {
        var u = new Date(EPOCH + Math.round(n * 86400) * 1000);
        return makeDate(u.getUTCFullYear(), u.getUTCMonth(), u.getUTCDate(), u.getUTCHours(),
                        u.getUTCMinutes(), u.getUTCSeconds());
    }
    function daysIn(y, mo) { return mo === 1 ? (isLeap(y) ? 29 : 28) : [31, 0, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][mo]; }
    function isLeap(y) { return (y % 4 === 0 && y % 100 !== 0) || y % 400 === 0; }
    function fullYear(y) { return y < 30 ? 2000 + y : y < 100 ? 1900 + y : y; }
    function validDate(y, mo, d) { return mo >= 0 && mo < 12 && d >= 1 && d <= daysIn(y, mo); }
    function parseTime(t) {
        var m = /^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?\s*(am|pm)?$/i.exec(t);
        if (!m) return null;
        var h = +m[1], mi = +m[2], s = m[3] ? +m[3] : 0;
        if (m[4]) {
            if (h < 1 || h > 12) return null;
            h = h % 12 + (m[4].toLowerCase() === "pm" ? 12 : 0);
        }
        return h < 24 && mi < 60 && s < 60 ? [h, mi, s] : null;
    }
    // The forms course pages use: 2003-5-6, 2003/5/6, 5/6/2003 (month first,
    // as in # literals), 2003\u5e745\u67086\u65e5, each with an optional time; or a time alone.
    function parseDate(text) {
        var t = text.replace(/^\s+|\s+$/g, ""), m, y, mo, d, rest;
        if ((m = /^(\d{4})[-\/.](\d{1,2})[-\/.](\d{1,2})(.*)$/.exec(t)) ||
            (m = /^(\d{4})\u5e74(\d{1,2})\u6708(\d{1,2})\u65e5(.*)$/.exec(t))) {
            y = +m[1]; mo = +m[2] - 1; d = +m[3]; rest = m[4];
        } else if ((m = /^(\d{1,2})[-\/](\d{1,2})[-\/](\d{2,4})(.*)$/.exec(t))) {
            y = fullYear(+m[3]); mo = +m[1] - 1; d = +m[2]; rest = m[4];
        } else {
            var only = parseTime(t);
            return only ? makeDate(1899, 11, 30, only[0], only[1], only[2]) : null;
        }
        if (!validDate(y, mo, d)) return null;
        rest = rest.replace(/^\s+/, "");
        var time = rest === "" ? [0, 0, 0] : parseTime(rest);
        return time ? makeDate(y, mo, d, time[0], time[1], time[2]) : null;
    }
    function toDate(x) {
        if (isDate(x)) return x;
        if (x === Null) fail(94);
        if (typeof x === "string") {
            var d = parseDate(x);
            if (d === null) fail(13, "'" + x + "'");
            return d;
        }
        return fromOle(num(x));
    }
    function datePart(d) { return str(d.getFullYear()) + "-" + (d.getMonth() + 1) + "-" + d.getDate(); }
    function timePart(d) { return d.getHours() + ":" + pad2(d.getMinutes()) + ":" + pad2(d.getSeconds()); }
    // As Windows shows dates in a Chinese locale: 2003-5-6 9:05:07.
    function fmtDate(d) {
        var ole = toOle(d), hasTime = ole !== Math.floor(ole);
        if (Math.floor(ole) === 0 && hasTime) return timePart(d);
        return hasTime ? datePart(d) + " " + timePart(d) : datePart(d);
    }
    V.dl = function (text) {
        var d = parseDate(text);
        if (d === null) fail(13, "#" + text + "#");
        return d;
    };

    // --- Scripting.Dictionary and RegExp ---

    function Dictionary() {
        this.$keys = [];
        this.$values = [];
        this.CompareMode = 0;
        var self = this;
        this.Item = function (k) { return self.$vbsItem(k); };
        this.Item.$put = function (k, v) { self.$vbsSetItem(k, v); };
    }
    Dictionary.prototype = {
        $find: function (k) {
            for (var i = 0; i < this.$keys.length; i++) {
                var x = this.$keys[i];
                if (x === k || (typeof x === typeof k && typeof k !== "object" &&
                                compare(x, k, this.CompareMode === 1) === 0))
                    return i;
            }
            return -1;
        },
        Add: function (k, v) {
            if (this.$find(k) >= 0) fail(457);
            this.$keys.push(k);
            this.$values.push(v);
        },
        Exists: function (k) { return this.$find(k) >= 0; },
        Keys: function () { return this.$keys.slice(); },
        Items: function () { return this.$values.slice(); },
        Remove: function (k) {
            var i = this.$find(k);
            if (i < 0) fail(32811);
            this.$keys.splice(i, 1);
            this.$values.splice(i, 1);
        },
        RemoveAll: function () { this.$keys = []; this.$values = []; },
        $vbsItem: function (k) {
            var i = this.$find(k);
            if (i >= 0) return this.$values[i];
            this.Add(k, undefined);
            return undefined;
        },
        $vbsSetItem: function (k, v) {
            var i = this.$find(k);
            if (i >= 0) this.$values[i] = v;
            else this.Add(k, v);
        },
        $vbsKeys: function () { return this.$keys.slice(); }
    };
    Object.defineProperty(Dictionary.prototype, "Count", { get: function () { return this.$keys.length; } });

    function VbsRegExp() {
        this.Pattern = "";
        this.IgnoreCase = false;
        this.Global = false;
        this.MultiLine = false;
    }
    VbsRegExp.prototype = {
        $re: function () {
            try {
                return new RegExp(str(this.Pattern), (V.cb(this.Global) ? "g" : "") +
                                  (V.cb(this.IgnoreCase) ? "i" : "") + (V.cb(this.MultiLine) ? "m" : ""));
            } catch (e) {
                return fail(5017);
            }
        },
        Test: function (s) { return this.$re().test(str(s)); },
        Replace: function (s, r) { return str(s).replace(this.$re(), str(r)); },
        Execute: function (s) {
            var re = this.$re(), text = str(s), found = [], m;
            while ((m = re.exec(text)) !== null) {
                found.push({ Value: m[0], FirstIndex: m.index, Length: m[0].length, SubMatches: m.slice(1) });
                if (!re.global) break;
                if (m[0] === "") re.lastIndex++;
            }
            found.Count = found.length;
            found.Item = function (i) { return element(found, [i], false); };
            return found;
        }
    };

    // --- event binding: Sub Button1_OnClick, Sub Window_OnLoad ---

    V.bind = function (objectName, eventName, fn) {
        var ev = String(eventName).toLowerCase();
        if (ev.length < 3 || ev.slice(0, 2) !== "on") return;
        var type = ev.slice(2), lower = String(objectName).toLowerCase(), d = G.document;
        var handler = function (e) {
            var r = fn.call(this);
            if (r === false && e && typeof e.preventDefault === "function") e.preventDefault();
            return r;
        };
        if (lower === "window") {
            if (type === "load" && d && d.readyState === "complete") G.setTimeout(handler, 0);
            else if (typeof G.addEventListener === "function") G.addEventListener(type, handler);
            return;
        }
        if (lower === "document") {
            if (d && typeof d.addEventListener === "function") d.addEventListener(type, handler);
            return;
        }
        var bound = false;
        var attach = function () {
            if (bound) return;
            var targets = inDocument(d, lower);
            if (targets === undefined) {
                var host = V.g(objectName);
                if (!isObj(host)) return;
                targets = host;
            }
            targets = Array.isArray(targets) ? targets : [targets];
            for (var i = 0; i < targets.length; i++) {
                if (typeof targets[i].addEventListener === "function") targets[i].addEventListener(type, handler);
                else targets[i]["on" + type] = handler;
            }
            bound = true;
        };
        attach();
        if (!bound && d && d.readyState === "loading" && typeof d.addEventListener === "function")
            d.addEventListener("DOMContentLoaded", attach);
    };

    // --- built-in functions ---

    function nullOr(x, f) { return x === Null ? Null : f(str(x)); }
    function arg(x, otherwise) { return x === undefined ? otherwise : bank(num(x)); }

    V.MsgBox = function (prompt, buttons, title) {
        var b = arg(buttons, 0);
        if (typeof V.hostMsgBox === "function") return V.hostMsgBox(str(prompt), b, str(title));
        var text = str(prompt);
        switch (b & 7) {
        case 1: return G.confirm(text) ? 1 : 2;           // OK, Cancel
        case 2: return G.confirm(text) ? 4 : 3;           // Retry, Abort
        case 3: return G.confirm(text) ? 6 : 2;           // Yes, Cancel
        case 4: return G.confirm(text) ? 6 : 7;           // Yes, No
        case 5: return G.confirm(text) ? 4 : 2;           // Retry, Cancel
        default: G.alert(text); return 1;
        }
    };
    V.InputBox = function (prompt, title, value) {
        if (typeof V.hostInputBox === "function") return V.hostInputBox(str(prompt), str(title), str(value));
        var r = G.prompt(str(prompt), str(value));
        return r === null || r === undefined ? "" : String(r);
    };

    V.Len = function (x) { return x === Null ? Null : str(x).length; };
    V.LenB = function (x) { return x === Null ? Null : str(x).length * 2; };
    V.Left = function (x, n) {
        n = arg(n, 0);
        if (n < 0) fail(5);
        return nullOr(x, function (s) { return s.slice(0, n); });
    };
    V.Right = function (x, n) {
        n = arg(n, 0);
        if (n < 0) fail(5);
        return nullOr(x, function (s) { return s.slice(Math.max(0, s.length - n)); });
    };
    V.Mid = function (x, start, n) {
        start = arg(start, 1);
        var len = n === undefined ? undefined : arg(n, 0);
        if (start < 1 || len < 0) fail(5);
        return nullOr(x, function (s) { return s.substr(start - 1, len === undefined ? s.length : len); });
    };
    V.InStr = function (a, b, c, d) {
        var start = 1, s1 = a, s2 = b, text = false;
        if (arguments.length >= 3) {
            start = arg(a, 1);
            s1 = b;
            s2 = c;
            text = arg(d, 0) === 1;
        }
        if (start < 1) fail(5);
        if (s1 === Null || s2 === Null) return Null;
        var x = str(s1), y = str(s2);
        if (text) { x = x.toLowerCase(); y = y.toLowerCase(); }
        if (start > x.length) return 0;
        if (y === "") return start;
        return x.indexOf(y, start - 1) + 1;
    };
    V.InStrRev = function (s1, s2, start, mode) {
        if (s1 === Null || s2 === Null) return Null;
        var x = str(s1), y = str(s2);
        var from = arg(start, -1);
        if (from === -1) from = x.length;
        if (from < 1) fail(5);
        if (arg(mode, 0) === 1) { x = x.toLowerCase(); y = y.toLowerCase(); }
        if (from > x.length) return 0;
        if (y === "") return from;
        var at = from - y.length;
        return at < 0 ? 0 : x.lastIndexOf(y, at) + 1;
    };
    V.LCase = function (x) { return nullOr(x, function (s) { return s.toLowerCase(); }); };
    V.UCase = function (x) { return nullOr(x, function (s) { return s.toUpperCase(); }); };
    V.LTrim = function (x) { return nullOr(x, function (s) { return s.replace(/^ +/, ""); }); };
    V.RTrim = function (x) { return nullOr(x, function (s) { return s.replace(/ +$/, ""); }); };
    V.Trim = function (x) { return nullOr(x, function (s) { return s.replace(/^ +| +$/g, ""); }); };
    V.Space = function (n) { return new Array(Math.max(0, arg(n, 0)) + 1).join(" "); };
    V.String = function (n, c) {
        var ch = typeof c === "string" ? c.charAt(0) : V.Chr(c);
        if (ch === "") fail(5);
        return new Array(Math.max(0, arg(n, 0)) + 1).join(ch);
    };
    V.StrReverse = function (x) { return str(x).split("").reverse().join(""); };
    V.StrComp = function (a, b, mode) {
        if (a === Null || b === Null) return Null;
        return compare(str(a), str(b), arg(mode, 0) === 1);
    };
    // Occurrences of find in s, case-insensitively for text compare.
    function occurrences(s, find, text, limit) {
        var hay = text ? s.toLowerCase() : s, needle = text ? find.toLowerCase() : find, at = [], i = 0;
        while (limit < 0 || at.length < limit) {
            var j = hay.indexOf(needle, i);
            if (j < 0) break;
            at.push(j);
            i = j + needle.length;
        }
        return at;
    }
    V.Replace = function (expr, find, repl, start, count, mode) {
        if (expr === Null || find === Null || repl === Null) return Null;
        var s = str(expr).slice(arg(start, 1) - 1), f = str(find), r = str(repl);
        if (f === "") return s;
        var at = occurrences(s, f, arg(mode, 0) === 1, arg(count, -1)), out = "", last = 0;
        for (var i = 0; i < at.length; i++) {
            out += s.slice(last, at[i]) + r;
            last = at[i] + f.length;
        }
        return out + s.slice(last);
    };
    V.Split = function (expr, delim, count, mode) {
        var s = str(expr), d = delim === undefined ? " " : str(delim), limit = arg(count, -1);
        if (s === "" || limit === 0) return [];
        if (d === "" || limit === 1) return [s];
        var at = occurrences(s, d, arg(mode, 0) === 1, limit < 0 ? -1 : limit - 1), out = [], last = 0;
        for (var i = 0; i < at.length; i++) {
            out.push(s.slice(last, at[i]));
            last = at[i] + d.length;
        }
        out.push(s.slice(last));
        return out;
    };
    V.Join = function (a, delim) {
        if (!Array.isArray(a)) fail(13);
        return a.map(str).join(delim === undefined ? " " : str(delim));
    };
    V.Filter = function (a, find, include, mode) {
        if (!Array.isArray(a)) fail(13);
        var keepMatches = include === undefined || V.cb(include), text = arg(mode, 0) === 1, f = str(find);
        return a.filter(function (x) { return (occurrences(str(x), f, text, 1).length > 0) === keepMatches; });
    };

    // GBK codes of characters, read from the browser's decoder once needed.
    var gbk = null;
    function gbkTable() {
        if (gbk !== null) return gbk;
        gbk = Object.create(null);
        if (typeof G.TextDecoder !== "function" || typeof Uint8Array !== "function") return gbk;
        try {
            var decoder = new G.TextDecoder("gbk");
            for (var lead = 0x81; lead <= 0xFE; lead++) {
                var bytes = [];
                for (var trail = 0x40; trail <= 0xFE; trail++) {
                    if (trail !== 0x7F) bytes.push(lead, trail, 0x0A);
                }
                var chars = decoder.decode(new Uint8Array(bytes)).split("\n");
                for (var i = 0, t = 0x40; t <= 0xFE; t++) {
                    if (t === 0x7F) continue;
                    var c = chars[i++];
                    if (c && c.length === 1 && c !== "\ufffd" && gbk[c] === undefined) gbk[c] = lead * 256 + t;
                }
            }
        } catch (e) {}
        return gbk;
    }
    // As VBScript with the Chinese code page: a double-byte character's code
    // is negative. Without a GBK decoder only that sign is kept.
    V.Asc = function (x) {
        var s = str(x);
        if (s === "") fail(5);
        var c = s.charCodeAt(0);
        if (c < 0x80) return c;
        var code = gbkTable()[s.charAt(0)];
        if (code === undefined) return c > 0xFF ? c - 65536 : c;
        return code - 65536;
    };
    V.AscW = function (x) {
        var s = str(x);
        if (s === "") fail(5);
        var c = s.charCodeAt(0);
        return c > 32767 ? c - 65536 : c;
    };
    V.AscB = function (x) {
        var s = str(x);
        if (s === "") fail(5);
        return s.charCodeAt(0) & 0xFF;
    };
    V.Chr = function (n) {
        n = arg(n, 0);
        if (n < -32768 || n > 65535) fail(5);
        if (n >= 0 && n < 0x100) return String.fromCharCode(n);
        var code = n & 0xFFFF;
        try {
            var c = new G.TextDecoder("gbk").decode(new Uint8Array([code >> 8, code & 0xFF]));
            if (c.length === 1 && c !== "\ufffd") return c;
        } catch (e) {}
        return "?";
    };
    V.ChrW = function (n) { return String.fromCharCode(arg(n, 0) & 0xFFFF); };
    V.ChrB = function (n) { return String.fromCharCode(arg(n, 0) & 0xFF); };

    function ranged(x, low, high) {
        var n = bank(num(x));
        if (n < low || n > high) fail(6);
        return n;
    }
    function notNull(x) {
        if (x === Null) fail(94);
        return x;
    }
    V.CInt = function (x) { return ranged(notNull(x), -32768, 32767); };
    V.CLng = function (x) { return ranged(notNull(x), -2147483648, 2147483647); };
    V.CByte = function (x) { return ranged(notNull(x), 0, 255); };
    V.CDbl = function (x) { return num(notNull(x)); };
    V.CSng = V.CDbl;
    V.CCur = function (x) { return Math.round(num(notNull(x)) * 10000) / 10000; };
    V.CStr = function (x) { return str(notNull(x)); };
    V.CBool = function (x) { return V.cb(notNull(x)); };
    V.CDate = function (x) { return toDate(x); };
    V.Int = function (x) { return x === Null ? Null : Math.floor(num(x)); };
    V.Fix = function (x) {
        if (x === Null) return Null;
        var n = num(x);
        return n < 0 ? Math.ceil(n) : Math.floor(n);
    };
    V.Abs = function (x) { return x === Null ? Null : Math.abs(num(x)); };
    V.Sgn = function (x) { var n = num(x); return n > 0 ? 1 : n < 0 ? -1 : 0; };
    V.Sqr = function (x) {
        var n = num(x);
        if (n < 0) fail(5);
        return Math.sqrt(n);
    };
    V.Exp = function (x) { return Math.exp(num(x)); };
    V.Log = function (x) {
        var n = num(x);
        if (n <= 0) fail(5);
        return Math.log(n);
    };
    V.Sin = function (x) { return Math.sin(num(x)); };
    V.Cos = function (x) { return Math.cos(num(x)); };
    V.Tan = function (x) { return Math.tan(num(x)); };
    V.Atn = function (x) { return Math.atan(num(x)); };
    // Banker's rounding at a decimal place; a binary fraction that misses a
    // decimal half by a rounding error still counts as the half.
    V.Round = function (x, places) {
        if (x === Null) return Null;
        var p = arg(places, 0);
        if (p < 0) fail(5);
        var m = Math.pow(10, p), v = num(x) * m, f = Math.floor(v);
        var r = Math.abs(v - f - 0.5) < 1e-9 ? (f % 2 === 0 ? f : f + 1) : Math.round(v);
        return r / m;
    };
    var lastRandom = Math.random();
    V.Rnd = function (x) {
        if (x === undefined || num(x) !== 0) lastRandom = Math.random();
        return lastRandom;
    };
    V.Randomize = function () {};
    function radixText(x, base) {
        var n = bank(num(x));
        if (n < 0) n += n >= -32768 ? 65536 : 4294967296;
        return n.toString(base).toUpperCase();
    }
    V.Hex = function (x) { return x === Null ? Null : radixText(x, 16); };
    V.Oct = function (x) { return x === Null ? Null : radixText(x, 8); };

    V.IsNumeric = function (x) {
        if (typeof x === "number" || typeof x === "boolean" || x === undefined) return true;
        if (typeof x === "string") return parseNum(x) !== null;
        var p = prim(x);
        return p !== x ? V.IsNumeric(p) : false;
    };
    V.IsEmpty = function (x) { return x === undefined; };
    V.IsNull = function (x) { return x === Null; };
    V.IsArray = function (x) { return Array.isArray(x); };
    V.IsObject = function (x) { return x === null || (isObj(x) && !Array.isArray(x) && !isDate(x)); };
    V.IsDate = function (x) { return isDate(x) || (typeof x === "string" && parseDate(x) !== null); };
    V.VarType = function (x) {
        if (x === undefined) return 0;
        if (x === Null) return 1;
        if (typeof x === "number") {
            if (Math.floor(x) !== x || !isFinite(x)) return 5;
            return x >= -32768 && x <= 32767 ? 2 : x >= -2147483648 && x <= 2147483647 ? 3 : 5;
        }
        if (typeof x === "string") return 8;
        if (typeof x === "boolean") return 11;
        if (isDate(x)) return 7;
        if (Array.isArray(x)) return 8204;
        return 9;
    };
    V.TypeName = function (x) {
        var names = { 0: "Empty", 1: "Null", 2: "Integer", 3: "Long", 5: "Double", 7: "Date", 8: "String",
                      11: "Boolean", 8204: "Variant()" };
        var t = V.VarType(x);
        if (t !== 9) return names[t];
        if (x === null) return "Nothing";
        if (x === Err) return "ErrObject";
        if (x instanceof Dictionary) return "Dictionary";
        if (x instanceof VbsRegExp) return "IRegExp2";
        var c = x.constructor;
        return c && typeof c.name === "string" && c.name !== "" && c.name !== "Object" ? c.name : "Object";
    };
    function rank(a) {
        if (!Array.isArray(a)) fail(13);
        return a.$dims || 1;
    }
    V.UBound = function (a, d) {
        var r = rank(a), k = arg(d, 1);
        if (k < 1 || k > r) fail(9);
        for (var x = a; k > 1; k--) x = x[0];
        return Array.isArray(x) ? x.length - 1 : -1;
    };
    V.LBound = function (a, d) {
        var k = arg(d, 1);
        if (k < 1 || k > rank(a)) fail(9);
        return 0;
    };
    V.Array = function () { return Array.prototype.slice.call(arguments); };

    // Eval of what pages pass it: a number, a string, a name, or arithmetic
    // on numbers.
    V.Eval = function (x) {
        var t = str(x).replace(/^\s+|\s+$/g, ""), m;
        if (/^[0-9.\s+\-*\/()]+$/.test(t) && /[0-9]/.test(t)) {
            try { return Function("return (" + t + ");")(); } catch (e) { fail(13, t); }
        }
        if ((m = /^"((?:[^"]|"")*)"$/.exec(t))) return m[1].replace(/""/g, "\"");
        if (/^true$/i.test(t)) return true;
        if (/^false$/i.test(t)) return false;
        if (/^[a-z][a-z0-9_]*$/i.test(t)) return V.v(t);
        return fail(13, t);
    };
    V.Execute = V.ExecuteGlobal = function (x) { fail(5, "Execute is not available: " + str(x)); };
    V.Escape = function (x) { return G.escape(str(x)); };
    V.Unescape = function (x) { return G.unescape(str(x)); };
    V.RGB = function (r, g, b) { return ranged(r, 0, 255) + ranged(g, 0, 255) * 256 + ranged(b, 0, 255) * 65536; };
    V.ScriptEngine = function () { return "VBScript"; };
    V.ScriptEngineMajorVersion = function () { return 5; };
    V.ScriptEngineMinorVersion = function () { return 6; };
    V.ScriptEngineBuildVersion = function () { return 8827; };
    V.GetRef = function (n) {
        var f = V.g(str(n));
        if (!callable(f)) fail(5, str(n));
        return f;
    };
    V.CreateObject = function (progId) {
        var id = str(progId);
        if (typeof V.hostCreateObject === "function") {
            var made = V.hostCreateObject(id);
            if (made !== undefined && made !== null) return made;
        }
        if (id.toLowerCase() === "scripting.dictionary") return new Dictionary();
        return fail(429, id);
    };
    V.GetObject = function (path) { return fail(429, str(path)); };
    V.New = function (className) {
        if (String(className).toLowerCase() === "regexp") return new VbsRegExp();
        return fail(506, className);
    };

    V.Now = function () { var t = new Date(); t.setMilliseconds(0); return t; };
    V.Date = function () { var t = new Date(); return makeDate(t.getFullYear(), t.getMonth(), t.getDate()); };
    V.Time = function () {
        var t = new Date();
        return makeDate(1899, 11, 30, t.getHours(), t.getMinutes(), t.getSeconds());
    };
    V.Timer = function () {
        var t = new Date();
        return t.getHours() * 3600 + t.getMinutes() * 60 + t.getSeconds() + t.getMilliseconds() / 1000;
    };
    function part(f) { return function (x) { return x === Null ? Null : f(toDate(x)); }; }
    V.Year = part(function (d) { return d.getFullYear(); });
    V.Month = part(function (d) { return d.getMonth() + 1; });
    V.Day = part(function (d) { return d.getDate(); });
    V.Hour = part(function (d) { return d.getHours(); });
    V.Minute = part(function (d) { return d.getMinutes(); });
    V.Second = part(function (d) { return d.getSeconds(); });
    function weekday(d, first) {
        var f = first === undefined || num(first) === 0 ? 1 : arg(first, 1);
        return (d.getDay() + 8 - f) % 7 + 1;
    }
    V.Weekday = function (x, first) { return x === Null ? Null : weekday(toDate(x), first); };
    V.DateSerial = function (y, m, d) { return makeDate(fullYear(arg(y, 0)), arg(m, 1) - 1, arg(d, 1)); };
    V.TimeSerial = function (h, m, s) { return fromOle((arg(h, 0) * 3600 + arg(m, 0) * 60 + arg(s, 0)) / 86400); };
    V.DateValue = function (x) { var d = toDate(x); return makeDate(d.getFullYear(), d.getMonth(), d.getDate()); };
    V.TimeValue = function (x) {
        var d = toDate(x);
        return makeDate(1899, 11, 30, d.getHours(), d.getMinutes(), d.getSeconds());
    };
    function addMonths(d, k) {
        var total = d.getFullYear() * 12 + d.getMonth() + k, y = Math.floor(total / 12), mo = total - y * 12;
        return makeDate(y, mo, Math.min(d.getDate(), daysIn(y, mo)), d.getHours(), d.getMinutes(), d.getSeconds());
    }
    var seconds = { d: 86400, y: 86400, w: 86400, ww: 604800, h: 3600, n: 60, s: 1 };
    V.DateAdd = function (interval, n, x) {
        var i = str(interval).toLowerCase(), k = arg(n, 0), d = toDate(x);
        if (i === "yyyy") return addMonths(d, 12 * k);
        if (i === "q") return addMonths(d, 3 * k);
        if (i === "m") return addMonths(d, k);
        if (seconds[i] === undefined) fail(5, i);
        return fromOle(toOle(d) + k * seconds[i] / 86400);
    };
    V.DateDiff = function (interval, x1, x2, first) {
        var i = str(interval).toLowerCase(), a = toDate(x1), b = toDate(x2);
        var months = function (d) { return d.getFullYear() * 12 + d.getMonth(); };
        if (i === "yyyy") return b.getFullYear() - a.getFullYear();
        if (i === "q") return Math.floor(months(b) / 3) - Math.floor(months(a) / 3);
        if (i === "m") return months(b) - months(a);
        var da = Math.floor(toOle(a)), db = Math.floor(toOle(b));
        if (i === "d" || i === "y") return db - da;
        if (i === "w") return (db - da - (db - da) % 7) / 7;
        if (i === "ww") return ((db - weekday(b, first) + 1) - (da - weekday(a, first) + 1)) / 7;
        var sa = Math.round(toOle(a) * 86400), sb = Math.round(toOle(b) * 86400);
        if (seconds[i] === undefined) fail(5, i);
        return Math.floor(sb / seconds[i]) - Math.floor(sa / seconds[i]);
    };
    V.DatePart = function (interval, x, first) {
        var i = str(interval).toLowerCase(), d = toDate(x);
        var start = makeDate(d.getFullYear(), 0, 1);
        switch (i) {
        case "yyyy": return d.getFullYear();
        case "q": return Math.floor(d.getMonth() / 3) + 1;
        case "m": return d.getMonth() + 1;
        case "y": return Math.floor(toOle(d)) - Math.floor(toOle(start)) + 1;
        case "d": return d.getDate();
        case "w": return weekday(d, first);
        case "ww": return V.DateDiff("ww", start, d, first) + 1;
        case "h": return d.getHours();
        case "n": return d.getMinutes();
        case "s": return d.getSeconds();
        }
        return fail(5, i);
    };
    var digits = "\u4e00\u4e8c\u4e09\u56db\u4e94\u516d\u4e03\u516b\u4e5d\u5341";
    function chineseNumber(n) { return n <= 10 ? digits.charAt(n - 1) : "\u5341" + digits.charAt(n - 11); }
    V.MonthName = function (m) {
        var n = arg(m, 0);
        if (n < 1 || n > 12) fail(5);
        return chineseNumber(n) + "\u6708";
    };
    V.WeekdayName = function (w, abbreviate, first) {
        var n = arg(w, 0);
        if (n < 1 || n > 7) fail(5);
        var f = first === undefined || num(first) === 0 ? 1 : arg(first, 1);
        var day = (n - 1 + f - 1) % 7;
        return (abbreviate !== undefined && V.cb(abbreviate) ? "\u5468" : "\u661f\u671f") +
               (day === 0 ? "\u65e5" : digits.charAt(day - 1));
    };
    V.FormatDateTime = function (x, format) {
        var d = toDate(x);
        switch (arg(format, 0)) {
        case 1: return d.getFullYear() + "\u5e74" + (d.getMonth() + 1) + "\u6708" + d.getDate() + "\u65e5";
        case 2: return datePart(d);
        case 3: return timePart(d);
        case 4: return pad2(d.getHours()) + ":" + pad2(d.getMinutes());
        default: return fmtDate(d);
        }
    };
    // FormatNumber(x, digits = 2, leading zero, parentheses, grouping): the
    // Chinese locale's defaults (leading zero, no parentheses, groups of 3).
    V.FormatNumber = function (x, places, leading, parens, group) {
        var n = num(x), p = arg(places, -1);
        if (p === -1) p = 2;
        if (p < 0) fail(5);
        var m = Math.pow(10, p), a = Math.floor(Math.abs(n) * m + 0.5 + 1e-9) / m;
        var text = a.toFixed(p), dot = text.indexOf("."), whole = dot < 0 ? text : text.slice(0, dot);
        var fraction = dot < 0 ? "" : text.slice(dot);
        if (group === undefined || num(group) !== 0) {
            for (var at = whole.length - 3; at > 0; at -= 3) whole = whole.slice(0, at) + "," + whole.slice(at);
        }
        if (whole === "0" && leading !== undefined && num(leading) === 0 && fraction !== "") whole = "";
        var body = whole + fraction;
        if (n < 0 && a !== 0) return parens !== undefined && num(parens) === -1 ? "(" + body + ")" : "-" + body;
        return body;
    };
    V.FormatPercent = function (x, places, leading, parens, group) {
        return V.FormatNumber(num(x) * 100, places, leading, parens, group) + "%";
    };
    V.FormatCurrency = function (x, places, leading, parens, group) {
        var text = V.FormatNumber(x, places, leading, parens, group);
        return text.charAt(0) === "-" ? "-\uffe5" + text.slice(1) : "\uffe5" + text;
    };

    G.$vbs = V;
})(this);
