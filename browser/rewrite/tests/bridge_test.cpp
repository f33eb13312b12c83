// The bridge in Qt's JavaScript engine, with a stand-in for the page's
// browser: a document that records what is written, an XMLHttpRequest that
// records the requests and gives the answers a test sets, and a URL
// resolver. Then the installed course's navigation page, rewritten, runs
// its update link through the bridge.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>

#include "browser/rewrite/page_rewrite.h"
#include "browser/rewrite/tests/installed_navbar.h"
#include "browser/vbscript/vbscript.h"
#include "platform/text/text.h"

namespace {

const char kBrowser[] = R"js(
var window = this, self = this, top = this, parent = this, frames = this;
this[0] = this;
this.length = 1;
var warnings = [], requests = [], listeners = {};
var console = { warn: function (m) { warnings.push(String(m)); }, log: function () {} };
var location = { href: "tv://course/navbar/navbar.htm" };
function addEventListener(t, f) { listeners[t] = f; }
// answer(verb, params) gives the browser's JSON answer.
var answer = function (verb, p) {
    if (verb === "create") return { ok: true, object: 7, methods: ["HtmlInfo", "Download", "GetCdDrive"] };
    if (p.method === "GetCdDrive") return { ok: true, result: "E:" };
    return { ok: true };
};
function XMLHttpRequest() {}
XMLHttpRequest.prototype.open = function (m, url, async) { this.url = url; this.async = async; };
XMLHttpRequest.prototype.send = function () {
    var at = this.url.indexOf("?"), p = {};
    this.url.slice(at + 1).split("&").forEach(function (pair) {
        var eq = pair.indexOf("=");
        p[pair.slice(0, eq)] = decodeURIComponent(pair.slice(eq + 1));
    });
    var verb = this.url.slice(0, at).replace("/.telvora/", "");
    requests.push({ url: this.url, verb: verb, p: p, async: this.async });
    this.status = 200;
    this.responseText = JSON.stringify(answer(verb, p));
};
// Enough of the URL parser for relative paths.
function URL(path, base) {
    var scheme = /^[a-z][a-z0-9+.-]*:/i.exec(path);
    if (scheme) { this.href = scheme[0].toLowerCase() + path.slice(scheme[0].length); return; }
    var root = /^[a-z]+:\/\/[^\/]*/i.exec(base)[0];
    var parts = (path.charAt(0) === "/" ? "" : base.slice(root.length).replace(/[^\/]*$/, "")) + path;
    var out = [];
    parts.split("/").forEach(function (s, i, all) {
        if (s === "..") out.pop();
        else if (s !== "." && (s !== "" || i === all.length - 1)) out.push(s);
    });
    this.href = root + "/" + out.join("/");
}
function Element(tag, attrs, parentNode) {
    this.nodeType = 1; this.tagName = tag; this.attrs = attrs || {}; this.parentNode = parentNode || null;
}
Element.prototype.getAttribute = function (n) { return n in this.attrs ? this.attrs[n] : null; };
var document = {
    nodeType: 9, readyState: "loading", baseURI: location.href, written: "", clicks: [],
    write: function (s) { this.written += s; },
    writeln: function (s) { this.written += s + "\n"; },
    close: function () {},
    getElementsByTagName: function () { return []; },
    addEventListener: function (t, f, capture) { if (t === "click" && capture) this.clicks.push(f); }
};
function click(target) {
    var e = { button: 0, target: target, defaultPrevented: false,
              preventDefault: function () { this.defaultPrevented = true; } };
    document.clicks.forEach(function (f) { f(e); });
    return e.defaultPrevented;
}
)js";

const char kUpdateClsid[] = "742FCBC2-1DA1-40C9-B8CE-7AE456142AD9";

std::string U8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

class CBridgePage {
public:
    CBridgePage() : m_engine((Application(), nullptr)) {
        Run(kBrowser);
        Run(BridgeScript());
    }

