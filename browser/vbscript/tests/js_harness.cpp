#include "browser/vbscript/tests/js_harness.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

namespace {

// The old browser as far as the tests need it: a form with two fields, the
// page as frame 0 of itself, an UpDate control with a method.
const char kBrowser[] = R"js(
var window = this, top = this, parent = this, self = this, frames = this;
var dialogs = [], answers = [], warnings = [];
var console = { warn: function (m) { warnings.push(String(m)); }, log: function () {} };
function alert(m) { dialogs.push("alert:" + m); }
function confirm(m) { dialogs.push("confirm:" + m); return answers.length ? answers.shift() : true; }
function prompt(m, d) { dialogs.push("prompt:" + m); return answers.length ? answers.shift() : d; }
function setTimeout(f) { f(); }
function Element(tag, id, name, value) {
    this.tagName = tag; this.id = id; this.name = name; this.listeners = {};
    if (value !== undefined) this.value = value;
}
Element.prototype.getAttribute = function (n) { return n === "name" ? this.name : null; };
Element.prototype.addEventListener = function (t, f) { (this.listeners[t] = this.listeners[t] || []).push(f); };
Element.prototype.fire = function (t) {
    var e = { type: t, defaultPrevented: false, preventDefault: function () { this.defaultPrevented = true; } };
    var self = this;
    (this.listeners[t] || []).forEach(function (f) { f.call(self, e); });
    return e.defaultPrevented;
};
function Collection(items) { this.length = items.length; for (var i = 0; i < items.length; i++) this[i] = items[i]; }
Collection.prototype.item = function (i) { return this[i] === undefined ? null : this[i]; };
Collection.prototype.namedItem = function (n) {
    for (var i = 0; i < this.length; i++) if (this[i].id === n || this[i].name === n) return this[i];
    return null;
};
var textField = new Element("INPUT", "Text1", "text1", "hello");
var buttonField = new Element("INPUT", "Button1", "", "OK");
var theForm = new Element("FORM", "", "Form1");
theForm.elements = new Collection([textField, buttonField]);
var everything = [theForm, textField, buttonField];
var event = { returnValue: true };
var document = {
    nodeType: 9, readyState: "complete", title: "Lesson", written: "",
    forms: new Collection([theForm]), all: new Collection(everything), listeners: {},
    write: function (s) { this.written += s; },
    getElementsByTagName: function () { return everything; },
    addEventListener: function (t, f) { this.listeners[t] = f; }
};
this[0] = this;
this.length = 1;
var listeners = {};
function addEventListener(t, f) { listeners[t] = f; }
var UpDate = { drive: "E:", GetCdDrive: function () { return this.drive; }, Calls: 0 };
)js";

void EnsureApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "vbscript_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

std::string S(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

std::string Utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

// The engine needs an application object, made before it.
CJsHarness::CJsHarness() : m_engine((EnsureApplication(), nullptr)) {
    Execute(kBrowser);
    Execute(VbsRuntimeJs());
}

std::string CJsHarness::Execute(const std::string& js) {
    QJSValue result = m_engine.evaluate(Q(js));
    if (!result.isError())
        return "";
    std::string error = S(result.toString());
    ADD_FAILURE() << error << "\nin:\n" << js;
    return error;
}

std::string CJsHarness::Run(std::string_view vbs) {
    return Execute(TranslateVbScript(vbs).js);
}

std::string CJsHarness::RunHandler(std::string_view vbs, const std::string& thisJs) {
    return Execute("(function () {\n" + TranslateVbsHandler(vbs).js + "}).call(" + thisJs + ");");
}

std::string CJsHarness::Vb(std::string_view expression) {
    Run("vbsResult = " + std::string(expression));
    return Js("$vbs.cat($vbs.g('vbsResult'), '')");
}

std::string CJsHarness::Js(const std::string& js) {
    return S(m_engine.evaluate(Q(js)).toString());
}

std::vector<std::string> CJsHarness::List(const char* name) {
    std::vector<std::string> items;
    QJSValue list = m_engine.globalObject().property(name);
    int length = list.property("length").toInt();
    for (int i = 0; i < length; ++i)
        items.push_back(S(list.property(i).toString()));
    return items;
}

std::vector<std::string> CJsHarness::Dialogs() {
    return List("dialogs");
}

std::vector<std::string> CJsHarness::Warnings() {
    return List("warnings");
}

void CJsHarness::Answer(const std::string& jsValues) {
    Execute("answers = [" + jsValues + "];");
}

bool ParsesAsJs(QJSEngine* engine, const std::string& text) {
    QJSValue check = engine->evaluate(
        "(function (s) { try { new Function(s); return true; } catch (e) { return false; } })");
    return check.call({Q(text)}).toBool();
}