    // Runs JavaScript (UTF-8); an exception fails the test.
    void Run(const std::string& js) {
        QJSValue result = m_engine.evaluate(Q(js));
        if (result.isError())
            ADD_FAILURE() << result.toString().toStdString() << "\nin:\n" << js;
    }
    void RunVbs(const std::string& vbs) { Run(TranslateVbScript(vbs).js); }
    // A JavaScript expression's value, String()-converted, as UTF-8.
    std::string Js(const std::string& js) {
        return m_engine.evaluate(Q("String(" + js + ")")).toString().toUtf8().toStdString();
    }

private:
    static int Application() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "page_bridge_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        return 0;
    }

    QJSEngine m_engine;
};

TEST(BridgeObject, IsCreatedAndCalledSynchronously) {
    CBridgePage page;
    page.Run(std::string("$tv.object('UpDate', '") + kUpdateClsid + "')");
    EXPECT_EQ(page.Js("requests[0].url"), "/.telvora/create?page=" + page.Js("requests[0].p.page") +
                                              "&clsid=" + kUpdateClsid + "&id=UpDate");
    EXPECT_EQ(page.Js("requests[0].async"), "false");
    EXPECT_EQ(page.Js("requests[0].p.page.length >= 16"), "true");
    EXPECT_EQ(page.Js("UpDate.GetCdDrive()"), "E:");
    EXPECT_EQ(page.Js("document.UpDate === window.UpDate"), "true");
    page.RunVbs("UpDate.HtmlInfo \"jsjyy01\", 3, True, Null");
    EXPECT_EQ(page.Js("requests[2].url.indexOf('/.telvora/call?page=' + requests[0].p.page + "
                      "'&object=7&method=HtmlInfo&args=')"),
              "0");
    EXPECT_EQ(page.Js("requests[2].p.args"), "[\"jsjyy01\",3,true,null]");
    EXPECT_EQ(page.Js("requests[2].async"), "false");
    // A new control of the same name replaces the old one, never the browser's own names.
    EXPECT_EQ(page.Js("$tv.object('UpDate', 'X') === UpDate && $tv.object('location', 'X') !== "
                      "location"),
              "true");
}

TEST(BridgeObject, AnErrorAnswerIsAnErrorOnErrorResumeNextCatches) {
    CBridgePage page;
    page.Run(std::string("answer = function (v) { return v === 'create' ? "
                         "{ ok: true, object: 1, methods: ['Download'] } : "
                         "{ ok: false, error: '\\u7f51\\u7edc\\u4e0d\\u901a' }; };"
                         "$tv.object('UpDate', '") +
             kUpdateClsid + "')");
    page.RunVbs("On Error Resume Next\nUpDate.Download\nfailed = Err.Description");
    EXPECT_EQ(page.Js("failed"), U8(u8"网络不通"));
    EXPECT_EQ(
        page.Js("(function () { try { UpDate.Download(); } catch (e) { return e.message; } })()"),
        U8(u8"网络不通"));
}

TEST(BridgeObject, OneTheBrowserCantCreateHasNoMethods) {
    CBridgePage page;
    page.Run(
        "answer = function () { return { ok: false, error: 'not registered' }; };"
        "$tv.object('Sheet', '0002E510-0000-0000-C000-000000000046')");
    EXPECT_NE(page.Js("warnings[0]").find("not registered"), std::string::npos);
    page.RunVbs("On Error Resume Next\nSheet.Open \"a.xls\"\nn = Err.Number");
    EXPECT_EQ(page.Js("n"), "438");
    EXPECT_EQ(page.Js("requests.length"), "1");
}

TEST(BridgeObject, IsReleasedWhenThePageGoes) {
    CBridgePage page;
    page.Run(std::string("$tv.object('UpDate', '") + kUpdateClsid + "'); listeners.pagehide({})");
    EXPECT_EQ(page.Js("requests[1].url"),
              "/.telvora/release?page=" + page.Js("requests[0].p.page") + "&object=7");
    EXPECT_EQ(page.Js("requests[1].async"), "true");
}

TEST(BridgeWrite, PlayerWrittenInPiecesBecomesThePlayBox) {
    CBridgePage page;
    // The sample course's player script, as its media page runs it.
    page.Run("var extendname = '.asf';\n" + text::GbkToUtf8(sample::PlayerScript()) +
             "document.write('<p>', 'a</p>');"
             "WriteMediaPlayer('../video01/lecture');");
    CRewriteResult same = RewritePage(
        "<object id=\"MediaPlayer\" classid=\"CLSID:22D6F312-B0F6-11D0-94AB-0080C74C7E95\" "
        "width=\"320\" height=\"285\"><param name=\"FileName\" value=\"../video01/lecture.asf\">"
        "</object>");
    const CRewriteEdit& box = same.edits.at(1);
    EXPECT_EQ(page.Js("document.written"),
              "<p>a</p>" + same.bytes.substr(box.outputBegin, box.outputEnd - box.outputBegin));
    EXPECT_EQ(page.Js("requests.length"), "0");
}

TEST(BridgeWrite, ControlWrittenIsCreatedAndTheRestPassesThrough) {
    CBridgePage page;
    page.Run(std::string("document.write('x<object data=a.htm></object><OBJECT ID=\"UpDate\" "
                         "classid=\"clsid:") +
             kUpdateClsid + "\">');document.writeln('<param name=a value=b></object>y');");
    EXPECT_EQ(page.Js("document.written"), "x<object data=a.htm></object>y\n");
    EXPECT_EQ(page.Js("requests[0].p.id + ' ' + requests[0].p.clsid"),
              std::string("UpDate ") + kUpdateClsid);
    EXPECT_EQ(page.Js("typeof UpDate.Download"), "function");
}

TEST(BridgeMedia, LinkClickPlaysTheFile) {
    CBridgePage page;
    page.Run("var link = new Element('A', { href: '../content/\\u8bb2\\u89e3.WMA?x=1#t' });");
    EXPECT_EQ(page.Js("click(new Element('SPAN', {}, link))"), "true");
    EXPECT_EQ(page.Js("requests[0].url.indexOf('/.telvora/play?path=')"), "0");
    EXPECT_EQ(page.Js("requests[0].p.path"), U8(u8"tv://course/content/讲解.WMA?x=1#t"));
    EXPECT_EQ(page.Js("requests[0].async"), "true");
    EXPECT_EQ(page.Js("click(new Element('A', { href: 's1.htm' }))"), "false");
    page.Run("$tv.play('E:\\\\content\\\\a.asf'); $tv.play('/video/b.mp3');");
    EXPECT_EQ(page.Js("requests[1].p.path"), "E:\\content\\a.asf");
    EXPECT_EQ(page.Js("requests[2].p.path"), "tv://course/video/b.mp3");
    EXPECT_EQ(page.Js("requests.length"), "3");
}

// The page the installer leaves, rewritten: its scripts run in order, then
// its update link is clicked.
TEST(BridgeNavbar, UpdateLinkCallsTheControl) {
    CRewriteResult r = RewritePage(InstalledNavbarPage());

    CBridgePage page;
    page.Run(
        "answer = function (v, p) { return v === 'create' ? "
        "{ ok: true, object: 3, methods: ['HtmlInfo', 'Download'] } : p.method === 'Download' "
        "? { ok: false, error: 'offline' } : { ok: true, result: true }; };");
    std::string handler;
    for (const CRewriteEdit& e : r.edits) {
        std::string out = r.bytes.substr(e.outputBegin, e.outputEnd - e.outputBegin);
        if (e.kind == CRewriteEdit::EKind::kScript || e.kind == CRewriteEdit::EKind::kObject)
            page.Run(out.substr(8, out.size() - 17));
        if (e.kind == CRewriteEdit::EKind::kHandler)
            handler = out.substr(1, out.size() - 2);
    }
    for (auto [entity, c] :
         {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (size_t at; (at = handler.find(entity)) != std::string::npos;)
            handler.replace(at, std::string(entity).size(), c);
    page.Run("(function () {" + handler + "}).call(new Element('A', {}))");
    EXPECT_EQ(page.Js("requests.map(function (q) { return q.verb + ' ' + (q.p.method || q.p.id) + "
                      "' ' + (q.p.args || ''); }).join('|')"),
              "create UpDate |call HtmlInfo [\"jsjyy01\"]|call Download []");
    EXPECT_EQ(page.Js("$vbs.Err.Description"), "offline");
}

}  // namespace
